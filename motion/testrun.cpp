#include "motion/testrun.h"

#include "protocol/requestscheduler.h"
#include "registermap/addressrules.h"
#include "registermap/registerframes.h"
#include "registermap/registervalue.h"
#include "registermap/rowvalue.h"

#include <QCoreApplication>

#include <cmath>

namespace {

// Two reads this close to the target in a row: the leg is over.
constexpr qint64 kArrivedPulses = 1;
constexpr int kReadsAtTarget = 2;
// A stop lost on the line is sent again: a driver whose comm timeout is
// off would otherwise run on.
constexpr int kStopAttempts = 3;

QByteArray commandFrame(quint8 slave, const DriverCommand &command, int writeFunction)
{
    RegisterInfo row;
    row.address = command.address;
    row.value = command.value;
    return writeRowCmd(slave, row, writeFunction);
}

} // namespace

TestRun::TestRun(RequestScheduler *scheduler, QObject *parent)
    : QObject(parent)
    , scheduler(scheduler)
{
    connect(scheduler, &RequestScheduler::completed, this, &TestRun::onCompleted);
    // Closing the line has sent the stop as its last words.
    connect(scheduler, &RequestScheduler::sessionEnded, this, [this] {
        if (isActive()) {
            setState(State::Idle);
            emit stopped(QStringLiteral("the line closed"));
        }
    });
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (isActive())
            this->scheduler->sendLastWords();
    });
    connect(&keepAliveTimer, &QTimer::timeout, this, &TestRun::keepAlive);
    dwellTimer.setSingleShot(true);
    connect(&dwellTimer, &QTimer::timeout, this, &TestRun::startLeg);
}

void TestRun::setMap(const QList<RegisterInfo> &map, int function)
{
    stop(QStringLiteral("the map changed"));
    rows = map;
    gate.setMap(map);
    driver = driverProfile(map);
    writeFunction = function;
}

const RegisterInfo *TestRun::row(RowRole role) const
{
    const int address = driver.motionAddress(role);
    return address < 0 ? nullptr : linesAt(rows, quint16(address)).value(0);
}

QString TestRun::jogUnavailable() const
{
    if (!row(RowRole::Jog))
        return QStringLiteral("the map names no jog row (role:jog)");
    return QString();
}

QString TestRun::moveUnavailable() const
{
    if (!row(RowRole::Target) || driver.moveCommand.name.isEmpty())
        return QStringLiteral("the map names no target row (role:target) or no move command (role:move)");
    if (driver.stopCommand.name.isEmpty())
        return QStringLiteral("the map names no stop command (role:stop)");
    if (!row(RowRole::Position))
        return QStringLiteral("the map names no position row (role:position)");
    return QString();
}

int TestRun::keepAliveMs() const
{
    if (commTimeoutMs <= 0)
        return 250;
    return qBound(20, commTimeoutMs / 4, 500);
}

void TestRun::jog(qint64 speed)
{
    if (!jogUnavailable().isEmpty())
        return emit refused(jogUnavailable());
    // Another speed while jogging takes effect with the next write.
    if (current == State::Jogging) {
        planValue = speed;
        return;
    }
    begin(Plan::Jog, speed);
}

void TestRun::moveTo(qint64 target)
{
    begin(Plan::Absolute, target);
}

void TestRun::moveBy(qint64 distance)
{
    begin(Plan::Relative, distance);
}

void TestRun::moveBackAndForth(qint64 distance, int times, int dwell)
{
    begin(Plan::BackAndForth, distance, times, dwell);
}

// Every start reads the comm timeout first (and the position, for a move
// from where the motor stands): it may have changed since the last one.
void TestRun::begin(Plan kind, qint64 value, int times, int dwell)
{
    if (isActive())
        return emit refused(QStringLiteral("a test move is under way"));
    if (kind != Plan::Jog && !moveUnavailable().isEmpty())
        return emit refused(moveUnavailable());
    if (!scheduler->isRunning())
        return emit refused(QStringLiteral("the port is not open"));
    // Back and forth: out by the distance and back to the start, each time.
    legs.clear();
    for (int i = 0; kind == Plan::BackAndForth && i < times; ++i)
        legs << value << 0;
    dwellMs = dwell;
    plan = kind;
    planValue = value;
    slave = scheduler->slaveAddress();
    commTimeoutRead = false;
    commTimeoutMs = 0;
    setState(State::Checking);
    if (const RegisterInfo *timeout = row(RowRole::CommTimeout))
        queueRead(CommTimeoutRead, timeout->address);
    else
        afterCheck();
}

bool TestRun::commTimeoutAcceptable()
{
    const RegisterInfo *timeout = row(RowRole::CommTimeout);
    const bool acceptable = commTimeoutRead && commTimeoutMs > 0 && commTimeoutMs <= kLongestCommTimeoutMs;
    if (acceptable || commTimeoutAccepted)
        return true;
    if (!timeout)
        emit commTimeoutRefused(QString(), QString());
    else
        emit commTimeoutRefused(QStringLiteral("%1 (%2)").arg(timeout->name, timeout->addressText),
                                QStringLiteral("%1 ms").arg(commTimeoutMs));
    return false;
}

void TestRun::afterCheck()
{
    if (!commTimeoutAcceptable())
        return setState(State::Idle);
    if (plan == Plan::Jog) {
        jogStarted = false;
        setState(State::Jogging);
        sinceKeepAlive.start();
        keepAlive();
        keepAliveTimer.start(keepAliveMs());
        return;
    }
    if (plan == Plan::Absolute) {
        legTarget = planValue;
        return startLeg();
    }
    queueRead(PositionRead, row(RowRole::Position)->address);
}

void TestRun::takePosition(qint64 position)
{
    if (current == State::Checking) {
        // Relative moves and back and forth start from where the motor is.
        if (plan == Plan::Relative)
            legs = {planValue};
        for (qint64 &leg : legs)
            leg += position;
        legTarget = legs.value(0);
        return startLeg();
    }
    if (current != State::Moving)
        return;
    positionsAtTarget = qAbs(position - legTarget) <= kArrivedPulses && position == lastPosition
                            ? positionsAtTarget + 1 : 0;
    lastPosition = position;
    if (positionsAtTarget + 1 < kReadsAtTarget)
        return;
    keepAliveTimer.stop();
    if (!legs.isEmpty())
        legs.removeFirst();
    if (legs.isEmpty())
        return setState(State::Idle);
    legTarget = legs.first();
    setState(State::Dwelling);
    dwellTimer.start(dwellMs);
}

void TestRun::startLeg()
{
    if (current != State::Checking && current != State::Dwelling)
        return;
    if (!legs.isEmpty())
        legTarget = legs.first();
    positionsAtTarget = 0;
    setState(State::Moving);
    const RegisterInfo *target = row(RowRole::Target);
    if (queueWrite(TargetWrite, *target, legTarget)) {
        sinceKeepAlive.start();
        keepAliveTimer.start(keepAliveMs());
    }
}

// The jog is written again, or the position read; one at a time, so that
// a slow line does not pile them up.
void TestRun::keepAlive()
{
    // Held up longer than the comm timeout (a stalled program), the tool has
    // let the driver stop by itself: the run ends rather than set the motor
    // going again unasked.
    const qint64 silentMs = sinceKeepAlive.restart();
    if (commTimeoutMs > 0 && silentMs > commTimeoutMs)
        return fail(QStringLiteral("the tool was held up for %1 ms, longer than the driver's comm timeout (%2 ms): "
                                   "the driver has stopped by itself").arg(silentMs).arg(commTimeoutMs));
    if (keepAliveQueued)
        return;
    if (current == State::Jogging)
        keepAliveQueued = queueWrite(JogWrite, *row(RowRole::Jog), planValue);
    else if (current == State::Moving)
        keepAliveQueued = queueRead(KeepAliveRead, row(RowRole::Position)->address);
}

void TestRun::stop(const QString &reason, bool always)
{
    const bool wasActive = isActive();
    keepAliveTimer.stop();
    dwellTimer.stop();
    // Idle first: the withdrawn requests' outcomes are no failure of a run.
    setState(State::Idle);
    scheduler->cancel(this);
    keepAliveQueued = false;
    if (!wasActive && !always)
        return;
    if (scheduler->isRunning()) {
        for (const QByteArray &frame : stopFrames()) {
            const GateAnswer answer = gate.judgeFrame(WriteOrigin::TestMove, frame);
            if (answer.allowed())
                scheduler->enqueueStop({frame, quint16(quint8(frame.at(2)) << 8 | quint8(frame.at(3))), 1, &stopOwner, 1});
            else
                emit refused(answer.reason);
        }
    }
    emit stopped(reason);
}

// The stop command, and a jog speed of 0: a driver may take either.
QList<QByteArray> TestRun::stopFrames() const
{
    QList<QByteArray> frames;
    if (!driver.stopCommand.name.isEmpty())
        frames << commandFrame(slave, driver.stopCommand, writeFunction);
    if (const RegisterInfo *jogRow = row(RowRole::Jog)) {
        RegisterInfo stopped = *jogRow;
        setRowRaw(stopped, 0);
        frames << writeRowCmd(slave, stopped, writeFunction);
    }
    return frames;
}

bool TestRun::queueWrite(int tag, const RegisterInfo &target, qint64 raw)
{
    RegisterInfo written = target;
    setRowRaw(written, raw);
    const QByteArray frame = writeRowCmd(slave, written, writeFunction);
    const GateAnswer answer = gate.judgeFrame(WriteOrigin::TestMove, frame);
    if (!answer.allowed()) {
        fail(answer.reason);
        return false;
    }
    // From the first frame that may move the motor, closing the line stops it.
    scheduler->setLastWords(stopFrames().value(0));
    scheduler->enqueueFirst({frame, target.address, quint16(target.format.wordCount()), this, tag, true});
    return true;
}

bool TestRun::queueCommand(int tag, const DriverCommand &command)
{
    const QByteArray frame = commandFrame(slave, command, writeFunction);
    const GateAnswer answer = gate.judgeFrame(WriteOrigin::TestMove, frame);
    if (!answer.allowed()) {
        fail(answer.reason);
        return false;
    }
    scheduler->enqueueFirst({frame, command.address, 1, this, tag, true});
    return true;
}

bool TestRun::queueRead(int tag, int address)
{
    const RegisterInfo *read = linesAt(rows, quint16(address)).value(0);
    scheduler->enqueueFirst({readRegisterCmd(slave, *read), read->address, quint16(read->format.wordCount()), this,
                             tag, true});
    return true;
}

void TestRun::onCompleted(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (request.owner == &stopOwner) {
        // The tag counts the attempts.
        if (outcome.answered()) {
            scheduler->setLastWords(QByteArray());
        } else if (outcome.kind != OutcomeKind::Cancelled && request.tag < kStopAttempts) {
            PendingCommand again = request;
            ++again.tag;
            scheduler->enqueueStop(again);
        } else if (outcome.kind != OutcomeKind::Cancelled) {
            emit refused(QStringLiteral("the stop was not confirmed: %1").arg(outcome.reason()));
        }
        return;
    }
    if (request.owner != this || !isActive())
        return;
    if (request.tag == JogWrite || request.tag == KeepAliveRead)
        keepAliveQueued = false;
    if (outcome.answered())
        return onAnswered(request, outcome);
    if (request.tag == CommTimeoutRead || request.tag == PositionRead)
        fail(QStringLiteral("the driver's %1 could not be read: %2")
                 .arg(linesAt(rows, request.address).value(0)->name, outcome.reason()));
    else if (request.tag != KeepAliveRead)
        fail(outcome.reason());
}

void TestRun::onAnswered(const PendingCommand &request, const RequestOutcome &outcome)
{
    const RegisterInfo *read = linesAt(rows, request.address).value(0);
    const qint64 raw = read && !outcome.values.isEmpty()
                           ? RegisterValue(read->format).fromWords(outcome.values.value(0), outcome.values.value(1))
                           : 0;
    switch (request.tag) {
    case CommTimeoutRead: {
        const double shown = RegisterValue(read->format).shown(raw);
        commTimeoutMs = int(std::lround(read->format.unit == QLatin1String("s") ? shown * 1000 : shown));
        commTimeoutRead = true;
        return afterCheck();
    }
    case PositionRead:
    case KeepAliveRead: return takePosition(raw);
    case TargetWrite: queueCommand(MoveCommand, driver.moveCommand); return;
    case MoveCommand: emit moveStarted(outcome.sentAtMs); return;
    case JogWrite:
        if (!jogStarted)
            emit moveStarted(outcome.sentAtMs);
        jogStarted = true;
        return;
    }
}

void TestRun::fail(const QString &reason)
{
    stop(reason, true);
    emit refused(reason);
}

void TestRun::setState(State state)
{
    if (state == current)
        return;
    current = state;
    emit stateChanged(state);
}

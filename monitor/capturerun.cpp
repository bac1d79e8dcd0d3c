#include "monitor/capturerun.h"

#include "protocol/requestscheduler.h"
#include "registermap/registervalue.h"
#include "registermap/rowvalue.h"

#include <algorithm>
#include <cmath>

namespace {

// Reads that fail one after another before the capture gives up: one lost
// reply is a gap in the curves, a driver that stopped answering is not.
constexpr int missesAllowed = 3;
// Samples older than the pre-trigger time are dropped in batches.
constexpr int forgetBatch = 512;

bool readable(const RegisterInfo &info)
{
    return info.addressValid && !isWriteOnly(info.permission);
}

QList<int> identityRows(const QList<RegisterInfo> &registers)
{
    const DriverProfile profile = driverProfile(registers);
    QList<int> rows;
    for (int row = 0; row < registers.size(); ++row) {
        const quint16 address = registers.at(row).address;
        if (readable(registers.at(row)) && (profile.identity.contains(address) || profile.serial.contains(address)))
            rows << row;
    }
    return rows;
}

} // namespace

CaptureRun::CaptureRun(RequestScheduler *scheduler, QObject *parent)
    : QObject(parent)
    , scheduler(scheduler)
{
    waitTimer.setSingleShot(true);
    connect(&waitTimer, &QTimer::timeout, this, [this] {
        fail(Failure::TriggerNeverCame,
             QStringLiteral("the trigger did not come within %1 ms").arg(settings.waitMs));
    });
    connect(scheduler, &RequestScheduler::completed, this, &CaptureRun::onCompleted);
    connect(scheduler, &RequestScheduler::unaskedReply, this, [this] {
        if (isRunning())
            fail(Failure::UnaskedReply, QStringLiteral("a reply came that no request asked for, so samples may "
                                                       "belong to other reads"));
    });
}

void CaptureRun::setMap(const QList<RegisterInfo> &rows, const QString &file)
{
    stop();
    registers = rows;
    mapFile = file;
}

int CaptureRun::findRow(const QList<RegisterInfo> &rows, const QString &name, QString *why)
{
    const QString wanted = name.trimmed();
    QList<int> containing;
    for (int row = 0; row < rows.size(); ++row) {
        if (!readable(rows.at(row)))
            continue;
        if (rows.at(row).name.compare(wanted, Qt::CaseInsensitive) == 0)
            return row;
        if (!wanted.isEmpty() && rows.at(row).name.contains(wanted, Qt::CaseInsensitive))
            containing << row;
    }
    if (containing.size() == 1)
        return containing.first();
    QStringList names;
    for (int row : containing)
        names << QLatin1Char('"') + rows.at(row).name + QLatin1Char('"');
    *why = containing.isEmpty() ? QStringLiteral("the map has no readable row named \"%1\"").arg(wanted)
                                : QStringLiteral("\"%1\" names several rows: %2").arg(wanted, names.join(QLatin1String(", ")));
    return -1;
}

bool CaptureRun::chooseRows(const CaptureSettings &chosen, QList<int> *picked)
{
    QStringList names = chosen.rows;
    if (chosen.trigger.kind == CaptureTrigger::Kind::Level)
        names << chosen.trigger.row;
    for (const QString &name : names) {
        const int row = findRow(registers, name, &problem);
        if (row < 0)
            return false;
        if (!picked->contains(row))
            picked->append(row);
    }
    if (picked->isEmpty()) {
        problem = QStringLiteral("no row is chosen");
        return false;
    }
    std::sort(picked->begin(), picked->end());
    return true;
}

bool CaptureRun::isLineOpen() const
{
    return scheduler->isRunning();
}

bool CaptureRun::arm(const CaptureSettings &chosen)
{
    stop();
    problem.clear();
    if (!isLineOpen()) {
        problem = QStringLiteral("the line is not open");
        return false;
    }
    if (!std::isfinite(chosen.preMs) || !std::isfinite(chosen.lengthMs) || chosen.preMs < 0 || chosen.lengthMs <= 0) {
        problem = QStringLiteral("the pre-trigger time must be 0 ms or more and the length more than 0 ms");
        return false;
    }
    QList<int> picked;
    if (!chooseRows(chosen, &picked))
        return false;
    settings = chosen;
    rows = picked;
    capture = Capture();
    for (int row : rows)
        capture.curves.append(CaptureCurve{registers.at(row).name, registers.at(row).format.unit, {}});
    triggerCurve = -1;
    if (settings.trigger.kind == CaptureTrigger::Kind::Level) {
        triggerCurve = rows.indexOf(findRow(registers, settings.trigger.row, &problem));
        // The file names the row as the map does, whatever part was typed.
        settings.trigger.row = registers.at(rows.at(triggerCurve)).name;
    }
    haveBefore = false;
    missesInRow = 0;
    identity = DriverIdentity();
    plan.forgetRefusals();
    plan.setBlockSize(1);
    identityReads = plan.requests(registers, identityRows(registers), scheduler->slaveAddress(), this);
    plan.setBlockSize(RefreshPlan::maxBlockSize);
    sampleReads = plan.requests(registers, rows, scheduler->slaveAddress(), this);
    nextRead = 0;
    if (identityReads.isEmpty()) {
        startSampling();
    } else {
        phase = Phase::Identity;
        sendNext();
    }
    return true;
}

void CaptureRun::startSampling()
{
    phase = Phase::Armed;
    nextRead = 0;
    if (settings.waitMs > 0 && settings.trigger.kind != CaptureTrigger::Kind::Immediate)
        waitTimer.start(int(std::ceil(settings.waitMs)));
    emit sampling();
    sendNext();
}

void CaptureRun::sendNext()
{
    PendingCommand read = phase == Phase::Identity ? identityReads.at(nextRead) : sampleReads.at(nextRead);
    read.lineSpeed = true;
    ++unfinished;
    scheduler->enqueueSample(read);
}

void CaptureRun::triggerNow()
{
    triggerAt(scheduler->clockMs());
}

void CaptureRun::triggerAt(double clockMs)
{
    if (settings.trigger.kind == CaptureTrigger::Kind::MoveStart)
        startWindowAt(clockMs);
}

void CaptureRun::startWindowAt(double clockMs)
{
    if (phase != Phase::Armed)
        return;
    phase = Phase::Triggered;
    triggerMs = clockMs;
    waitTimer.stop();
    emit triggered();
}

void CaptureRun::stop()
{
    if (phase == Phase::Idle)
        return;
    phase = Phase::Idle;
    waitTimer.stop();
    scheduler->cancel(this);
    stale = unfinished;
}

void CaptureRun::onCompleted(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (request.owner != this)
        return;
    --unfinished;
    if (stale > 0) {
        --stale;
        return;
    }
    if (phase == Phase::Idle)
        return;
    if (outcome.kind == OutcomeKind::Cancelled)
        return fail(Failure::LineClosed, QStringLiteral("the line closed"));
    if (outcome.answered() || outcome.kind == OutcomeKind::Refused) {
        missesInRow = 0;
    } else if (++missesInRow >= missesAllowed) {
        return fail(Failure::NoAnswer, QStringLiteral("the driver did not answer %1 reads in a row: %2")
                                           .arg(missesAllowed).arg(outcome.reason()));
    }
    if (phase == Phase::Identity)
        onIdentity(request, outcome);
    else
        onSample(request, outcome);
}

// A driver that refuses its identity rows is still captured, unnamed.
void CaptureRun::onIdentity(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (outcome.answered()) {
        for (int row : RefreshPlan::storeWords(registers, request, outcome.values))
            identity.values.insert(registers.at(row).address, rowRaw(registers.at(row)));
    }
    if (++nextRead < identityReads.size())
        return sendNext();
    startSampling();
}

void CaptureRun::onSample(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (outcome.answered()) {
        takeValues(request, outcome.values, outcome.sentAtMs);
        if (phase == Phase::Idle)
            return;
    } else if (outcome.kind == OutcomeKind::Refused) {
        const QList<int> refused = RefreshPlan::rowsOf(registers, request);
        if (refused.size() < 2)
            return fail(Failure::NoAnswer, QStringLiteral("the driver refuses to read \"%1\": %2")
                                               .arg(registers.value(request.tag).name, outcome.reason()));
        // A driver without block reads still answers its rows one by one.
        plan.readSingly(refused);
        sampleReads = plan.requests(registers, rows, scheduler->slaveAddress(), this);
        nextRead = -1;
    }
    nextRead = (nextRead + 1) % sampleReads.size();
    sendNext();
}

void CaptureRun::takeValues(const PendingCommand &request, const QList<quint16> &words, double atMs)
{
    if (phase == Phase::Armed && settings.trigger.kind == CaptureTrigger::Kind::Immediate)
        startWindowAt(atMs);
    for (int row : RefreshPlan::storeWords(registers, request, words)) {
        const int curve = rows.indexOf(row);
        if (curve < 0)
            continue;
        const RegisterInfo &info = registers.at(row);
        const double value = RegisterValue(info.format).shown(rowRaw(info));
        capture.curves[curve].points.append(QPointF(atMs, value));
        if (curve == triggerCurve)
            checkTrigger(atMs, value);
    }
    if (phase == Phase::Triggered && atMs >= triggerMs + settings.lengthMs)
        return finish();
    if (phase == Phase::Armed)
        forgetBefore(atMs - settings.preMs);
}

void CaptureRun::checkTrigger(double atMs, double value)
{
    if (phase == Phase::Armed && haveBefore && settings.trigger.crosses(before, value))
        startWindowAt(atMs);
    before = value;
    haveBefore = true;
}

void CaptureRun::forgetBefore(double ms)
{
    for (CaptureCurve &curve : capture.curves) {
        int old = 0;
        while (old < curve.points.size() && curve.points.at(old).x() < ms)
            ++old;
        if (old >= forgetBatch)
            curve.points.remove(0, old);
    }
}

void CaptureRun::finish()
{
    stop();
    Capture frozen = capture;
    for (CaptureCurve &curve : frozen.curves) {
        QVector<QPointF> kept;
        for (const QPointF &point : qAsConst(curve.points)) {
            const double ms = point.x() - triggerMs;
            if (ms >= -settings.preMs && ms <= settings.lengthMs)
                kept.append(QPointF(ms, point.y()));
        }
        curve.points = kept;
    }
    frozen.identity = identityText(identity, registers);
    frozen.mapFile = mapFile;
    frozen.trigger = settings.trigger.text();
    frozen.preMs = settings.preMs;
    frozen.lengthMs = settings.lengthMs;
    emit finished(frozen);
}

void CaptureRun::fail(Failure failure, const QString &reason)
{
    stop();
    emit failed(failure, reason);
}

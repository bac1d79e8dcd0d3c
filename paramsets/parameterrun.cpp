#include "paramsets/parameterrun.h"

#include "paramsets/parametercompare.h"
#include "protocol/modbusmaster.h"
#include "protocol/requestscheduler.h"
#include "registermap/addressrules.h"
#include "registermap/registerframes.h"
#include "registermap/registervalue.h"

#include <QSet>

namespace {

// A driver that has stopped answering is not asked for every remaining
// register, each costing a whole reply wait.
constexpr int silentRequestsToGiveUp = 3;

constexpr quint8 writeMultipleRegisters = 0x10;
constexpr quint8 illegalFunction = 0x01;

} // namespace

ParameterRun::ParameterRun(RequestScheduler *scheduler, QObject *parent)
    : QObject(parent)
    , scheduler(scheduler)
{
    connect(scheduler, &RequestScheduler::completed, this, &ParameterRun::onCompleted);
    connect(scheduler, &RequestScheduler::unaskedReply, this, [this](const QByteArray &block) {
        if (phase != Phase::Idle && !doubtful)
            firstUnaskedFrom = block.isEmpty() ? 0 : quint8(block.at(0));
        doubtful |= phase != Phase::Idle;
    });
    connect(scheduler, &RequestScheduler::lateReply, this, [this](const QByteArray &block) {
        if (phase == Phase::Reading && quint8(block.at(0)) == slave)
            ++lateFromSlave;
    });
}

void ParameterRun::setMap(const QList<RegisterInfo> &registers, int blockRead, int writeFunction)
{
    rows = mapRows(registers);
    gate.setMap(registers);
    plan = RefreshPlan();
    plan.setBlockSize(blockRead);
    this->writeFunction = writeFunction;
}

void ParameterRun::readMap()
{
    phase = Phase::Reading;
    slave = scheduler->slaveAddress();
    slaveRead = true;
    readDoubtMark = qint64(scheduler->doubtCount());
    runStart = scheduler->runMark();
    ending = RunEnd::Completed;
    readValues.clear();
    failures.clear();
    doubtful = false;
    lateFromSlave = 0;
    readsDone = 0;
    QList<int> readable;
    for (int row = 0; row < rows.size(); ++row) {
        if (!isWriteOnly(rows.at(row).permission))
            readable.append(row);
    }
    readTotal = readable.size();
    heldReads = plan.requests(rows, readable, slave, this);
    vouchForFirstBlock();
    firstAsk = heldReads.isEmpty() ? FirstAsk::Done : FirstAsk::Pending;
    answersDiffer = false;
    probing = !heldReads.isEmpty();
    probeRepeated = false;
    if (probing)
        send(heldReads.takeFirst());
    if (outstanding == 0)
        finishReading();
}

void ParameterRun::writeValues(const QList<ParameterEntry> &values, WriteOrigin origin, const WriteConsent &consent)
{
    phase = Phase::Writing;
    if (!slaveRead)
        slave = scheduler->slaveAddress();
    ending = RunEnd::Completed;
    silentInRow = 0;
    doubtful = false;
    // Writes after this run's read answer to doubt since that read began.
    writeDoubtMark = slaveRead ? readDoubtMark : qint64(scheduler->doubtCount());
    if (!slaveRead)
        runStart = scheduler->runMark();
    anyConfirmed = false;
    writes.clear();
    writeRows.clear();
    refusedWrites.clear();
    QSet<quint16> planned;
    for (const ParameterEntry &write : values) {
        if (planned.contains(write.address) || !admit(write, origin, consent))
            continue;
        planned.insert(write.address);
        RegisterInfo row = *linesAt(rows, write.address).value(0);
        row.address = write.address;
        const QVector<quint16> words = RegisterValue(row.format).toWords(write.value);
        row.value = words.at(0);
        row.nextWord = words.value(1);
        writes.append(write);
        writeRows.append(row);
    }
    writeIndex = 0;
    for (const auto &refused : qAsConst(refusedWrites))
        emit writeOutcome(refused.first, WriteResult::NotSent, refused.second);
    if (writes.isEmpty())
        return endWriting();
    sendWrite();
}

bool ParameterRun::admit(const ParameterEntry &write, WriteOrigin origin, const WriteConsent &consent)
{
    const GateAnswer answer = gate.judge(origin, write.address, write.value, consent);
    if (!answer.allowed())
        refusedWrites.append({write, answer.reason});
    return answer.allowed();
}

void ParameterRun::cancel()
{
    if (phase == Phase::Idle)
        return;
    ending = RunEnd::Cancelled;
    heldReads.clear();
    scheduler->cancel(this);
    if (listening) {
        listening = false;
        return phase == Phase::Reading ? endReading() : endWriting();
    }
    if (phase == Phase::Reading && outstanding == 0)
        endReading();
}

void ParameterRun::send(PendingCommand request, bool ahead)
{
    request.lineSpeed = lineSpeed;
    if (phase == Phase::Writing && request.isWrite())
        request.doubtMark = writeDoubtMark;
    ++outstanding;
    // Writes and their read backs go ahead of a refresh the window may have
    // queued.
    if (ahead || phase == Phase::Writing)
        scheduler->enqueueFirst(request);
    else
        scheduler->enqueue(request);
}

void ParameterRun::onCompleted(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (request.owner != this || phase == Phase::Idle)
        return;
    --outstanding;
    // Held back by the scheduler: a reply that fits no request came since
    // the run began, so nothing more of it is written.
    if (outcome.heldForDoubt && ending == RunEnd::Completed)
        ending = RunEnd::UnaskedReply;
    if (outcome.kind == OutcomeKind::Cancelled && ending == RunEnd::Completed)
        ending = RunEnd::Stopped;
    noteSilence(outcome);
    if (phase == Phase::Reading)
        onReadOutcome(request, outcome);
    else if (request.tag % 2 == WriteStep)
        onWriteOutcome(request, outcome);
    else
        onReadBackOutcome(outcome);
}

void ParameterRun::noteSilence(const RequestOutcome &outcome)
{
    silentInRow = outcome.kind == OutcomeKind::TimedOut ? silentInRow + 1 : 0;
    if (silentInRow >= silentRequestsToGiveUp && phase == Phase::Writing && ending == RunEnd::Completed)
        ending = RunEnd::DriverSilent;
}

void ParameterRun::sendReads(const QList<int> &rowIndexes)
{
    for (const PendingCommand &request : plan.requests(rows, rowIndexes, slave, this))
        send(request);
}

// A driver that refuses a block may still answer its rows one by one, as
// the window's refresh finds too.
void ParameterRun::onReadOutcome(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (probing && probe(request, outcome))
        return;
    if (askAgain(request, outcome))
        return;
    if (request.tag == VouchTag) {
        if (outstanding == 0)
            finishReading();
        return;
    }
    const QList<int> covered = RefreshPlan::rowsOf(rows, request);
    if (outcome.kind == OutcomeKind::Refused && covered.size() > 1 && ending == RunEnd::Completed) {
        plan.readSingly(covered);
        return sendReads(covered);
    }
    if (outcome.answered()) {
        for (int row : RefreshPlan::storeWords(rows, request, outcome.values)) {
            const RegisterInfo &info = rows.at(row);
            readValues.insert(info.address, RegisterValue(info.format).fromWords(info.value, info.nextWord));
        }
    } else if (outcome.kind != OutcomeKind::Cancelled) {
        for (int row : covered)
            failures.insert(rows.at(row).address, outcome);
    }
    if (outcome.kind != OutcomeKind::Cancelled) {
        readsDone += covered.size();
        emit readProgress(readsDone, readTotal);
    }
    if (outstanding == 0)
        finishReading();
}

// Until the driver has answered once, a silence is as likely a wrong
// address or baud rate as a busy driver: one more try, and then no row of
// it waits its reply time in vain. Any reply at all, refused or garbled,
// shows it is there. True when the request was sent again.
bool ParameterRun::probe(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (outcome.kind == OutcomeKind::TimedOut && ending == RunEnd::Completed) {
        if (!probeRepeated) {
            probeRepeated = true;
            PendingCommand again = request;
            again.repeat = true;
            send(again);
            return true;
        }
        ending = RunEnd::DriverAbsent;
    }
    probing = false;
    for (const PendingCommand &held : qAsConst(heldReads)) {
        if (ending == RunEnd::Completed) {
            send(held);
        } else if (ending == RunEnd::DriverAbsent) {
            for (int row : RefreshPlan::rowsOf(rows, held))
                failures.insert(rows.at(row).address, outcome);
        }
    }
    heldReads.clear();
    return false;
}

// The first answer of a read may be a reply owed from before the run: a
// driver still busy with another program's request ignores the run's first
// one and then sends that reply, which nothing later in the run would
// expose. So the request is asked once more, ahead of the others, after any
// quiet the line owes, and the second answer is the one kept. Two equal
// answers vouch for each other (had the first been owed and the driver
// queued the request, the true replies come one request late, within the
// short listening); two that differ leave the run listening a whole reply
// wait. True when the request was sent again.
bool ParameterRun::askAgain(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (firstAsk == FirstAsk::AskedAgain) {
        firstAsk = FirstAsk::Done;
        answersDiffer = !outcome.answered() || outcome.values != firstAnswer;
        return false;
    }
    if (firstAsk != FirstAsk::Pending || !outcome.answered() || ending != RunEnd::Completed)
        return false;
    firstAsk = FirstAsk::AskedAgain;
    firstAnswer = outcome.values;
    PendingCommand again = request;
    again.repeat = false;
    send(again, true);
    return true;
}

// Asking a block of a hundred registers twice costs a hundred registers'
// wire time: its first register alone, asked twice ahead of it, does the
// same work. A reply owed from before meets that one-register read (or
// fits none of it and puts the run in doubt), never the block.
void ParameterRun::vouchForFirstBlock()
{
    if (heldReads.isEmpty() || heldReads.first().count < 2)
        return;
    PendingCommand vouch = heldReads.first();
    // Slave, function and address kept; one register.
    vouch.frame = vouch.frame.left(4) + QByteArray("\x00\x01", 2);
    ModbusMaster::instance()->appendCrc(vouch.frame);
    vouch.count = 1;
    vouch.tag = VouchTag;
    heldReads.prepend(vouch);
}

// The last reply may have been an earlier request's, and the true one still
// on its way: values are kept only once that time has passed in silence.
void ParameterRun::finishReading()
{
    if (ending == RunEnd::Completed && !readValues.isEmpty())
        return listenForLateReplies(&ParameterRun::endReading);
    endReading();
}

void ParameterRun::listenForLateReplies(void (ParameterRun::*end)())
{
    listening = true;
    auto then = [this, end] {
        if (!listening)
            return;
        listening = false;
        if (!scheduler->isRunning() && ending == RunEnd::Completed)
            ending = RunEnd::Stopped;
        (this->*end)();
    };
    if (answersDiffer)
        return scheduler->afterWholeReplyWait(this, then);
    scheduler->afterLateReplies(this, then, runStart);
}

// Which reply answered which request cannot be told once an extra one came:
// no value read in this run is trusted.
void ParameterRun::endReading()
{
    if (doubtful) {
        for (auto read = readValues.cbegin(); read != readValues.cend(); ++read)
            failures.insert(read.key(), RequestOutcome{OutcomeKind::Garbled});
        readValues.clear();
        // A reply came after all: the driver may be there, only slow.
        if (ending == RunEnd::Completed || ending == RunEnd::DriverAbsent)
            ending = RunEnd::UnaskedReply;
    }
    phase = Phase::Idle;
    emit readFinished(readValues, ending);
}

void ParameterRun::sendWrite()
{
    const RegisterInfo &row = writeRow();
    send({writeRowCmd(slave, row, writeFunction), row.address, quint16(row.format.wordCount()), this,
          writeIndex * 2 + WriteStep});
}

void ParameterRun::onWriteOutcome(const PendingCommand &request, const RequestOutcome &outcome)
{
    switch (outcome.kind) {
    case OutcomeKind::Answered:
        // A command register cannot be read back: its echo is all there is.
        if (isWriteOnly(writeRow().permission))
            return finishWrite(WriteResult::Confirmed, QString());
        if (ending != RunEnd::Completed)
            return finishWrite(WriteResult::Unconfirmed, QStringLiteral("echoed, not read back"));
        send({readRegisterCmd(slave, writeRow()), writeRow().address, quint16(writeRow().format.wordCount()), this,
              writeIndex * 2 + ReadBackStep});
        return;
    case OutcomeKind::Refused:
        // Never split into single writes: the driver would see half a value.
        if (request.function() == writeMultipleRegisters && outcome.exceptionCode == illegalFunction)
            return finishWrite(WriteResult::Failed,
                               QStringLiteral("the driver does not take function 16 (write multiple registers): ")
                                   + outcome.reason());
        return finishWrite(WriteResult::Failed, outcome.reason());
    case OutcomeKind::Cancelled:
        if (!outcome.frameSent)
            return finishWrite(WriteResult::NotSent, QString());
        break;
    default:
        break;
    }
    // A gateway with no path to the driver (0A) kept the write to itself.
    if (outcome.refusedUndone())
        return finishWrite(WriteResult::Failed, outcome.reason());
    finishWrite(WriteResult::Unconfirmed, outcome.reason());
}

void ParameterRun::onReadBackOutcome(const RequestOutcome &outcome)
{
    const qint64 expected = writes.at(writeIndex).value;
    if (!outcome.answered())
        return finishWrite(WriteResult::Unconfirmed, QStringLiteral("echoed; read back: ") + outcome.reason());
    const RegisterValue value(writeRow().format);
    const qint64 readBack = value.fromWords(outcome.values.value(0), outcome.values.value(1));
    if (readBack == expected)
        return finishWrite(WriteResult::Confirmed, QString());
    finishWrite(WriteResult::Failed, QStringLiteral("read back %1").arg(value.text(readBack)));
}

void ParameterRun::finishWrite(WriteResult result, const QString &reason)
{
    anyConfirmed |= result == WriteResult::Confirmed;
    // Once a reply came that no request asked for, no further write is sent.
    if (doubtful && ending == RunEnd::Completed)
        ending = RunEnd::UnaskedReply;
    emit writeOutcome(writes.at(writeIndex), result, reason);
    ++writeIndex;
    emit writeProgress(writeIndex, writes.size());
    if (writeIndex < writes.size() && ending == RunEnd::Completed)
        return sendWrite();
    finishWriting();
}

// A read back may have had an earlier request's reply, like any read.
void ParameterRun::finishWriting()
{
    if (ending == RunEnd::Completed && anyConfirmed)
        return listenForLateReplies(&ParameterRun::endWriting);
    endWriting();
}

// Whatever was left is reported as not sent, so every write has an outcome.
void ParameterRun::endWriting()
{
    if (doubtful && ending == RunEnd::Completed)
        ending = RunEnd::UnaskedReply;
    for (; writeIndex < writes.size(); ++writeIndex)
        emit writeOutcome(writes.at(writeIndex), WriteResult::NotSent, QString());
    phase = Phase::Idle;
    emit writeFinished(ending);
}

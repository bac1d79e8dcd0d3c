#include "paramsets/parameterrun.h"

#include "protocol/modbusmaster.h"
#include "protocol/requestscheduler.h"

#include <QSet>

namespace {

// A driver that has stopped answering is not asked for every remaining
// register, each costing a whole reply wait.
constexpr int silentRequestsToGiveUp = 3;

} // namespace

ParameterRun::ParameterRun(RequestScheduler *scheduler, QObject *parent)
    : QObject(parent)
    , scheduler(scheduler)
{
    connect(scheduler, &RequestScheduler::completed, this, &ParameterRun::onCompleted);
}

void ParameterRun::readRegisters(const QList<quint16> &addresses)
{
    phase = Phase::Reading;
    slave = scheduler->slaveAddress();
    ending = RunEnd::Completed;
    readAddresses = addresses;
    readValues.clear();
    failures.clear();
    readsDone = 0;
    for (int i = 0; i < addresses.size(); ++i)
        send({ModbusMaster::instance()->readCmd(slave, addresses.at(i), 1), addresses.at(i), 1, this, i});
    if (outstanding == 0)
        endReading();
}

void ParameterRun::writeValues(const QList<ParameterEntry> &values)
{
    phase = Phase::Writing;
    slave = scheduler->slaveAddress();
    ending = RunEnd::Completed;
    silentInRow = 0;
    writes.clear();
    QSet<quint16> planned;
    for (const ParameterEntry &write : values) {
        if (!planned.contains(write.address)) {
            planned.insert(write.address);
            writes.append(write);
        }
    }
    writeIndex = 0;
    if (writes.isEmpty())
        return endWriting();
    sendWrite();
}

void ParameterRun::cancel()
{
    if (phase == Phase::Idle)
        return;
    ending = RunEnd::Cancelled;
    scheduler->cancel(this);
    if (phase == Phase::Reading && outstanding == 0)
        endReading();
}

void ParameterRun::send(PendingCommand request)
{
    request.lineSpeed = lineSpeed;
    ++outstanding;
    // Writes and their read backs go ahead of a refresh the window may have
    // queued.
    if (phase == Phase::Writing)
        scheduler->enqueueFirst(request);
    else
        scheduler->enqueue(request);
}

void ParameterRun::onCompleted(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (request.owner != this || phase == Phase::Idle)
        return;
    --outstanding;
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

void ParameterRun::onReadOutcome(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (outcome.answered())
        readValues.insert(request.address, outcome.values.first());
    else if (outcome.kind != OutcomeKind::Cancelled)
        failures.insert(request.address, outcome);
    if (outcome.kind != OutcomeKind::Cancelled)
        emit readProgress(++readsDone, readAddresses.size());
    if (outstanding == 0)
        endReading();
}

void ParameterRun::endReading()
{
    phase = Phase::Idle;
    emit readFinished(readValues, ending);
}

void ParameterRun::sendWrite()
{
    const ParameterEntry &write = writes.at(writeIndex);
    send({ModbusMaster::instance()->writeCmd(slave, write.address, write.value), write.address, 1, this,
          writeIndex * 2 + WriteStep});
}

void ParameterRun::onWriteOutcome(const PendingCommand &, const RequestOutcome &outcome)
{
    switch (outcome.kind) {
    case OutcomeKind::Answered:
        if (ending != RunEnd::Completed)
            return finishWrite(WriteResult::Unconfirmed, QStringLiteral("echoed, not read back"));
        send({ModbusMaster::instance()->readCmd(slave, writes.at(writeIndex).address, 1), writes.at(writeIndex).address,
              1, this, writeIndex * 2 + ReadBackStep});
        return;
    case OutcomeKind::Refused:
        return finishWrite(WriteResult::Failed, outcome.reason());
    case OutcomeKind::Cancelled:
        if (!outcome.frameSent)
            return finishWrite(WriteResult::NotSent, QString());
        break;
    default:
        break;
    }
    finishWrite(WriteResult::Unconfirmed, outcome.reason());
}

void ParameterRun::onReadBackOutcome(const RequestOutcome &outcome)
{
    const quint16 expected = writes.at(writeIndex).value;
    if (!outcome.answered())
        return finishWrite(WriteResult::Unconfirmed, QStringLiteral("echoed; read back: ") + outcome.reason());
    if (outcome.values.first() == expected)
        return finishWrite(WriteResult::Confirmed, QString());
    finishWrite(WriteResult::Failed, QStringLiteral("read back %1").arg(outcome.values.first()));
}

void ParameterRun::finishWrite(WriteResult result, const QString &reason)
{
    emit writeOutcome(writes.at(writeIndex), result, reason);
    ++writeIndex;
    emit writeProgress(writeIndex, writes.size());
    if (writeIndex < writes.size() && ending == RunEnd::Completed)
        return sendWrite();
    endWriting();
}

// Whatever was left is reported as not sent, so every write has an outcome.
void ParameterRun::endWriting()
{
    for (; writeIndex < writes.size(); ++writeIndex)
        emit writeOutcome(writes.at(writeIndex), WriteResult::NotSent, QString());
    phase = Phase::Idle;
    emit writeFinished(ending);
}

#include "paramsets/parameterrun.h"

#include "protocol/modbusmaster.h"
#include "protocol/requestscheduler.h"

ParameterRun::ParameterRun(RequestScheduler *scheduler, QObject *parent)
    : QObject(parent)
    , scheduler(scheduler)
{
    connect(scheduler, &RequestScheduler::readAnswered, this, &ParameterRun::onReadAnswered);
    connect(scheduler, &RequestScheduler::writeEchoed, this, &ParameterRun::onWriteEchoed);
    connect(scheduler, &RequestScheduler::timedOut, this, [this](const PendingCommand &request) {
        onFailed(request, QStringLiteral("no answer"));
    });
    connect(scheduler, &RequestScheduler::unanswered, this, [this](const PendingCommand &request) {
        onFailed(request, QStringLiteral("no valid reply"));
    });
    connect(scheduler, &RequestScheduler::exceptionAnswered, this,
            [this](const PendingCommand &request, quint8 code) { onFailed(request, exceptionText(code)); });
}

void ParameterRun::readRegisters(const QList<quint16> &addresses)
{
    phase = Phase::Reading;
    cancelRequested = false;
    readAddresses = addresses;
    readValues.clear();
    settledReads.clear();
    for (int i = 0; i < addresses.size(); ++i)
        scheduler->enqueue({ModbusMaster::instance()->readCmd(addresses.at(i), 1), addresses.at(i), 1, this, i});
    if (addresses.isEmpty()) {
        phase = Phase::Idle;
        emit readFinished(readValues);
    }
}

void ParameterRun::writeValues(const QList<ParameterEntry> &values)
{
    phase = Phase::Writing;
    cancelRequested = false;
    writes = values;
    writeIndex = 0;
    if (writes.isEmpty()) {
        phase = Phase::Idle;
        emit writeFinished(false);
        return;
    }
    sendWrite();
}

void ParameterRun::cancel()
{
    if (phase == Phase::Reading) {
        scheduler->cancel(this);
        phase = Phase::Idle;
        emit readFinished(readValues);
    } else if (phase == Phase::Writing) {
        cancelRequested = true;
    }
}

void ParameterRun::abandon()
{
    scheduler->cancel(this);
    if (phase == Phase::Reading) {
        cancel();
    } else if (phase == Phase::Writing) {
        phase = Phase::Idle;
        emit writeFinished(true);
    }
}

void ParameterRun::sendWrite()
{
    const ParameterEntry &write = writes.at(writeIndex);
    // Writes go ahead of a refresh the window may have queued.
    scheduler->enqueueFirst({ModbusMaster::instance()->writeCmd(write.address, write.value),
                             write.address, 1, this, writeIndex * 2 + WriteStep});
}

bool ParameterRun::isCurrentStep(const PendingCommand &request, Step step) const
{
    return phase == Phase::Writing && request.tag == writeIndex * 2 + step;
}

void ParameterRun::onReadAnswered(const PendingCommand &request, const QList<quint16> &values)
{
    if (request.owner != this || values.isEmpty())
        return;
    if (phase == Phase::Reading) {
        if (request.tag >= 0 && request.tag < readAddresses.size() && !settledReads.contains(request.tag)) {
            readValues.insert(request.address, values.first());
            settleRead(request.tag);
        }
    } else if (isCurrentStep(request, ReadBackStep)) {
        const quint16 expected = writes.at(writeIndex).value;
        if (values.first() == expected)
            finishWrite(true, QString());
        else
            finishWrite(false, QStringLiteral("read back %1").arg(values.first()));
    }
}

void ParameterRun::onWriteEchoed(const PendingCommand &request, quint16 address, quint16 value)
{
    if (request.owner != this || !isCurrentStep(request, WriteStep))
        return;
    const ParameterEntry &write = writes.at(writeIndex);
    if (address != write.address || value != write.value) {
        finishWrite(false, QStringLiteral("echo %1 <- %2").arg(addressText(address)).arg(value));
        return;
    }
    scheduler->enqueueFirst({ModbusMaster::instance()->readCmd(write.address, 1), write.address, 1,
                             this, writeIndex * 2 + ReadBackStep});
}

void ParameterRun::onFailed(const PendingCommand &request, const QString &reason)
{
    if (request.owner != this)
        return;
    if (phase == Phase::Reading && request.tag >= 0 && request.tag < readAddresses.size())
        settleRead(request.tag);
    else if (isCurrentStep(request, WriteStep))
        finishWrite(false, reason);
    else if (isCurrentStep(request, ReadBackStep))
        finishWrite(false, reason + QStringLiteral(" to the read back"));
}

// A reply late after its timeout must not count its read twice.
void ParameterRun::settleRead(int tag)
{
    if (settledReads.contains(tag))
        return;
    settledReads.insert(tag);
    emit readProgress(settledReads.size(), readAddresses.size());
    if (settledReads.size() == readAddresses.size()) {
        phase = Phase::Idle;
        emit readFinished(readValues);
    }
}

void ParameterRun::finishWrite(bool confirmed, const QString &reason)
{
    emit writeOutcome(writes.at(writeIndex), confirmed, reason);
    ++writeIndex;
    emit writeProgress(writeIndex, writes.size());
    if (writeIndex < writes.size() && !cancelRequested) {
        sendWrite();
        return;
    }
    phase = Phase::Idle;
    emit writeFinished(writeIndex < writes.size());
}

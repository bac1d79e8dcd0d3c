#include "paramsets/unsavedwrites.h"

#include "protocol/requestscheduler.h"

#include <algorithm>

UnsavedWrites::UnsavedWrites(RequestScheduler *scheduler, QObject *parent)
    : QObject(parent)
{
    connect(scheduler, &RequestScheduler::completed, this, &UnsavedWrites::onCompleted);
}

void UnsavedWrites::setCommands(const QList<DriverCommand> &commands)
{
    this->commands = commands;
}

QList<quint8> UnsavedWrites::drivers() const
{
    QList<quint8> slaves = unsaved.values();
    std::sort(slaves.begin(), slaves.end());
    return slaves;
}

void UnsavedWrites::forget()
{
    unsaved.clear();
    saveEchoedBy = -1;
    writtenSinceSaveEcho = false;
}

// A single-register write of a command's value to its register.
const DriverCommand *UnsavedWrites::commandOf(const PendingCommand &request) const
{
    const QByteArray &frame = request.frame;
    const int valueAt = request.function() == 0x10 ? 7 : 4;
    if (request.function() == 0x10 && (frame.size() < 9 || quint8(frame.at(5)) != 1))
        return nullptr;
    if (frame.size() < valueAt + 2)
        return nullptr;
    auto wordAt = [&frame](int index) { return quint16(quint8(frame.at(index)) << 8 | quint8(frame.at(index + 1))); };
    for (const DriverCommand &command : commands) {
        if (command.address == wordAt(2) && command.value == wordAt(valueAt))
            return &command;
    }
    return nullptr;
}

// A refused write was not applied; any other that left may have been.
void UnsavedWrites::onCompleted(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (!request.isWrite() || !outcome.frameSent || outcome.refusedUndone())
        return;
    const DriverCommand *command = commandOf(request);
    if (command && command->save && outcome.answered()) {
        saveEchoedBy = request.slave();
        writtenSinceSaveEcho = false;
        return;
    }
    noteWrite(request);
}

void UnsavedWrites::noteHandSent(const QByteArray &frame)
{
    PendingCommand request;
    request.frame = frame;
    if (request.isWrite())
        noteWrite(request);
}

// A broadcast is left out: no driver answers it, so no save to it could
// ever be confirmed.
void UnsavedWrites::setTestMoveRows(const DriverProfile &profile)
{
    testMoveRows.clear();
    for (RowRole role : {RowRole::Jog, RowRole::Target}) {
        if (profile.motionAddress(role) >= 0)
            testMoveRows.insert(quint16(profile.motionAddress(role)));
    }
    for (const DriverCommand *command : {&profile.moveCommand, &profile.stopCommand}) {
        if (!command->name.isEmpty())
            testMoveRows.insert(command->address);
    }
}

void UnsavedWrites::noteWrite(const PendingCommand &request)
{
    const DriverCommand *command = commandOf(request);
    const QByteArray &frame = request.frame;
    const bool testMove = frame.size() > 3 && testMoveRows.contains(quint16(quint8(frame.at(2)) << 8 | quint8(frame.at(3))));
    if ((command && !command->danger) || testMove || request.slave() == 0)
        return;
    unsaved.insert(request.slave());
    writtenSinceSaveEcho |= request.slave() == saveEchoedBy;
}

void UnsavedWrites::commandFinished(const DriverCommand &command, CommandResult result)
{
    if (!command.save)
        return;
    if (result == CommandResult::Confirmed && saveEchoedBy >= 0 && !writtenSinceSaveEcho)
        unsaved.remove(quint8(saveEchoedBy));
    saveEchoedBy = -1;
}

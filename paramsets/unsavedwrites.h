#ifndef UNSAVEDWRITES_H
#define UNSAVEDWRITES_H

#include <QList>
#include <QObject>

#include "paramsets/commandrun.h"
#include "registermap/driverroles.h"

class RequestScheduler;
struct PendingCommand;
struct RequestOutcome;

// Whether the driver holds values written over the line that no confirmed
// save command has put into its non-volatile memory since: they would be
// lost when it is switched off. Any write the driver may have taken
// counts, whoever sent it through the scheduler (table edits, a restore),
// but commands that change no setting (an alarm reset, the save itself) do
// not; one that does (a factory reset) does. Widget-free.
class UnsavedWrites : public QObject
{
    Q_OBJECT

public:
    explicit UnsavedWrites(RequestScheduler *scheduler, QObject *parent = nullptr);

    // The map's commands, to tell their writes from the settings'.
    void setCommands(const QList<DriverCommand> &commands);
    bool any() const { return unsaved; }
    // The line closed: the next one may lead to another driver.
    void forget();
    // A frame sent by hand, outside the scheduler: a write in it may have
    // been applied.
    void noteHandSent(const QByteArray &frame);

public slots:
    void commandFinished(const DriverCommand &command, CommandResult result);

private:
    void onCompleted(const PendingCommand &request, const RequestOutcome &outcome);
    void noteWrite(const PendingCommand &request);
    const DriverCommand *commandOf(const PendingCommand &request) const;

    QList<DriverCommand> commands;
    bool unsaved = false;
    // The save command has been echoed but is not confirmed yet, and
    // whether a write has come after that echo, which the save left out.
    bool saveEchoed = false;
    bool writtenSinceSaveEcho = false;
};

#endif // UNSAVEDWRITES_H

#ifndef UNSAVEDWRITES_H
#define UNSAVEDWRITES_H

#include <QList>
#include <QObject>
#include <QSet>

#include "paramsets/commandrun.h"
#include "registermap/driverroles.h"

class RequestScheduler;
struct PendingCommand;
struct RequestOutcome;

// Which drivers of the line hold values written to them that no confirmed
// save command has put into their non-volatile memory since: they would be
// lost when switched off. Any write a driver may have taken counts, whoever
// sent it (table edits, a restore, the send box), but commands that change
// no setting (an alarm reset, the save itself) do not; one that does (a
// factory reset) does. Widget-free.
class UnsavedWrites : public QObject
{
    Q_OBJECT

public:
    explicit UnsavedWrites(RequestScheduler *scheduler, QObject *parent = nullptr);

    // The map's commands, to tell their writes from the settings'; and its
    // test-move rows (jog speed, target, the move and stop commands), whose
    // writes change no setting either.
    void setCommands(const QList<DriverCommand> &commands);
    void setTestMoveRows(const DriverProfile &profile);
    bool any() const { return !unsaved.isEmpty(); }
    // Slave addresses, in order.
    QList<quint8> drivers() const;
    // The line closed: the next one may lead to other drivers.
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
    QSet<quint16> testMoveRows;
    QSet<quint8> unsaved;
    // The driver whose save command has been echoed but is not confirmed
    // yet (-1: none), and whether it has been written since that echo,
    // which the save left out.
    int saveEchoedBy = -1;
    bool writtenSinceSaveEcho = false;
};

#endif // UNSAVEDWRITES_H

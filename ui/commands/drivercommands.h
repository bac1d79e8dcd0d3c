#ifndef DRIVERCOMMANDS_H
#define DRIVERCOMMANDS_H

#include <QObject>

#include "paramsets/commandrun.h"
#include "registermap/driverroles.h"

class CommandPanel;
class RegisterStore;
class RequestScheduler;
class TrafficLogView;
class UnsavedWrites;
class QWidget;

// What the window's commands touch.
struct DriverCommandsParts
{
    QWidget *window;
    RequestScheduler *scheduler;
    RegisterStore *store;
    TrafficLogView *log;
};

// The map's commands in the window: the panel's buttons, the question that
// shows the frame before anything is sent, the send, and its outcome in the
// log and a notice. Commands go only over an open line that no run or scan
// holds, one at a time. Keeps track of the writes the driver has not saved.
class DriverCommands : public QObject
{
    Q_OBJECT

public:
    explicit DriverCommands(const DriverCommandsParts &parts);

    CommandPanel *panel() const { return commandPanel; }
    const UnsavedWrites &unsavedWrites() const { return *unsaved; }
    // The map's save command; null when it names none.
    const DriverCommand *saveCommand() const { return profile.saveCommand(); }
    bool isPortOpen() const { return portOpen; }
    bool canSend() const;
    // Without asking: the user has said yes elsewhere. To the driver at
    // `slave` (0: the window's). False, with a notice, when the line cannot
    // take it now.
    bool send(const DriverCommand &command, quint8 slave = 0, WriteOrigin origin = WriteOrigin::Command,
              const WriteConsent &consent = {});

public slots:
    // The port opened or closed.
    void setPortOpen(bool open);
    // A scan has taken the line; it is back once the port state is given
    // again.
    void setLineTaken();
    // A backup, compare or restore holds the line.
    void setRunBusy(bool busy);
    // Bytes the send box put on the line.
    void noteHandSent(const QByteArray &bytes);

signals:
    void notice(const QString &text);
    void finished(const DriverCommand &command, CommandResult result, const QString &reason);

private:
    void useMap();
    void ask(const DriverCommand &command);
    void showOutcome(const DriverCommand &command, CommandResult result, const QString &reason);
    void showLineState();

    DriverCommandsParts parts;
    CommandPanel *commandPanel;
    CommandRun *run;
    UnsavedWrites *unsaved;
    DriverProfile profile;
    bool portOpen = false;
    bool lineTaken = false;
    bool runBusy = false;
};

#endif // DRIVERCOMMANDS_H

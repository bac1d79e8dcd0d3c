#ifndef COMMANDRUN_H
#define COMMANDRUN_H

#include <QByteArray>
#include <QObject>
#include <QString>

#include "protocol/pendingcommand.h"
#include "protocol/requestoutcome.h"
#include "paramsets/writegate.h"
#include "registermap/driverroles.h"

class RequestScheduler;

// What became of one command sent to the driver.
enum class CommandResult {
    Confirmed,  // echoed, and no reply came that no request asked for
    Refused,    // the driver answered with an exception that says it did nothing
    NoAnswer,   // no reply, or none that fitted: it may have been applied
    // A reply came that no request asked for: the echo may have been
    // another request's, so it may or may not have been applied.
    Doubtful,
    NotSent,    // the port was closed, or closed before the frame left
};

// Sends one command of the map (a write of its value to its register)
// through the line's scheduler, ahead of queued reads, and reports what
// became of it. A command register cannot be read back: its echo is all
// there is, and it counts only once the time a late reply could still come
// has passed without one. One command at a time. Widget-free: the window
// and the command line use it alike.
class CommandRun : public QObject
{
    Q_OBJECT

public:
    explicit CommandRun(RequestScheduler *scheduler, QObject *parent = nullptr);

    // Function 6, or 16 when the map's writeFunction is 16.
    static QByteArray frame(const DriverCommand &command, quint8 slave, int writeFunction);
    // The map whose write gate judges each command before it is queued.
    void setMap(const QList<RegisterInfo> &registers) { gate.setMap(registers); }
    // To the driver at `slave` (0: the scheduler's); finished() follows, at
    // once when the port is closed or the gate does not allow it (NotSent,
    // with the gate's reason). Refused (false) while another command is
    // under way.
    bool send(const DriverCommand &command, int writeFunction, quint8 slave = 0,
              WriteOrigin origin = WriteOrigin::Command, const WriteConsent &consent = {});
    bool isRunning() const { return running; }

signals:
    // `reason` says why it was not confirmed: "no answer", the exception,
    // or from which address a reply came that no request asked for.
    void finished(const DriverCommand &command, CommandResult result, const QString &reason);

private:
    void onCompleted(const PendingCommand &request, const RequestOutcome &outcome);
    void finish(CommandResult result, const QString &reason);

    RequestScheduler *scheduler;
    WriteGate gate;
    DriverCommand current;
    bool running = false;
    bool doubtful = false;
    int firstUnaskedFrom = -1;
    // The scheduler's doubt count when the command was sent: any growth
    // until its whole reply wait has passed makes it Doubtful.
    quint64 doubtsAtSend = 0;
};

// "1", or "23205 (0x5AA5)" for the magic numbers that commands often are.
QString commandValueText(quint16 value);

// "confirmed", "refused: Modbus exception 02: illegal data address", ...:
// the outcome in the command line's and the log's words.
QString commandResultText(CommandResult result, const QString &reason);

#endif // COMMANDRUN_H

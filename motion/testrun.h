#ifndef TESTRUN_H
#define TESTRUN_H

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include "paramsets/writegate.h"
#include "protocol/pendingcommand.h"
#include "protocol/requestoutcome.h"
#include "registermap/driverroles.h"
#include "registermap/registerinfo.h"

class RequestScheduler;

// Test moves of the driver's motor, as the map's motion roles describe
// them: a jog at a signed speed, a move to a target (absolute, relative, or
// back and forth with a dwell), and the stop. Every frame passes the write
// gate as a test move; the stop goes to the head of the line's queue and is
// never held back, and it is the session's last words while anything moves,
// so closing the line sends it too.
//
// The tool's half of the dead-man: while jogging the jog value is written
// again well within the driver's comm timeout, and while moving the
// position is read as often, so that the driver stops by itself once the
// tool falls silent. Before each start the comm timeout is read; a driver
// that would not stop by itself (0, off) or only late (over 2 s) is refused
// unless the technician has accepted it. Widget-free.
class TestRun : public QObject
{
    Q_OBJECT

public:
    enum class State { Idle, Checking, Jogging, Moving, Dwelling };
    static constexpr int kLongestCommTimeoutMs = 2000;

    explicit TestRun(RequestScheduler *scheduler, QObject *parent = nullptr);

    // Another map, or the same one reloaded: anything moving is stopped.
    void setMap(const QList<RegisterInfo> &rows, int writeFunction);
    const DriverProfile &profile() const { return driver; }
    // Why the map allows no jog, or no move; empty when it does.
    QString jogUnavailable() const;
    QString moveUnavailable() const;
    // The technician accepts a comm timeout that is off or over 2 s.
    void acceptCommTimeout(bool accepted) { commTimeoutAccepted = accepted; }

    // Raw values in the jog and target rows' types.
    void jog(qint64 speed);
    void moveTo(qint64 target);
    void moveBy(qint64 distance);
    // Out by `distance` and back, `times` times, `dwellMs` at each end.
    void moveBackAndForth(qint64 distance, int times, int dwellMs);
    // Sends the stop when anything was started since the last one, or
    // always when `always` (the Stop button: the technician asked for it).
    void stop(const QString &reason, bool always = false);

    State state() const { return current; }
    bool isActive() const { return current != State::Idle; }
    // How often the jog is written again, or the position read, while
    // moving: a quarter of the comm timeout, from 20 ms to 500 ms.
    int keepAliveMs() const;

signals:
    // The driver has echoed the frame that starts a test move (the jog's
    // first write, the move command): the trigger for a capture, at the
    // moment that frame went onto the line (the scheduler's clock).
    void moveStarted(double sentAtMs);
    void stateChanged(TestRun::State state);
    // The stop was queued, or the session ended while moving.
    void stopped(const QString &reason);
    // A start was refused, or a frame of the run failed and the run stopped.
    void refused(const QString &reason);
    // The comm timeout row reads `valueText` (0: off, or over 2 s), or the
    // map names no such row (empty name): refused until accepted.
    void commTimeoutRefused(const QString &rowName, const QString &valueText);

private:
    enum Tag { CommTimeoutRead, PositionRead, JogWrite, TargetWrite, MoveCommand, KeepAliveRead };
    enum class Plan { Jog, Absolute, Relative, BackAndForth };

    void begin(Plan plan, qint64 value, int times = 0, int dwell = 0);
    void afterCheck();
    bool commTimeoutAcceptable();
    void startLeg();
    void keepAlive();
    void onCompleted(const PendingCommand &request, const RequestOutcome &outcome);
    void onAnswered(const PendingCommand &request, const RequestOutcome &outcome);
    void takePosition(qint64 position);
    bool queueWrite(int tag, const RegisterInfo &row, qint64 raw);
    bool queueCommand(int tag, const DriverCommand &command);
    bool queueRead(int tag, int address);
    QList<QByteArray> stopFrames() const;
    void fail(const QString &reason);
    void setState(State state);
    const RegisterInfo *row(RowRole role) const;

    RequestScheduler *scheduler;
    QObject stopOwner;
    WriteGate gate;
    QList<RegisterInfo> rows;
    DriverProfile driver;
    int writeFunction = 6;
    quint8 slave = 1;
    bool commTimeoutAccepted = false;
    State current = State::Idle;
    Plan plan = Plan::Jog;
    qint64 planValue = 0;
    int commTimeoutMs = 0;
    bool commTimeoutRead = false;
    // Back and forth: the ends, the legs left, the dwell.
    QList<qint64> legs;
    int dwellMs = 0;
    qint64 legTarget = 0;
    qint64 lastPosition = 0;
    int positionsAtTarget = 0;
    // A jog write or position read of the keep-alive is under way.
    bool keepAliveQueued = false;
    bool jogStarted = false;
    QTimer keepAliveTimer;
    // Since the last keep-alive turn: a longer gap than the comm timeout
    // means the driver has stopped by itself.
    QElapsedTimer sinceKeepAlive;
    QTimer dwellTimer;
};

#endif // TESTRUN_H

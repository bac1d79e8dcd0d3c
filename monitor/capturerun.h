#ifndef CAPTURERUN_H
#define CAPTURERUN_H

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include "monitor/capture.h"
#include "monitor/capturetrigger.h"
#include "protocol/pendingcommand.h"
#include "registermap/driverroles.h"
#include "registermap/refreshplan.h"
#include "registermap/registerinfo.h"

class RequestScheduler;
struct RequestOutcome;

struct CaptureSettings
{
    // Row names as the map spells them (see CaptureRun::findRow()).
    QStringList rows;
    CaptureTrigger trigger;
    double preMs = 0;
    double lengthMs = 1000;
    // How long to wait for the trigger once armed; 0: until stop().
    double waitMs = 0;
};

// A triggered capture of map rows, read through the scheduler as fast as
// the line allows: rows at consecutive addresses in one block read, one
// request queued at a time, ahead of polling reads but behind any write.
// Each sample is timed by when its read went onto the line. Before it
// samples, the run reads the identity rows, so that its capture names the
// driver. Once the trigger has come and the length has passed, finished()
// brings the capture, time 0 at the trigger, from preMs before it.
class CaptureRun : public QObject
{
    Q_OBJECT

public:
    enum class Failure { TriggerNeverCame, LineClosed, NoAnswer, UnaskedReply };

    explicit CaptureRun(RequestScheduler *scheduler, QObject *parent = nullptr);

    void setMap(const QList<RegisterInfo> &rows, const QString &mapFile);
    // The readable row of that name, matched whole and without regard to
    // case, else the one row whose name contains it; -1 with the reason.
    static int findRow(const QList<RegisterInfo> &rows, const QString &name, QString *why);

    // Starts a capture; false, with error(), when a row or the trigger's
    // row is not in the map or the window is not a number of ms.
    bool arm(const CaptureSettings &settings);
    QString error() const { return problem; }
    bool isRunning() const { return phase != Phase::Idle; }
    bool isLineOpen() const;
    bool isTriggered() const { return phase == Phase::Triggered; }

public slots:
    // A test move starts now: whatever starts one calls it. A capture armed
    // for a move's start triggers on the first call; any other ignores it.
    void triggerNow();
    // The same at a time of the scheduler's clock, such as the moment the
    // move's frame went onto the line (RequestOutcome::sentAtMs).
    void triggerAt(double clockMs);
    // Ends the capture without a result.
    void stop();

signals:
    void sampling();
    void triggered();
    void finished(const Capture &capture);
    void failed(CaptureRun::Failure failure, const QString &reason);

private:
    enum class Phase { Idle, Identity, Armed, Triggered };

    bool chooseRows(const CaptureSettings &settings, QList<int> *chosen);
    void startSampling();
    void sendNext();
    void onCompleted(const PendingCommand &request, const RequestOutcome &outcome);
    void onIdentity(const PendingCommand &request, const RequestOutcome &outcome);
    void onSample(const PendingCommand &request, const RequestOutcome &outcome);
    void takeValues(const PendingCommand &request, const QList<quint16> &words, double atMs);
    void checkTrigger(double atMs, double value);
    void startWindowAt(double clockMs);
    void forgetBefore(double ms);
    void finish();
    void fail(Failure failure, const QString &reason);

    RequestScheduler *scheduler;
    QList<RegisterInfo> registers;
    QString mapFile;
    CaptureSettings settings;
    Phase phase = Phase::Idle;
    QString problem;
    RefreshPlan plan;
    QList<int> rows;
    QList<PendingCommand> identityReads;
    QList<PendingCommand> sampleReads;
    int nextRead = 0;
    DriverIdentity identity;
    Capture capture;
    int triggerCurve = -1;
    bool haveBefore = false;
    double before = 0;
    double triggerMs = 0;
    double latestMs = 0;
    int missesInRow = 0;
    // Reads of ours queued or in flight; a read in flight when the run
    // stopped still has its outcome to come, which no later run may take.
    int unfinished = 0;
    int stale = 0;
    QTimer waitTimer;
};

#endif // CAPTURERUN_H

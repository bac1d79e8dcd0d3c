#ifndef BUSPARAMETERRUN_H
#define BUSPARAMETERRUN_H

#include <QList>
#include <QObject>
#include <QStringList>

#include "paramsets/parametercompare.h"
#include "paramsets/parameterfile.h"
#include "paramsets/parameterrun.h"

class RequestScheduler;
class RestorePlan;

// What became of one driver of a run over several.
struct BusDriverResult
{
    enum class End {
        Done,        // saved whole, or every differing row written and confirmed
        Partial,     // saved, or written, but with rows unread or writes unconfirmed
        Failed,      // a write refused, values out of range, a file not saved
        OtherModel,  // the file is for another model or firmware: nothing written
        NoAnswer,
        Absent,      // its first request unanswered twice: nothing more asked
        Doubtful,    // a reply came that no request asked for
        Cancelled,
        LineLost,
        NotBegun,
    };

    int address = 0;
    bool restore = false;
    End end = End::NotBegun;
    // The backup's file, or the undo file saved before the first write.
    QString path;
    int saved = 0;
    int writes = 0;
    int confirmed = 0;
    // "0x0011 Hold current (why)"
    QStringList unread;
    QStringList failed;
    QStringList unconfirmed;
    QStringList notSent;
    QStringList outOfRange;
    // How the driver's identity differs from the file's.
    QStringList identity;
    // Why a file could not be saved.
    QString error;
    bool stoppedAnswering = false;
};

// Backs up, or restores one file to, several drivers of the line in turn,
// through the line's scheduler: each driver is read with requests carrying
// its own address, and the scheduler's address (the window's driver) is
// left as it was. Each driver's restore is the command line's plan without
// options (RestorePlan): another model, or a file that names none, is
// skipped; the differing settings are written, never write-only ones; a
// value that waits for a confirmation (out of range, a danger value) writes
// nothing to that driver; each driver's undo file is saved first. A driver
// that fails stops nothing else, and one absent costs two reply waits; a cancel or a closed line leaves the
// drivers not yet begun as they were. Widget-free.
class BusParameterRun : public QObject
{
    Q_OBJECT

public:
    explicit BusParameterRun(RequestScheduler *scheduler, QObject *parent = nullptr);

    // One file per driver in `folder`, named by driverFileName().
    void backup(const DriverContext &context, const QList<int> &addresses, const QString &folder);
    // `file` must have no problems, nor restoreProblems() with the map.
    void restore(const DriverContext &context, const QList<int> &addresses, const ParameterFile &file);
    // Stops after the request in flight.
    void cancel();
    bool isRunning() const { return running; }

signals:
    // `index` counts from 0.
    void driverStarted(int index, int count, int address);
    void rowProgress(int done, int total, bool writing);
    void driverFinished(const BusDriverResult &result);
    void finished(const QList<BusDriverResult> &results);

private:
    void start(const DriverContext &context, const QList<int> &addresses);
    void startNext();
    void onRead(const RowValues &values, RunEnd end);
    void saveBackup(const RowValues &values);
    void restoreDriver(const RowValues &values);
    void noteUnread(const RestorePlan &plan);
    void onWriteOutcome(const ParameterEntry &write, WriteResult result, const QString &reason);
    void onWritesFinished(RunEnd end);
    void finishDriver(BusDriverResult::End end);

    RequestScheduler *scheduler;
    ParameterRun *run;
    bool restoring = false;
    bool running = false;
    bool stopRest = false;
    // The scheduler's doubt count when the run began: after a reply that fit
    // no request, no further driver is written.
    quint64 doubtsAtStart = 0;
    DriverContext context;
    QString folder;
    ParameterFile file;
    QList<int> waiting;
    int count = 0;
    BusDriverResult current;
    QList<BusDriverResult> results;
    QList<ParameterEntry> writes;
};

#endif // BUSPARAMETERRUN_H

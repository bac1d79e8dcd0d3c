#ifndef PARAMETERRUN_H
#define PARAMETERRUN_H

#include <QHash>
#include <QList>
#include <QObject>

#include "paramsets/parameterfile.h"
#include "paramsets/writegate.h"
#include "registermap/refreshplan.h"
#include "registermap/registerinfo.h"
#include "protocol/pendingcommand.h"
#include "protocol/requestoutcome.h"
#include "protocol/runmark.h"

class RequestScheduler;

// The driver a run talks to, as a parameter set needs to know it.
struct DriverContext
{
    QList<RegisterInfo> registers;
    QString port;
    quint32 slaveAddress = 1;
    QString mapPath;
    int blockRead = 1;
    int writeFunction = 6;
};

// What became of one write of a run.
enum class WriteResult {
    Confirmed,    // echoed, and read back with the value
    Unconfirmed,  // sent, but not confirmed: it may have been applied
    Failed,       // refused by the driver, or read back with another value
    NotSent,
};

// Why a run ended.
enum class RunEnd {
    Completed,
    Cancelled,     // by its user
    Stopped,       // the line's session ended: port closed, device gone, a scan
    DriverSilent,  // three requests in a row went unanswered
    // A read's first request went unanswered twice, and nothing else was
    // asked: no driver at that address, or not at these line settings.
    DriverAbsent,
    // A reply came that no request asked for, during the run or in the time
    // after it that a late reply could still come: any reply of the run may
    // have been another request's. A read keeps no value; a write's
    // confirmations cannot be trusted.
    UnaskedReply,
};

// Reads a driver's map rows, and writes values to them, through the line's
// scheduler, each row in its type: a 32-bit row is read with one request of
// two registers and written with one function-16 request, never as two
// halves. A write counts as confirmed only when its echo and a read back of
// the row both show the value. A run ends only once each of its requests
// has had its outcome, so nothing of one run reaches the next. Widget-free:
// the window and the command line drive it alike.
class ParameterRun : public QObject
{
    Q_OBJECT

public:
    explicit ParameterRun(RequestScheduler *scheduler, QObject *parent = nullptr);

    // The map the next runs read and write: its rows' types, its blockRead
    // and its writeFunction (16 when the driver has no function 6).
    void setMap(const QList<RegisterInfo> &registers, int blockRead, int writeFunction);
    // Every row of the map but the write-only ones; readFinished once each
    // has its outcome. With
    // blockRead, consecutive rows share a request; a block the driver
    // refuses is read row by row. The rest wait for an answer to the first
    // request, asked twice at most: a driver silent to both is absent, and
    // no more of its reply waits are spent.
    void readMap();
    // One write at a time, each confirmed before the next is sent; an
    // address given twice is written once. A value is the raw integer in
    // its map row's type. Each write is put to the write gate first with
    // where it comes from and what the user confirmed: one it does not
    // allow is reported NotSent with the gate's reason, and never queued.
    void writeValues(const QList<ParameterEntry> &writes, WriteOrigin origin, const WriteConsent &consent = {});
    // Queued reads are dropped at once; a write stops after the request in
    // flight, without its read back.
    void cancel();
    bool isRunning() const { return phase != Phase::Idle; }
    // At line speed (the default) requests leave as soon as the line allows;
    // otherwise on the scheduler's ticks of txTime.
    void setLineSpeed(bool atLineSpeed) { lineSpeed = atLineSpeed; }
    // What the rows of the last read that brought no value got instead, by
    // row address.
    const QHash<quint16, RequestOutcome> &readFailures() const { return failures; }
    // The slave address of the first reply of the last run that no request
    // asked for; -1 when none came.
    int unaskedFrom() const { return doubtful ? firstUnaskedFrom : -1; }
    // Its driver answered a request of the last read, but after the request's
    // wait (Modbus TCP tells whose a late reply is): slow, not absent.
    bool answeredLate() const { return lateFromSlave > 0; }

signals:
    void readProgress(int done, int total);
    // Raw values in each row's type, by row address.
    void readFinished(const QHash<quint16, qint64> &values, RunEnd end);
    void writeOutcome(const ParameterEntry &write, WriteResult result, const QString &reason);
    void writeProgress(int done, int total);
    void writeFinished(RunEnd end);

private:
    enum class Phase { Idle, Reading, Writing };
    enum Step { WriteStep = 0, ReadBackStep = 1 };
    // The one-register read that vouches for a block read's first answer.
    static constexpr int VouchTag = -2;

    void onCompleted(const PendingCommand &request, const RequestOutcome &outcome);
    void sendReads(const QList<int> &rows);
    void onReadOutcome(const PendingCommand &request, const RequestOutcome &outcome);
    bool probe(const PendingCommand &request, const RequestOutcome &outcome);
    bool askAgain(const PendingCommand &request, const RequestOutcome &outcome);
    void vouchForFirstBlock();
    const RegisterInfo &writeRow() const { return writeRows.at(writeIndex); }
    void onWriteOutcome(const PendingCommand &request, const RequestOutcome &outcome);
    void onReadBackOutcome(const RequestOutcome &outcome);
    void noteSilence(const RequestOutcome &outcome);
    void finishReading();
    void listenForLateReplies(void (ParameterRun::*end)());
    void endReading();
    // Ahead of every queued request, or after them.
    void send(PendingCommand request, bool ahead = false);
    void sendWrite();
    bool admit(const ParameterEntry &write, WriteOrigin origin, const WriteConsent &consent);
    void finishWrite(WriteResult result, const QString &reason);
    void finishWriting();
    void endWriting();

    RequestScheduler *scheduler;
    Phase phase = Phase::Idle;
    // Taken when a run starts: a run talks to one driver from start to end,
    // whatever the address field says meanwhile.
    quint8 slave = 1;
    // Writes after a read go to the driver that was read, whatever the
    // window's address says by then.
    bool slaveRead = false;
    int outstanding = 0;
    RunEnd ending = RunEnd::Completed;
    int silentInRow = 0;
    QList<RegisterInfo> rows;  // each address of the map once
    WriteGate gate;
    RefreshPlan plan;
    int writeFunction = 6;
    QHash<quint16, qint64> readValues;
    QHash<quint16, RequestOutcome> failures;
    bool doubtful = false;
    int firstUnaskedFrom = -1;
    int lateFromSlave = 0;
    // The scheduler's doubt count when writeValues() began: a reply that fit
    // no request since then holds every later write of the run.
    qint64 writeDoubtMark = -1;
    qint64 readDoubtMark = -1;
    // Where the line stood when this run began: whether it listens long.
    RunMark runStart;
    // The requests are done; a late reply may still come.
    bool listening = false;
    bool anyConfirmed = false;
    // The read's requests after its first, sent once the driver answers.
    QList<PendingCommand> heldReads;
    bool probing = false;
    bool probeRepeated = false;
    // A read asks the first request answered twice; the first answer's values.
    enum class FirstAsk { Pending, AskedAgain, Done };
    FirstAsk firstAsk = FirstAsk::Done;
    QList<quint16> firstAnswer;
    bool answersDiffer = false;
    int readsDone = 0;
    int readTotal = 0;
    QList<ParameterEntry> writes;
    QList<RegisterInfo> writeRows;  // each write's row, holding its words
    // The gate's refusals, reported when the writes start.
    QList<QPair<ParameterEntry, QString>> refusedWrites;
    int writeIndex = 0;
    bool lineSpeed = true;
};

#endif // PARAMETERRUN_H

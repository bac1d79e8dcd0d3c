#ifndef REQUESTSCHEDULER_H
#define REQUESTSCHEDULER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <functional>

#include "protocol/linestatistics.h"
#include "protocol/pendingcommand.h"
#include "protocol/runmark.h"
#include "protocol/requestoutcome.h"
#include "serial/mbapframe.h"

class Serial;

// The one owner of the line's traffic. Requests leave one at a time, a tick
// (txTime) apart, or, for batch work, as soon as the previous one has its
// outcome and the line has been silent for the inter-frame gap; writes may
// jump the queue. Every request gets exactly
// one outcome, delivered through completed() to whoever listens; each client
// picks out its own requests by owner.
//
// The reply wait starts when the request has left the wire and allows for
// the reply's own wire time. A block that arrives while nothing is awaited
// is a stray: logged, counted, stored nowhere. After a timeout or a garbled
// reply the line must fall quiet before the next request leaves, so that a
// late reply cannot be taken for the answer to the next one. On Modbus TCP
// the transaction id decides instead: a reply to an earlier transaction is
// late, logged and counted, and the wait for the awaited one goes on.
//
// Opening the port starts a session and closing it ends it: every request,
// queued or awaited, is then cancelled, and nothing queued before a session
// starts is ever sent in it. Widget-free.
class RequestScheduler : public QObject
{
    Q_OBJECT

public:
    explicit RequestScheduler(Serial *serial, QObject *parent = nullptr);

    void setTiming(int txTimeMs, quint32 rxOutTimeMs);
    // The silence between frames for line-speed requests: the Modbus RTU gap
    // at the port's baud rate unless a gap is given (negative: none given).
    // A gap below 3.5 characters breaks RTU framing; it is for drivers known
    // to take requests back to back.
    void setGap(double ms) { givenGapMs = ms; }
    double interFrameGapMs() const;
    // Milliseconds, to a fraction, from any fixed point; a monotonic clock
    // unless a test brings its own.
    void setClock(std::function<double()> clock) { now = std::move(clock); }
    double clockMs() const { return now(); }
    int txTime() const { return txTimeMs; }
    quint32 rxOutTime() const { return rxOutTimeMs; }

    // The driver the line's requests are for: the window's address field or
    // the command line's --address. Batch runs take it once when they start.
    void setSlaveAddress(quint8 address) { slave = address; }
    quint8 slaveAddress() const { return slave; }

    void start();
    void stop();
    bool isRunning() const { return running; }
    // Counts sessions; a new number each start().
    quint64 session() const { return sessionNumber; }

    void enqueue(const PendingCommand &command);
    // Ahead of everything queued but a stop.
    void enqueueFirst(const PendingCommand &command);
    // A sampling read: it leaves after every write and every line-speed
    // request already queued (a test move's, a batch run's) and ahead of the
    // polling reads, so a sampler takes the line from polling without ever
    // holding back a write (a stop) or starving a test move it waits for.
    void enqueueSample(const PendingCommand &command);
    // At the head of the queue, after any stop queued before it, marked as
    // a stop (see PendingCommand::stop).
    void enqueueStop(PendingCommand command);
    // A frame that must reach the line before the session ends (the stop of
    // a motor that moves): stop() writes it out first, and so does
    // sendLastWords(), for a program about to quit. Empty: none.
    void setLastWords(const QByteArray &frame) { lastWords = frame; }
    void sendLastWords();
    // The owner's queued requests are cancelled; one already sent keeps its
    // wait, since it may still be answered.
    void cancel(const QObject *owner);
    bool isAwaiting() const { return waitElapsedMs != 0; }
    bool isBusy() const { return isAwaiting() || settling || !queue.isEmpty(); }

    // Counts the blocks that answered no request or did not fit the one
    // awaited: strays, unframed or foreign blocks, a reply that may answer
    // the request before, garbled replies; not a Modbus TCP reply to an
    // earlier transaction, which says whose it is. Never goes back, so that any
    // mark taken from it in a session compares. A write whose doubtMark the
    // count has passed when it is about to leave is not sent: it gets
    // Cancelled, not sent, heldForDoubt. Reads are never held.
    quint64 doubtCount() const { return doubts; }
    // Until releaseOthers() (or the session's end, or the owner's
    // destruction) only `owner`'s requests leave; the others stay queued,
    // in order, and leave after.
    void holdOthers(const QObject *owner);
    void releaseOthers();

    // A frame was sent by hand. With nothing awaited, the next block is its
    // reply, logged but no stray; with a request awaited, the next block may
    // answer either, so neither takes it.
    void noteHandSent();

    RunMark runMark() const { return {irregularities, answers}; }
    // How long from now a reply may still begin after the last outcome of a
    // run that began at `since`. A clean run (two answers or more, each in
    // turn, and no timeout, garbled or unasked block since) listens a
    // request's wire time, the gap and twice the longest turnaround seen.
    // Any other run listens a whole reply wait, and so does a single answer,
    // which nothing vouches for. On Modbus TCP the transaction id tells a
    // late reply apart: no listening at all.
    double lateReplyWindowMs(const RunMark &since) const;
    // The same for everything since the session began.
    double lateReplyWindowMs() const { return lateReplyWindowMs(sessionMark); }
    // Calls `then` once that window has passed after now and the line is
    // quiet; a block that comes meanwhile is an unaskedReply. At once when
    // the session has ended.
    void afterLateReplies(QObject *context, std::function<void()> then, const RunMark &since);
    void afterLateReplies(QObject *context, std::function<void()> then) { afterLateReplies(context, then, sessionMark); }
    // The same after a whole reply wait, however fast the driver has been:
    // for a single write that matters more than time (a command), so that a
    // second device answering late is heard too.
    void afterWholeReplyWait(QObject *context, std::function<void()> then);

    // "unit id" on Modbus TCP, "address" on the other lines.
    QString addressWord() const;

    const LineStatistics &statistics() const { return stats; }
    void resetStatistics();

public slots:
    void tick();
    void takeBlock(const QByteArray &wireBlock);

signals:
    void received(const QByteArray &block);
    void lineError(const QString &text);
    void completed(const PendingCommand &request, const RequestOutcome &outcome);
    // A tick found nothing queued, awaited or settling.
    void idle();
    void sessionEnded();
    void statisticsChanged();
    // A block came that no request awaited (a frame sent by hand aside), or
    // a whole reply from another slave than the awaited one's: a
    // reply owed from before the session, another master, a second device
    // at the address or an echoing line. Any of them may have answered one
    // request with another's reply.
    void unaskedReply(const QByteArray &block);
    // A Modbus TCP reply, the driver's own (no gateway's 0A or 0B), to a
    // request that has had its outcome: it answers nothing now, but its
    // unit id did answer, only later than its wait.
    void lateReply(const QByteArray &block);

private:
    int nextIndex() const;
    bool sendNext();
    void send(const PendingCommand &request);
    void noteDoubt()
    {
        ++doubts;
        ++irregularities;
    }
    void waitLonger();
    void timeOut();
    bool settled(bool ticked);
    bool headLeavesAtLineSpeed() const;
    bool skipsQuiet() const;
    int afterStops() const;
    void scheduleLineSpeed();
    void sendAtLineSpeed();
    void checkDeadline();
    double replyWaitMs(const PendingCommand &request) const;
    double replyDeadlineMs(const PendingCommand &request, bool receiving) const;
    void armPaceTimer(double waitMs);
    void finishAwaited(RequestOutcome outcome, const QString &logText);
    void noteStray(const QByteArray &block);
    void noteLate(const LineFrame &frame);
    void noteUnframed(const LineFrame &frame);
    bool mayAnswerTheOneBefore(const QByteArray &block);
    void ageSuspicion();
    void cancelAll(QList<PendingCommand> commands);
    void whenQuiet(QObject *context, std::function<void()> then);

    Serial *serial;
    QTimer tickTimer;
    QTimer paceTimer;
    QTimer deadlineTimer;
    double givenGapMs = -1;
    double lineActiveAtMs = -1000000;
    QList<PendingCommand> queue;
    PendingCommand awaited;
    // On Modbus TCP, the id its frame went out with.
    quint16 awaitedTransaction = 0;
    bool running = false;
    quint64 sessionNumber = 0;
    quint8 slave = 1;
    int txTimeMs = 100;
    quint32 rxOutTimeMs = 1000;
    // Counted by ticks so that a test can drive the wait tick by tick; the
    // clock takes over when ticks come late.
    quint32 waitElapsedMs = 0;
    QElapsedTimer monotonic;
    std::function<double()> now;
    double sentAtMs = 0;
    // The quiet the line needs after a timeout or a garbled reply.
    bool settling = false;
    quint32 quietNeededMs = 0;
    quint32 quietTicksMs = 0;
    double quietSinceMs = 0;
    // Nothing came through a request's wait and the quiet after it: a driver
    // that is simply absent, whose timeouts need no quiet until it sends.
    bool heardSinceSend = false;
    bool driverSilent = false;
    // Without that quiet, a late reply to the request that timed out may
    // still come for a reply timeout: a block that would answer it then is
    // taken by no request.
    bool suspectOpen = false;
    quint32 suspectTicksMs = 0;
    double suspectSinceMs = 0;
    PendingCommand timedOutBefore;
    double longestTurnaroundMs = -1;
    // The slaves that answered in this session, refusals too.
    QSet<quint8> answeredUnits;
    quint64 answers = 0;
    // Timeouts, garbled and unasked blocks: each may leave a reply owed.
    quint64 irregularities = 0;
    RunMark sessionMark;
    bool handReplyExpected = false;
    bool handFrameCrossed = false;
    bool interruptedInFlight = false;
    quint64 doubts = 0;
    QPointer<const QObject> othersHeldFor;
    QByteArray lastWords;
    LineStatistics stats;

    // Lets the tests set up a reply awaited by a given request.
    friend struct MainWindowInspector;
    friend struct SchedulerInspector;
};

#endif // REQUESTSCHEDULER_H

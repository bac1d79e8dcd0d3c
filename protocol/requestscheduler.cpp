#include "requestscheduler.h"

#include "protocol/modbusmaster.h"
#include "protocol/replyfit.h"
#include "serial/serial.h"
#include "serial/wiretime.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace {

constexpr quint8 gatewayTargetFailed = 0x0B;

int expectedReplyLength(const PendingCommand &command)
{
    return command.isWrite() ? 8 : 5 + 2 * command.count;
}

RequestOutcome outcomeOf(OutcomeKind kind, bool frameSent)
{
    RequestOutcome outcome;
    outcome.kind = kind;
    outcome.frameSent = frameSent;
    return outcome;
}

} // namespace

RequestScheduler::RequestScheduler(Serial *serial, QObject *parent)
    : QObject(parent)
    , serial(serial)
{
    monotonic.start();
    now = [this] { return double(monotonic.nsecsElapsed()) / 1e6; };
    tickTimer.setInterval(txTimeMs);
    // A coarse timer may fire a tick late by a good part of a short txTime.
    tickTimer.setTimerType(Qt::PreciseTimer);
    connect(&tickTimer, &QTimer::timeout, this, &RequestScheduler::tick);
    for (QTimer *timer : {&paceTimer, &deadlineTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&paceTimer, &QTimer::timeout, this, &RequestScheduler::sendAtLineSpeed);
    connect(&deadlineTimer, &QTimer::timeout, this, &RequestScheduler::checkDeadline);
}

double RequestScheduler::interFrameGapMs() const
{
    return givenGapMs >= 0 ? givenGapMs : serial->wireTime().interFrameGapMs();
}

void RequestScheduler::setTiming(int txTime, quint32 rxOutTime)
{
    // The tick must advance the reply timeout and must not spin a core.
    txTimeMs = qMax(txTime, 1);
    rxOutTimeMs = rxOutTime;
    tickTimer.setInterval(txTimeMs);
}

// Whatever was queued while no session ran belongs to none: it is cancelled,
// never sent to the device just opened.
void RequestScheduler::start()
{
    QList<PendingCommand> leftOver;
    leftOver.swap(queue);
    serial->discardInput();
    longestTurnaroundMs = -1;
    answeredUnits.clear();
    sessionMark = runMark();
    running = true;
    ++sessionNumber;
    // A reply to a request cut off by the end of the last session may
    // still come: the first request waits until the line is quiet.
    settling = interruptedInFlight;
    quietNeededMs = rxOutTimeMs;
    interruptedInFlight = false;
    quietTicksMs = 0;
    quietSinceMs = now();
    driverSilent = false;
    suspectOpen = false;
    handReplyExpected = false;
    othersHeldFor.clear();
    tickTimer.start();
    cancelAll(leftOver);
}

void RequestScheduler::sendLastWords()
{
    if (!running || lastWords.isEmpty())
        return;
    serial->sendData(lastWords);
    lastWords.clear();
    serial->waitUntilWritten(100);
}

void RequestScheduler::stop()
{
    sendLastWords();
    tickTimer.stop();
    paceTimer.stop();
    deadlineTimer.stop();
    const bool wasRunning = running;
    running = false;
    // A reply still due (to the request in flight, or late after a timeout)
    // must not reach the next session's first request.
    interruptedInFlight = isAwaiting() || settling;
    settling = false;
    handReplyExpected = false;
    othersHeldFor.clear();
    QList<PendingCommand> dropped;
    dropped.swap(queue);
    if (isAwaiting()) {
        const PendingCommand inFlight = awaited;
        waitElapsedMs = 0;
        RequestOutcome cancelled = outcomeOf(OutcomeKind::Cancelled, true);
        cancelled.sentAtMs = sentAtMs;
        emit completed(inFlight, cancelled);
    }
    cancelAll(dropped);
    if (wasRunning)
        emit sessionEnded();
}

void RequestScheduler::cancelAll(QList<PendingCommand> commands)
{
    for (const PendingCommand &command : commands)
        emit completed(command, outcomeOf(OutcomeKind::Cancelled, false));
}

void RequestScheduler::enqueue(const PendingCommand &command)
{
    queue.append(command);
    if (command.isWrite() && command.doubtMark < 0)
        queue.last().doubtMark = qint64(doubts);
    scheduleLineSpeed();
}

int RequestScheduler::afterStops() const
{
    int at = 0;
    while (at < queue.size() && queue.at(at).stop)
        ++at;
    return at;
}

// Never before a stop.
void RequestScheduler::enqueueFirst(const PendingCommand &command)
{
    const int at = afterStops();
    queue.insert(at, command);
    if (command.isWrite() && command.doubtMark < 0)
        queue[at].doubtMark = qint64(doubts);
    scheduleLineSpeed();
}

void RequestScheduler::enqueueStop(PendingCommand command)
{
    command.stop = true;
    command.lineSpeed = true;
    // After the stops already queued: they leave in the order given.
    queue.insert(afterStops(), command);
    scheduleLineSpeed();
}

void RequestScheduler::enqueueSample(const PendingCommand &command)
{
    int lastKept = -1;
    for (int i = 0; i < queue.size(); ++i) {
        if (queue.at(i).isWrite() || queue.at(i).lineSpeed)
            lastKept = i;
    }
    queue.insert(lastKept + 1, command);
    scheduleLineSpeed();
}

void RequestScheduler::holdOthers(const QObject *owner)
{
    othersHeldFor = owner;
}

void RequestScheduler::releaseOthers()
{
    if (othersHeldFor.isNull())
        return;
    othersHeldFor.clear();
    scheduleLineSpeed();
}

// The first queued request that may leave: the first of all, or while
// others are held, the first of the owner they are held for.
int RequestScheduler::nextIndex() const
{
    if (othersHeldFor.isNull() || (!queue.isEmpty() && queue.first().stop))
        return queue.isEmpty() ? -1 : 0;
    for (int i = 0; i < queue.size(); ++i) {
        if (queue.at(i).owner == othersHeldFor.data())
            return i;
    }
    return -1;
}

void RequestScheduler::cancel(const QObject *owner)
{
    QList<PendingCommand> withdrawn;
    for (auto it = queue.begin(); it != queue.end();) {
        if (it->owner == owner) {
            withdrawn.append(*it);
            it = queue.erase(it);
        } else {
            ++it;
        }
    }
    cancelAll(withdrawn);
}

void RequestScheduler::noteHandSent()
{
    if (isAwaiting())
        handFrameCrossed = true;
    else
        handReplyExpected = true;
}

QString RequestScheduler::addressWord() const
{
    return ::addressWord(serial->numbersTransactions());
}

void RequestScheduler::resetStatistics()
{
    stats = LineStatistics();
    emit statisticsChanged();
}

// One request in flight at a time: a tick either waits for the reply, waits
// for the line to fall quiet, sends the next queued frame, or finds nothing
// to do. An idle tick lets clients queue more, which then leaves at once
// instead of a tick later.
void RequestScheduler::tick()
{
    ageSuspicion();
    if (isAwaiting()) {
        waitLonger();
        return;
    }
    if (headLeavesAtLineSpeed()) {
        // Its pace timer may have lapsed while others were held.
        if (!paceTimer.isActive())
            scheduleLineSpeed();
        return;
    }
    if (settling && !settled(true))
        return;
    if (serial->isReceiving())
        return;
    if (nextIndex() >= 0) {
        sendNext();
        return;
    }
    // Only requests held for another owner: nothing is idle.
    if (!queue.isEmpty())
        return;
    emit idle();
    if (nextIndex() >= 0 && !isAwaiting() && !settling)
        sendNext();
}

// The request's own frame must leave before the driver can start its reply,
// and the reply takes its own time on the wire.
double RequestScheduler::replyWaitMs(const PendingCommand &request) const
{
    const WireTime wire = serial->wireTime();
    return rxOutTimeMs + wire.frameMs(request.frame.size()) + wire.frameMs(expectedReplyLength(request));
}

// A reply whose bytes are still arriving may be stretched by the pauses
// Modbus RTU allows between them, up to 1.5 characters each.
double RequestScheduler::replyDeadlineMs(const PendingCommand &request, bool receiving) const
{
    if (!receiving)
        return replyWaitMs(request);
    const WireTime wire = serial->wireTime();
    return replyWaitMs(request) + 1.5 * wire.characterMs() * expectedReplyLength(request) + wire.frameEndMs();
}

// A request that left between two ticks is judged by the clock alone.
void RequestScheduler::waitLonger()
{
    waitElapsedMs += quint32(txTimeMs);
    const double counted = awaited.lineSpeed ? 0 : double(waitElapsedMs);
    if (qMax<double>(counted, now() - sentAtMs) > replyDeadlineMs(awaited, serial->isReceiving()))
        timeOut();
}

void RequestScheduler::timeOut()
{
    deadlineTimer.stop();
    ++stats.timeouts;
    finishAwaited(outcomeOf(OutcomeKind::TimedOut, true), QStringLiteral("Data receiving timeout!"));
}

void RequestScheduler::checkDeadline()
{
    if (!isAwaiting())
        return;
    const double left = replyDeadlineMs(awaited, serial->isReceiving()) - (now() - sentAtMs);
    if (left < 0)
        timeOut();
    else
        deadlineTimer.start(int(std::ceil(left)) + 1);
}

// A repeat, whose late reply would answer it as well, and a stop, which
// must go whatever it costs, leave without the quiet after a timeout.
bool RequestScheduler::skipsQuiet() const
{
    const int next = nextIndex();
    return next >= 0 && (queue.at(next).repeat || queue.at(next).stop);
}

bool RequestScheduler::headLeavesAtLineSpeed() const
{
    const int next = nextIndex();
    return running && next >= 0 && queue.at(next).lineSpeed;
}

// The next line-speed request leaves once the gap after the line's last
// activity has passed, and any quiet owed after a timeout.
void RequestScheduler::scheduleLineSpeed()
{
    if (isAwaiting() || !headLeavesAtLineSpeed())
        return;
    // A stop sleeps out the gap itself: the event loop's turns and a
    // timer's granularity would add to it.
    if (queue.at(nextIndex()).stop)
        return sendAtLineSpeed();
    double wait = interFrameGapMs() - (now() - lineActiveAtMs);
    if (settling && !driverSilent && !skipsQuiet())
        wait = qMax(wait, double(quietNeededMs) - (now() - quietSinceMs));
    armPaceTimer(wait);
}

// Whole milliseconds by the timer, never past the moment; the last fraction
// by turns of the event loop, so that the gap is neither short nor long.
void RequestScheduler::armPaceTimer(double waitMs)
{
    paceTimer.start(waitMs >= 1 ? int(waitMs) : 0);
}

void RequestScheduler::sendAtLineSpeed()
{
    if (isAwaiting() || !headLeavesAtLineSpeed())
        return;
    // Bytes still arriving mean the line is not silent: they become a block
    // (and count as a stray) before the next request may leave.
    double gapLeft = interFrameGapMs() - (now() - lineActiveAtMs);
    if (gapLeft > 0 && !serial->isReceiving() && queue.at(nextIndex()).stop) {
        std::this_thread::sleep_for(std::chrono::microseconds(qint64(std::ceil(gapLeft * 1000))));
        gapLeft = 0;
    }
    if (gapLeft > 0 && !serial->isReceiving() && !settling)
        return armPaceTimer(gapLeft);
    if ((settling && !settled(false)) || gapLeft > 0 || serial->isReceiving()) {
        paceTimer.start(1);
        return;
    }
    if (sendNext())
        deadlineTimer.start(int(std::ceil(replyWaitMs(awaited))) + 1);
}

// The line is taken to be quiet once a reply timeout and a whole reply wait
// have passed without a byte: a reply later than twice its reply wait after
// its request would be taken for the next one's (libmodbus, waiting out one
// response timeout, is fooled by one later than twice that timeout). A driver that sent nothing at all through a whole wait and
// quiet is taken to be absent: until it sends again, its timeouts hold up
// nothing, so polling an absent driver stays as fast as before.
bool RequestScheduler::settled(bool ticked)
{
    if (ticked)
        quietTicksMs += quint32(txTimeMs);
    const quint32 needed = driverSilent || skipsQuiet() ? 0 : quietNeededMs;
    const double quiet = qMax<double>(quietTicksMs, now() - quietSinceMs);
    if (quiet < double(needed) || serial->isReceiving())
        return false;
    settling = false;
    driverSilent = !heardSinceSend;
    return true;
}

// Checked here, after any quiet the line needed, as the frame would leave:
// a write whose doubt mark the count has passed is held back, and the next
// request is considered. False when nothing left.
bool RequestScheduler::sendNext()
{
    for (int next; !isAwaiting() && (next = nextIndex()) >= 0;) {
        const PendingCommand head = queue.takeAt(next);
        if (!head.isWrite() || head.stop || head.doubtMark < 0 || doubts <= quint64(head.doubtMark)) {
            send(head);
            return true;
        }
        RequestOutcome outcome = outcomeOf(OutcomeKind::Cancelled, false);
        outcome.heldForDoubt = true;
        emit lineError(QStringLiteral("Write held back: a reply that fits no request came since the run began"));
        emit completed(head, outcome);
    }
    scheduleLineSpeed();
    return false;
}

void RequestScheduler::send(const PendingCommand &request)
{
    awaited = request;
    heardSinceSend = false;
    // A reply still owed to a frame sent by hand may come first.
    handFrameCrossed = handReplyExpected;
    handReplyExpected = false;
    serial->setReplyWait(int(std::ceil(replyWaitMs(awaited))));
    serial->sendData(awaited.frame);
    // A stop is on the wire when this returns, not when the event loop
    // comes round to it.
    if (awaited.stop)
        serial->waitUntilWritten(5);
    awaitedTransaction = serial->lastTransactionSent();
    if (awaited.frame.size() > 1)
        serial->expectReply(awaited.slave(), awaited.function(), expectedReplyLength(awaited));
    waitElapsedMs = 1;
    sentAtMs = now();
    ++stats.requests;
    emit statisticsChanged();
}

void RequestScheduler::takeBlock(const QByteArray &wireBlock)
{
    if (wireBlock.isEmpty())
        return;
    // A block that comes after its request's wait is late, even when a busy
    // event loop hands it over before the deadline's own check runs.
    if (isAwaiting() && now() - sentAtMs > replyDeadlineMs(awaited, true))
        timeOut();
    emit received(wireBlock);
    lineActiveAtMs = now();
    heardSinceSend = true;
    driverSilent = false;
    // A frame sent by hand with nothing awaited has the last transaction.
    const int open = isAwaiting() ? int(awaitedTransaction)
                                   : handReplyExpected ? int(serial->lastTransactionSent()) : -1;
    const LineFrame frame = serial->frameOf(wireBlock, open);
    if (frame.kind == LineFrame::Kind::Late) {
        noteLate(frame);
        return;
    }
    if (frame.kind != LineFrame::Kind::Whole) {
        noteUnframed(frame);
        return;
    }
    const QByteArray &block = frame.rtu;
    if (!isAwaiting()) {
        noteStray(block);
        return;
    }
    // Where transaction ids tell which request a reply answers, neither
    // guess below is needed.
    const bool numbered = serial->numbersTransactions();
    if (!numbered && mayAnswerTheOneBefore(block)) {
        noteDoubt();
        ++stats.unmatched;
        emit unaskedReply(block);
        finishAwaited(outcomeOf(OutcomeKind::Garbled, true),
                      QStringLiteral("Reply ignored: it may answer the request before, which timed out"));
        return;
    }
    if (handFrameCrossed && !numbered) {
        noteDoubt();
        ++stats.unmatched;
        finishAwaited(outcomeOf(OutcomeKind::Garbled, true),
                      QStringLiteral("Reply ignored: a frame sent by hand crossed the request"));
        return;
    }
    QString logText;
    const RequestOutcome outcome = judgeReply(awaited, block, &logText);
    if (outcome.answered() || outcome.kind == OutcomeKind::Refused)
        answeredUnits.insert(awaited.slave());
    // A CRC failure or a reply of another slave, function or length.
    if (outcome.kind == OutcomeKind::Garbled)
        noteDoubt();
    if (outcome.driverUnreached()) {
        // A gateway's word that the driver behind it did not answer.
        ++stats.timeouts;
    } else if (outcome.answered()) {
        ++stats.validReplies;
        const double roundTripMs = now() - sentAtMs;
        stats.lastRoundTripMs = qRound64(roundTripMs);
        const WireTime wire = serial->wireTime();
        const double onWireMs = wire.frameMs(awaited.frame.size()) + wire.frameMs(expectedReplyLength(awaited));
        longestTurnaroundMs = qMax(longestTurnaroundMs, qMax(0.0, roundTripMs - onWireMs));
        ++answers;
    } else if (!ModbusMaster::instance()->checkCrc(block)) {
        ++stats.crcErrors;
    } else if (outcome.kind == OutcomeKind::Garbled) {
        ++stats.unmatched;
        // Another slave's reply answers no request of ours: a late one of
        // a driver asked before, or another master's. Under the awaited
        // transaction id, a reply that does not fit shows that something
        // behind the connection, such as a gateway's serial line, hands
        // replies to the wrong requests: those that fitted may be shifted.
        if (quint8(block.at(0)) != awaited.slave() || numbered)
            emit unaskedReply(block);
    }
    finishAwaited(outcome, logText);
}

// Logged as received and counted; it answers nothing. A late reply keeps the
// line from being quiet.
void RequestScheduler::noteStray(const QByteArray &block)
{
    if (settling) {
        quietTicksMs = 0;
        quietSinceMs = now();
    }
    if (handReplyExpected) {
        handReplyExpected = false;
        return;
    }
    if (!running)
        return;
    noteDoubt();
    emit unaskedReply(block);
    if (!ModbusMaster::instance()->checkCrc(block)) {
        ++stats.crcErrors;
        emit lineError(QStringLiteral("Data CRC Error!"));
    } else {
        ++stats.unmatched;
        emit lineError(QStringLiteral("Reply ignored: no request was awaited"));
    }
    emit statisticsChanged();
}

// A reply to a transaction whose request has had its outcome: late, or sent
// twice. Its id says it answers nothing awaited now; it casts no doubt.
void RequestScheduler::noteLate(const LineFrame &frame)
{
    if (settling) {
        quietTicksMs = 0;
        quietSinceMs = now();
    }
    if (!running)
        return;
    ++stats.unmatched;
    emit lineError(QStringLiteral("Reply ignored: ") + frame.reason);
    emit statisticsChanged();
    const QByteArray &block = frame.rtu;
    const bool gateway = block.size() >= 3 && (quint8(block.at(1)) & 0x80)
        && (quint8(block.at(2)) == 0x0A || quint8(block.at(2)) == 0x0B);
    if (!gateway)
        emit lateReply(block);
}

// A reply to another transaction, or bytes that make no frame of the line's
// framing: it answers nothing, and on such a line the awaited reply may
// still come after it.
void RequestScheduler::noteUnframed(const LineFrame &frame)
{
    if (settling) {
        quietTicksMs = 0;
        quietSinceMs = now();
    }
    if (handReplyExpected && !isAwaiting()) {
        handReplyExpected = false;
        return;
    }
    if (!running)
        return;
    noteDoubt();
    ++stats.unmatched;
    if (frame.kind == LineFrame::Kind::Foreign)
        emit unaskedReply(frame.rtu);
    emit lineError(QStringLiteral("Reply ignored: ") + frame.reason);
    emit statisticsChanged();
}

// Which of the two it answers cannot be told: neither takes it.
bool RequestScheduler::mayAnswerTheOneBefore(const QByteArray &block)
{
    if (!suspectOpen)
        return false;
    QString ignored;
    const OutcomeKind kind = judgeReply(timedOutBefore, block, &ignored).kind;
    return kind == OutcomeKind::Answered || kind == OutcomeKind::Refused;
}

void RequestScheduler::ageSuspicion()
{
    if (!suspectOpen)
        return;
    suspectTicksMs += quint32(txTimeMs);
    if (qMax<double>(suspectTicksMs, now() - suspectSinceMs) >= double(rxOutTimeMs))
        suspectOpen = false;
}

void RequestScheduler::finishAwaited(RequestOutcome outcome, const QString &logText)
{
    const PendingCommand request = awaited;
    outcome.sentAtMs = sentAtMs;
    waitElapsedMs = 0;
    deadlineTimer.stop();
    lineActiveAtMs = now();
    // A wait that ran out owes a quiet. A gateway's word that its driver did
    // not answer owes one only for a driver that has answered in this
    // session: the gateway may still get that driver's reply and, its serial
    // side numbering nothing, pass it on as the next request's. The quiet
    // lets it come while nothing is awaited; an absent driver costs none.
    const bool waitRanOut = outcome.kind == OutcomeKind::TimedOut && !outcome.driverUnreached();
    const bool owedBehindGateway = outcome.driverUnreached() && outcome.exceptionCode == gatewayTargetFailed
        && answeredUnits.contains(request.slave());
    if (waitRanOut || owedBehindGateway)
        ++irregularities;
    if (waitRanOut && driverSilent && !serial->numbersTransactions()) {
        timedOutBefore = request;
        suspectOpen = true;
        suspectTicksMs = 0;
        suspectSinceMs = now();
    }
    if (waitRanOut || owedBehindGateway || outcome.kind == OutcomeKind::Garbled
        || (request.repeat && outcome.answered())) {
        settling = true;
        quietNeededMs = rxOutTimeMs + quint32(std::ceil(replyWaitMs(request)));
        quietTicksMs = 0;
        quietSinceMs = now();
    }
    if (!logText.isEmpty())
        emit lineError(logText);
    emit statisticsChanged();
    emit completed(request, outcome);
    scheduleLineSpeed();
}

// Counted from the last outcome, until a late reply would have begun; from
// then on whenQuiet() waits while one is being received. Had another
// device's reply to the request before been taken for the last one, the
// true reply begins within the longest turnaround seen after that request
// left, which is before the one taken ended. Had a reply owed from before
// the run shifted every answer by one, each turnaround measured is the true
// one less the time between two requests: the true reply of the last one
// begins within a request's wire time, the gap and twice the longest
// turnaround seen after the last reply. A few milliseconds more let the
// event loop hand on bytes already here.
double RequestScheduler::lateReplyWindowMs(const RunMark &since) const
{
    if (serial->numbersTransactions())
        return 0;
    const double whole = replyWaitMs(awaited);
    const bool clean = irregularities == since.irregular && answers >= since.answers + 2;
    if (longestTurnaroundMs < 0 || !clean)
        return whole;
    constexpr double handOverMs = 3;
    const double requestMs = serial->wireTime().frameMs(awaited.frame.size());
    const double lateUntilMs = lineActiveAtMs + requestMs + interFrameGapMs() + 2.0 * longestTurnaroundMs + handOverMs;
    return qBound(0.0, lateUntilMs - now(), whole);
}

void RequestScheduler::afterLateReplies(QObject *context, std::function<void()> then, const RunMark &since)
{
    const int windowMs = int(std::ceil(lateReplyWindowMs(since)));
    QTimer::singleShot(windowMs, Qt::PreciseTimer, context, [this, context, then] { whenQuiet(context, then); });
}

void RequestScheduler::afterWholeReplyWait(QObject *context, std::function<void()> then)
{
    const int windowMs = int(std::ceil(replyWaitMs(awaited)));
    QTimer::singleShot(windowMs, Qt::PreciseTimer, context, [this, context, then] { whenQuiet(context, then); });
}

// Bytes still arriving, or a quiet still owed after a timeout, may yet
// bring a late reply.
void RequestScheduler::whenQuiet(QObject *context, std::function<void()> then)
{
    if (running && (serial->isReceiving() || (settling && !settled(false))))
        return QTimer::singleShot(1, Qt::PreciseTimer, context, [this, context, then] { whenQuiet(context, then); });
    then();
}

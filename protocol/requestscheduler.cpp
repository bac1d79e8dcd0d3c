#include "requestscheduler.h"

#include "protocol/modbusmaster.h"
#include "serial/serial.h"

namespace {

constexpr char readFunction = 0x03;
constexpr char writeFunction = 0x06;
constexpr int exceptionReplyLength = 5;
constexpr int writeEchoLength = 8;

int expectedReplyLength(const PendingCommand &command)
{
    return command.isWrite() ? writeEchoLength : 5 + 2 * command.count;
}

} // namespace

QString exceptionText(quint8 code)
{
    static const char *const meanings[] = {
        "unknown exception", "illegal function", "illegal data address", "illegal data value",
        "server device failure", "acknowledge", "server device busy", "unknown exception",
        "memory parity error", "unknown exception", "gateway path unavailable",
        "gateway target device failed to respond"};
    const char *meaning = code < sizeof(meanings) / sizeof(meanings[0]) ? meanings[code] : meanings[0];
    const QString number = QString::number(code, 16).rightJustified(2, QLatin1Char('0')).toUpper();
    return QStringLiteral("Modbus exception %1: %2").arg(number, QLatin1String(meaning));
}

RequestScheduler::RequestScheduler(Serial *serial, QObject *parent)
    : QObject(parent)
    , serial(serial)
{
    tickTimer.setInterval(txTimeMs);
    // A coarse timer may fire a tick late by a good part of a short txTime.
    tickTimer.setTimerType(Qt::PreciseTimer);
    connect(&tickTimer, &QTimer::timeout, this, &RequestScheduler::tick);
}

void RequestScheduler::setTiming(int txTime, quint32 rxOutTime)
{
    // The tick must advance the reply timeout and must not spin a core.
    txTimeMs = qMax(txTime, 1);
    rxOutTimeMs = rxOutTime;
    tickTimer.setInterval(txTimeMs);
}

void RequestScheduler::start()
{
    resetStatistics();
    tickTimer.start();
}

void RequestScheduler::stop()
{
    tickTimer.stop();
    queue.clear();
    waitElapsedMs = 0;
    hasLastSent = false;
}

void RequestScheduler::enqueue(const PendingCommand &command)
{
    queue.append(command);
}

void RequestScheduler::enqueueFirst(const PendingCommand &command)
{
    queue.prepend(command);
}

void RequestScheduler::cancel(const QObject *owner)
{
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [owner](const PendingCommand &c) { return c.owner == owner; }),
                queue.end());
}

void RequestScheduler::forgetLastRequest()
{
    if (!isAwaiting())
        hasLastSent = false;
}

void RequestScheduler::resetStatistics()
{
    stats = LineStatistics();
    emit statisticsChanged();
}

// One request in flight at a time: a tick either waits for the reply, sends
// the next queued frame, or finds nothing to do. An idle tick lets clients
// queue more, which then leaves at once instead of a tick later.
void RequestScheduler::tick()
{
    if (waitElapsedMs != 0) {
        waitLonger();
    } else if (!queue.isEmpty()) {
        sendNext();
    } else {
        emit idle();
        if (!queue.isEmpty() && !isAwaiting())
            sendNext();
    }
}

void RequestScheduler::waitLonger()
{
    waitElapsedMs += quint32(txTimeMs);
    if (waitElapsedMs <= rxOutTimeMs)
        return;
    waitElapsedMs = 0;
    ++stats.timeouts;
    emit lineError(QStringLiteral("Data receiving timeout!"));
    emit statisticsChanged();
    emit timedOut(lastSent);
}

void RequestScheduler::sendNext()
{
    lastSent = queue.takeFirst();
    hasLastSent = true;
    serial->sendData(lastSent.frame);
    if (lastSent.frame.size() > 1)
        serial->expectReply(quint8(lastSent.frame.at(0)), quint8(lastSent.frame.at(1)),
                            expectedReplyLength(lastSent));
    waitElapsedMs = 1;
    roundTrip.start();
    ++stats.requests;
    emit statisticsChanged();
}

// Any non-empty block ends the wait for a reply, valid or not, so the queue
// moves on at once; only valid replies reach a client.
void RequestScheduler::takeBlock(const QByteArray &block)
{
    if (block.isEmpty())
        return;
    emit received(block);
    const bool awaited = isAwaiting();
    bool answered = false;
    if (!ModbusMaster::instance()->checkCrc(block)) {
        ++stats.crcErrors;
        emit lineError(QStringLiteral("Data CRC Error!"));
        emit statisticsChanged();
    } else if (block.size() > 1 && uchar(block.at(0)) == expectedSlave()) {
        answered = handleValidBlock(block);
    }
    waitElapsedMs = 0;
    // No timeout will come for this request: its owner must not wait for one.
    if (awaited && hasLastSent && !answered)
        emit unanswered(lastSent);
}

quint8 RequestScheduler::expectedSlave() const
{
    return hasLastSent && !lastSent.frame.isEmpty() ? quint8(lastSent.frame.at(0)) : slaveAddress;
}

bool RequestScheduler::handleValidBlock(const QByteArray &block)
{
    const char function = block.at(1);
    if (function == readFunction)
        return handleRead(block);
    if (function == writeFunction)
        return handleWriteEcho(block);
    if ((uchar(function) & 0x80) && block.size() >= exceptionReplyLength)
        return handleException(block);
    return false;
}

bool RequestScheduler::handleRead(const QByteArray &block)
{
    const QList<quint16> values = ModbusMaster::instance()->readReplyValues(block);
    if (values.isEmpty()) {
        emit lineError(QStringLiteral("Read Data Parsing Error!"));
        return false;
    }
    if (!hasLastSent)
        return false;
    countValidReply();
    emit readAnswered(lastSent, values);
    return true;
}

bool RequestScheduler::handleWriteEcho(const QByteArray &block)
{
    const RegisterInfo echo = ModbusMaster::instance()->parseWriteReply(block);
    if (echo.valueText.isEmpty()) {
        emit lineError(QStringLiteral("Write Data Parsing Error!"));
        return false;
    }
    if (hasLastSent && lastSent.isWrite() && lastSent.address == echo.address)
        countValidReply();
    emit writeEchoed(hasLastSent ? lastSent : PendingCommand(), echo.address, echo.value);
    return hasLastSent;
}

bool RequestScheduler::handleException(const QByteArray &block)
{
    const quint8 code = quint8(block.at(2));
    emit lineError(exceptionText(code));
    if (hasLastSent)
        emit exceptionAnswered(lastSent, code);
    return hasLastSent;
}

void RequestScheduler::countValidReply()
{
    ++stats.validReplies;
    if (roundTrip.isValid())
        stats.lastRoundTripMs = roundTrip.elapsed();
    emit statisticsChanged();
}

#include "scanrun.h"

#include "protocol/modbusmaster.h"
#include "protocol/requestscheduler.h"
#include "serial/serial.h"

#include <QTimer>

namespace {

// A request leaves on the tick after the previous one ended, so the tick
// is as short as the timer allows.
constexpr int scanTickMs = 1;

} // namespace

ScanRun::ScanRun(Serial *serial, RequestScheduler *lineScheduler, QObject *parent)
    : QObject(parent)
    , scheduler(new RequestScheduler(serial, this))
    , lineScheduler(lineScheduler)
    , serial(serial)
{
    connect(serial, &Serial::haveReceive, scheduler, &RequestScheduler::takeBlock);
    connect(scheduler, &RequestScheduler::completed, this, &ScanRun::onCompleted);
    connect(scheduler, &RequestScheduler::idle, this, &ScanRun::onBaudDone);
    connect(scheduler, &RequestScheduler::unaskedReply, this, [this](const QByteArray &block) {
        if (unaskedAtBaud++ == 0)
            firstUnaskedFrom = quint8(block.at(0));
    });
    connect(scheduler, &RequestScheduler::lateReply, this, &ScanRun::noteLate);
    // A pulled adapter ends the scan; nothing would answer any more.
    connect(serial, &Serial::portLost, this, [this](const QString &reason) {
        if (!running)
            return;
        error = tr("串口已断开：") + reason;
        finish(false);
    });
}

bool ScanRun::start(const ScanRequest &scan)
{
    if (running) {
        error = tr("扫描已在进行中");
        return false;
    }
    request = scan;
    found.clear();
    error.clear();
    askedCount = 0;
    const QSerialPort *port = serial->serialPort;
    before = LineState{serial->isOpen(), lineScheduler && lineScheduler->isRunning(), port->portName(),
                       port->baudRate(), port->parity(), port->stopBits(), serial->networkTarget()};
    running = true;
    if (lineScheduler)
        lineScheduler->stop();
    scheduler->setTiming(scanTickMs, quint32(request.timeoutMs));
    scheduler->setGap(request.gapMs);
    if (request.passes().isEmpty() || request.addressCount() < 1) {
        QTimer::singleShot(0, this, [this] { finish(false); });
        return true;
    }
    scanBaud(0);
    if (!error.isEmpty()) {
        running = false;
        restoreLine();
        return false;
    }
    return true;
}

void ScanRun::cancel()
{
    if (running)
        finish(true);
}

void ScanRun::scanBaud(int index)
{
    baudIndex = index;
    scheduler->stop();
    const bool opened = request.network.isSet()
        ? serial->openNetwork(request.network)
        : serial->openPort(request.port, request.passes().at(index), request.parity, request.stopBits);
    if (!opened) {
        error = tr("无法打开 %1：%2").arg(request.lineName(), serial->openError());
        return;
    }
    answeredAtBaud = 0;
    unaskedAtBaud = 0;
    lateAtBaud = 0;
    listening = false;
    scheduler->start();
    ModbusMaster *master = ModbusMaster::instance();
    for (int address = request.firstAddress; address <= request.lastAddress; ++address) {
        const QByteArray frame = master->readCmd(quint8(address), request.registerAddress, 1);
        PendingCommand ask{frame, request.registerAddress, 1, this, address};
        ask.lineSpeed = true;
        scheduler->enqueue(ask);
    }
}

void ScanRun::onCompleted(const PendingCommand &asked, const RequestOutcome &outcome)
{
    if (!running || outcome.kind == OutcomeKind::Cancelled)
        return;
    if (outcome.answered() || outcome.kind == OutcomeKind::Refused) {
        const ScanHit hit{asked.tag, request.passes().at(baudIndex), request.parity, request.stopBits};
        found.append(hit);
        ++answeredAtBaud;
        emit hitFound(hit);
    }
    countAsked();
}

// A repeat of a reply already found adds nobody.
void ScanRun::noteLate(const QByteArray &block)
{
    const int from = quint8(block.at(0));
    const qint64 baud = request.passes().at(baudIndex);
    for (const ScanHit &hit : qAsConst(found)) {
        if (hit.address == from && hit.baud == baud)
            return;
    }
    if (lateAtBaud++ == 0)
        firstLateFrom = from;
}

void ScanRun::countAsked()
{
    ++askedCount;
    emit progressed(askedCount, total());
}

// Every address has had its outcome at this baud rate. The next baud rate
// is taken up outside the scheduler's signal, which is still being
// delivered.
void ScanRun::onBaudDone()
{
    if (!running || listening || !serial->isOpen())
        return;
    listening = true;
    scheduler->afterLateReplies(this, [this] { endBaud(); });
}

void ScanRun::endBaud()
{
    if (!running || !listening || !serial->isOpen())
        return;
    listening = false;
    scheduler->stop();
    if (unaskedAtBaud > 0)
        emit unaskedReplies(request.passes().at(baudIndex), unaskedAtBaud, firstUnaskedFrom);
    if (lateAtBaud > 0)
        emit lateReplies(request.passes().at(baudIndex), lateAtBaud, firstLateFrom);
    askedCount = (baudIndex + 1) * request.addressCount();
    emit progressed(askedCount, total());
    emit baudScanned(request.passes().at(baudIndex), request.addressCount(), answeredAtBaud);
    const int next = baudIndex + 1;
    QTimer::singleShot(0, this, [this, next] {
        if (!running)
            return;
        if (next >= request.passes().size()) {
            finish(false);
            return;
        }
        scanBaud(next);
        if (!error.isEmpty())
            finish(false);
    });
}

void ScanRun::finish(bool cancelled)
{
    running = false;
    restoreLine();
    emit finished(cancelled);
}

void ScanRun::restoreLine()
{
    scheduler->stop();
    if (!before.open) {
        serial->closeLine();
        return;
    }
    const bool reopened = before.network.isSet()
        ? serial->openNetwork(before.network)
        : serial->openPort(before.port, before.baud, before.parity, before.stopBits);
    if (reopened && before.polling)
        lineScheduler->start();
}

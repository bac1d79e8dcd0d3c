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

ScanRun::ScanRun(RequestScheduler *scheduler, Serial *serial, QObject *parent)
    : QObject(parent)
    , scheduler(scheduler)
    , serial(serial)
{
    connect(scheduler, &RequestScheduler::readAnswered, this,
            [this](const PendingCommand &request) { onAnswered(request); });
    connect(scheduler, &RequestScheduler::exceptionAnswered, this,
            [this](const PendingCommand &request) { onAnswered(request); });
    connect(scheduler, &RequestScheduler::timedOut, this, &ScanRun::onUnanswered);
    connect(scheduler, &RequestScheduler::idle, this, &ScanRun::onBaudDone);
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
    before = LineState{port->isOpen(), scheduler->isRunning(), port->portName(), port->baudRate(),
                       port->parity(), port->stopBits(), scheduler->txTime(), scheduler->rxOutTime()};
    running = true;
    scheduler->stop();
    scheduler->setTiming(scanTickMs, quint32(request.timeoutMs));
    if (request.bauds.isEmpty() || request.addressCount() < 1) {
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
    if (!serial->openPort(request.port, request.bauds.at(index), request.parity, request.stopBits)) {
        error = tr("无法打开 %1：%2").arg(request.port, serial->openError());
        return;
    }
    ModbusMaster *master = ModbusMaster::instance();
    for (int address = request.firstAddress; address <= request.lastAddress; ++address) {
        const QByteArray frame = master->readCmd(quint8(address), request.registerAddress, 1);
        scheduler->enqueue(PendingCommand{frame, request.registerAddress, 1, this, address});
    }
    scheduler->start();
}

void ScanRun::onAnswered(const PendingCommand &asked)
{
    if (!running || asked.owner != this)
        return;
    const ScanHit hit{asked.tag, request.bauds.at(baudIndex)};
    found.append(hit);
    emit hitFound(hit);
    countAsked();
}

void ScanRun::onUnanswered(const PendingCommand &asked)
{
    if (running && asked.owner == this)
        countAsked();
}

void ScanRun::countAsked()
{
    ++askedCount;
    emit progressed(askedCount, total());
}

// Every address has had its turn at this baud rate: a garbled or foreign
// block ends a wait without a reply or a timeout, so the empty line, not a
// count of answers, says so. The next baud rate is taken up outside the
// scheduler's signal, which is still being delivered.
void ScanRun::onBaudDone()
{
    if (!running || !serial->serialPort->isOpen())
        return;
    scheduler->stop();
    askedCount = (baudIndex + 1) * request.addressCount();
    emit progressed(askedCount, total());
    const int next = baudIndex + 1;
    QTimer::singleShot(0, this, [this, next] {
        if (!running)
            return;
        if (next >= request.bauds.size()) {
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
    scheduler->setTiming(before.txTime, before.rxOutTime);
    if (!before.open) {
        serial->serialPort->close();
        return;
    }
    if (serial->openPort(before.port, before.baud, before.parity, before.stopBits) && before.polling)
        scheduler->start();
}

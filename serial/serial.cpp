#include "serial.h"

#include "serial/lineoptions.h"
#include "serial/wiretime.h"
#include "util/hextext.h"

#include <cmath>

#include <QEventLoop>
#include <QSerialPort>
#include <QSerialPortInfo>

namespace {

bool isOfferedBaudRate(qint64 baud)
{
    for (qint64 offered : {1200, 4800, 9600, 19200, 38400, 57600, 115200}) {
        if (baud == offered)
            return true;
    }
    return false;
}

} // namespace

Serial *Serial::instance()
{
    static Serial *serial = new Serial;
    return serial;
}

Serial::Serial()
    : QObject(nullptr)
{
    serialPort = new QSerialPort;
    tcpSocket = new QTcpSocket(this);
    connect(&receiveTimer, &QTimer::timeout, this, [this] {
        if (isModbusTcp())
            overdueAdu = true;
        else
            closeReceiveBlock();
    });
    connect(serialPort, &QSerialPort::readyRead, this, [this] { extendReceiveBlock(); });
    connect(serialPort, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { noticeError(error); });
    connect(tcpSocket, &QTcpSocket::readyRead, this, [this] {
        if (isModbusTcp())
            takeWholeAdus();
        else
            extendReceiveBlock();
    });
    connect(tcpSocket, &QTcpSocket::errorOccurred, this, [this] { noticeNetworkError(); });
    connect(tcpSocket, &QTcpSocket::disconnected, this, [this] { noticeNetworkError(); });
}

QIODevice *Serial::device() const
{
    return onNetwork ? static_cast<QIODevice *>(tcpSocket) : serialPort;
}

bool Serial::isModbusTcp() const
{
    return onNetwork && network.framing == NetworkTarget::Framing::ModbusTcp;
}

bool Serial::isOpen() const
{
    return onNetwork ? networkOpen : serialPort->isOpen();
}

QString Serial::lineName() const
{
    return onNetwork ? network.name() : portLocation(serialPort->portName());
}

WireTime Serial::wireTime() const
{
    return onNetwork ? WireTime::network(!isModbusTcp()) : WireTime::of(*serialPort);
}

void Serial::closeLine()
{
    receiveTimer.stop();
    expected = ExpectedReply();
    pendingAdu.clear();
    overdueAdu = false;
    networkOpen = false;
    onNetwork = false;
    tcpSocket->abort();
    if (serialPort->isOpen())
        serialPort->close();
}

bool Serial::openNetwork(const NetworkTarget &target)
{
    closeLine();
    onNetwork = true;
    network = target;
    lastTransaction = 0;
    transactionsSent = 0;
    openingAbandoned = false;
    tcpSocket->connectToHost(target.host, target.port);
    if (!awaitConnection(target.connectTimeoutMs)) {
        const bool noAnswer = tcpSocket->error() == QAbstractSocket::SocketTimeoutError
            || tcpSocket->state() != QAbstractSocket::UnconnectedState;
        lastFailure = OpenFailure();
        if (noAnswer && !openingAbandoned) {
            lastFailure.kind = OpenFailure::Kind::NoAnswer;
            lastFailure.waitedMs = target.connectTimeoutMs;
        }
        lastFailure.systemText = openingAbandoned ? QStringLiteral("interrupted") : tcpSocket->errorString();
        tcpSocket->abort();
        return false;
    }
    // Requests are small and each waits for its reply: no batching delay.
    tcpSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    lastFailure = OpenFailure();
    lossReported = false;
    networkOpen = true;
    return true;
}

// The wait turns the event loop, user input aside, so that Ctrl+C can end
// it: a host that does not answer may take up to the whole timeout.
bool Serial::awaitConnection(int timeoutMs)
{
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    const auto settled = connect(tcpSocket, &QTcpSocket::stateChanged, &loop, [&loop](QAbstractSocket::SocketState state) {
        if (state == QAbstractSocket::ConnectedState || state == QAbstractSocket::UnconnectedState)
            loop.quit();
    });
    const QAbstractSocket::SocketState state = tcpSocket->state();
    if (state != QAbstractSocket::ConnectedState && state != QAbstractSocket::UnconnectedState)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    disconnect(settled);
    return tcpSocket->state() == QAbstractSocket::ConnectedState;
}

void Serial::abandonOpening()
{
    if (networkOpen || tcpSocket->state() == QAbstractSocket::UnconnectedState)
        return;
    openingAbandoned = true;
    tcpSocket->abort();
}

LineFrame Serial::frameOf(const QByteArray &block, int awaitedTransaction) const
{
    if (!isModbusTcp())
        return {LineFrame::Kind::Whole, block, QString()};
    return rtuFromMbap(block, Transactions{awaitedTransaction, lastTransaction, transactionsSent});
}

QByteArray Serial::wireForm(const QByteArray &frame) const
{
    return isModbusTcp() ? mbapFromRtu(frame, quint16(lastTransaction + 1)) : frame;
}

// A TCP stream keeps frames in order, so every whole ADU is handed on at
// once; bytes that cannot start one are handed on as they are. A tail whose
// header promises more holds the line for a whole reply wait, however the
// network splits it. After that it no longer holds the line but still waits
// for its rest: a stream loses no bytes, and handing on half an ADU would
// make the rest, when it comes, the start of a frame, and its transaction
// id would no longer tell whose reply it is.
void Serial::takeWholeAdus()
{
    if (pendingAdu.isEmpty())
        pendingSince.start();
    pendingAdu.append(tcpSocket->readAll());
    while (!pendingAdu.isEmpty()) {
        const int length = mbapAduLength(pendingAdu);
        if (length == 0)
            break;
        const QByteArray block = length < 0 ? pendingAdu : pendingAdu.left(length);
        pendingAdu.remove(0, block.size());
        pendingSince.start();
        overdueAdu = false;
        emit haveReceive(block);
    }
    if (pendingAdu.isEmpty() || overdueAdu) {
        receiveTimer.stop();
        return;
    }
    const qint64 left = qMax<qint64>(0, replyWaitMs - pendingSince.elapsed());
    receiveTimer.setInterval(int(qMax<qint64>(left, qint64(std::ceil(wireTime().frameEndMs())))));
    receiveTimer.start();
}

void Serial::noticeNetworkError()
{
    if (!onNetwork || !networkOpen || lossReported)
        return;
    const QString reason = tcpSocket->error() == QAbstractSocket::UnknownSocketError
        ? QStringLiteral("the connection was closed") : tcpSocket->errorString();
    reportLoss(reason);
}

void Serial::reportLoss(const QString &errorText)
{
    lossReported = true;
    QTimer::singleShot(0, this, [this, errorText] {
        if (isOpen())
            emit portLost(errorText);
    });
}

// Changing the interval of a running timer restarts its countdown, so each
// arrival pushes the end of the block further out.
void Serial::extendReceiveBlock()
{
    if (expectedReplyComplete()) {
        closeReceiveBlock();
        return;
    }
    receiveTimer.setInterval(int(std::ceil(wireTime().frameEndMs())));
    if (!receiveTimer.isActive())
        receiveTimer.start();
}

void Serial::closeReceiveBlock()
{
    receiveTimer.stop();
    expected = ExpectedReply();
    const QByteArray block = pendingAdu + device()->readAll();
    pendingAdu.clear();
    emit haveReceive(block);
}

void Serial::discardInput()
{
    receiveTimer.stop();
    expected = ExpectedReply();
    pendingAdu.clear();
    overdueAdu = false;
    if (!isOpen())
        return;
    if (!onNetwork)
        serialPort->clear(QSerialPort::Input);
    device()->readAll();
}

void Serial::expectReply(quint8 slave, quint8 function, int length)
{
    expected = ExpectedReply{slave, function, length};
}

bool Serial::isReceiving() const
{
    return receiveTimer.isActive() || (!pendingAdu.isEmpty() && !overdueAdu)
        || (isOpen() && device()->bytesAvailable() > 0);
}

// Only a reply that starts as the request expects, and is exactly as long
// as its kind, ends early; anything else (a foreign address, garbage, more
// bytes than expected) waits for the silence as before.
bool Serial::expectedReplyComplete() const
{
    if (expected.length == 0)
        return false;
    const QByteArray head = device()->peek(3);
    if (head.size() < 2 || quint8(head.at(0)) != expected.slave)
        return false;
    const quint8 function = quint8(head.at(1));
    qint64 length = 0;
    if (function == expected.function)
        length = expected.length;
    else if (function == (expected.function | 0x80))
        length = 5;
    return length > 0 && device()->bytesAvailable() == length;
}

// Only a failing read or write means the device has gone; the other errors
// come from opening or configuring and are answered by their callers.
// A pty whose other side has closed reads end-of-file, which Qt reports as a
// ReadError on every turn of the event loop for as long as the port stays
// open, so the loss is reported once and from the event loop, outside the
// port's own notification, where the receiver can close it safely.
void Serial::noticeError(int error)
{
    const bool lineFailed = error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError;
    if (!lineFailed || lossReported || onNetwork || !serialPort->isOpen())
        return;
    reportLoss(serialPort->errorString());
}

bool Serial::openPort(const QString &name, qint64 baud, QSerialPort::Parity parity,
                      QSerialPort::StopBits stopBits)
{
    closeLine();
    serialPort->setPortName(name);
    if (!serialPort->open(QIODevice::ReadWrite)) {
        lastFailure = classifyOpenFailure(serialPort->error(), serialPort->errorString(), name);
        return false;
    }
    lastFailure = OpenFailure();
    lossReported = false;
    expected = ExpectedReply();
    if (isOfferedBaudRate(baud))
        serialPort->setBaudRate(qint32(baud), QSerialPort::AllDirections);
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setParity(parity);
    serialPort->setStopBits(stopBits);
    serialPort->setFlowControl(QSerialPort::NoFlowControl);
    return true;
}

QString Serial::openError() const
{
    const OpenFailure &failure = lastFailure;
    switch (failure.kind) {
    case OpenFailure::Kind::InUse:
        if (failure.holderPid > 0)
            return tr("串口被其他程序占用（进程 %1，%2），请先关闭该程序")
                .arg(failure.holderPid)
                .arg(failure.holderName.isEmpty() ? tr("名称未知") : failure.holderName);
        return tr("串口被其他程序占用，请先关闭该程序");
    case OpenFailure::Kind::StaleLock:
        return tr("锁文件 %1 未指向正在运行的程序；若无程序使用此串口，请删除该文件").arg(failure.lockFile);
    case OpenFailure::Kind::NoAnswer:
        return tr("%1 ms 内无应答").arg(failure.waitedMs);
    case OpenFailure::Kind::NoPermission:
        // Debian gives serial adapters to the dialout group.
        return failure.systemText + tr("（请把用户加入 dialout 组，然后重新登录）");
    default:
        return failure.systemText;
    }
}

bool Serial::sendData(QByteArray frame)
{
    expected = ExpectedReply();
    if (isModbusTcp()) {
        frame = mbapFromRtu(frame, ++lastTransaction);
        ++transactionsSent;
    }
    const bool isOk = isOpen() && device()->write(frame) > 0;
    // Onto the wire now, not a turn of the event loop later: the reply wait
    // counts from here.
    if (isOk)
        onNetwork ? tcpSocket->flush() : serialPort->flush();
    emit sendDataShow(QStringLiteral("Tx(hex):") + byteArrayToHexString(frame), isOk);
    return isOk;
}

void Serial::waitUntilWritten(int ms)
{
    if (isOpen() && device()->bytesToWrite() > 0)
        device()->waitForBytesWritten(ms);
}

bool Serial::sendText(QString text)
{
    expected = ExpectedReply();
    const bool isOk = isOpen() && device()->write(text.toLatin1()) > 0;
    emit sendDataShow(QStringLiteral("Tx:") + text, isOk);
    return isOk;
}

// Only ports that can be opened right now are offered; one held by another
// program would fail later anyway.
QStringList Serial::portList()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        QSerialPort port;
        port.setPort(info);
        if (port.open(QIODevice::ReadWrite)) {
            names.append(port.portName());
            port.close();
        }
    }
    return names;
}

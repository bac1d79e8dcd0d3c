#ifndef SERIAL_H
#define SERIAL_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

#include "serial/mbapframe.h"
#include "serial/networktarget.h"
#include "serial/openfailure.h"
#include "serial/wiretime.h"

// The one line of the program: a serial port, or a TCP connection to a
// driver or gateway (see NetworkTarget). Everything above it sends and
// judges Modbus RTU frames; on a Modbus TCP connection the line puts the
// MBAP header in place of the CRC and takes it off the replies again
// (frameOf). Incoming bytes are handed on in
// blocks: a block ends at the first pause of 3.5 characters in the stream
// after the last byte's own time (12 ms at least, for USB adapters), or, for
// the reply a request expects, as soon as it is complete. Every
// transmission is reported as log text, successful or not. A device that
// goes away while open (a pulled adapter, a killed pty peer) is reported
// once per opening through portLost, with Qt's description of the failure;
// the receiver is expected to close the port. A connection that the peer
// resets or closes is reported the same way. Blocks and the log's frames
// are the bytes as they went over the wire.
class Serial : public QObject
{
    Q_OBJECT

public:
    static Serial *instance();

    // Eight data bits; a rate the tool does not offer leaves the line at its
    // previous rate. On failure, openError() says why.
    bool openPort(const QString &name, qint64 baud, QSerialPort::Parity parity,
                  QSerialPort::StopBits stopBits);
    bool openPort(const QString &name, qint64 baud)
    {
        return openPort(name, baud, QSerialPort::NoParity, QSerialPort::OneStop);
    }
    // Connects to the target, waiting at most its connect timeout; closes
    // the line that was open first.
    bool openNetwork(const NetworkTarget &target);
    // Ends a connection attempt still waiting for the host (Ctrl+C).
    void abandonOpening();
    bool isOpen() const;
    void closeLine();
    // The port's location, or the network target's HOST:PORT.
    QString lineName() const;
    WireTime wireTime() const;
    // The network target the line was last opened to, when it is a network
    // line; unset for the serial port. For reopening it as it was.
    NetworkTarget networkTarget() const { return onNetwork ? network : NetworkTarget(); }
    // A block from haveReceive as the program judges it: the RTU frame, or
    // on a Modbus TCP line, the ADU rebuilt as one, unless it answers
    // another transaction than `awaitedTransaction` (-1: none) or is no ADU
    // at all.
    LineFrame frameOf(const QByteArray &block, int awaitedTransaction) const;
    // Modbus TCP: each reply names its request by transaction id.
    bool numbersTransactions() const { return isModbusTcp(); }
    // The transaction id of the last frame sent on a Modbus TCP line.
    quint16 lastTransactionSent() const { return lastTransaction; }
    // The bytes the line puts on the wire for `frame` if it is sent next.
    QByteArray wireForm(const QByteArray &frame) const;
    // For the window; openFailure().text() says it in English.
    QString openError() const;
    const OpenFailure &openFailure() const { return lastFailure; }
    bool sendData(QByteArray frame);
    // Blocks until what was sent has left for the line, or ms have passed:
    // for a frame that must go out before the line closes.
    void waitUntilWritten(int ms);
    bool sendText(QString text);
    QStringList portList();
    // The reply the request just sent expects: from `slave`, with `function`
    // (or its exception form), `length` bytes. Any send clears it.
    void expectReply(quint8 slave, quint8 function, int length);
    // On Modbus TCP, how long a reply whose first bytes have come holds the
    // line for the rest its header announces: a network may split it
    // anywhere. The rest is still awaited after that, without holding it.
    void setReplyWait(int ms) { replyWaitMs = ms; }
    // Bytes have arrived that are not yet handed on as a block.
    bool isReceiving() const;
    // Drops whatever the line holds unread, in the system's buffer too: a
    // reply owed to an earlier request, perhaps another program's.
    void discardInput();

    // The serial port, whether it is the line or not.
    QSerialPort *serialPort;

signals:
    void haveReceive(QByteArray data);
    void sendDataShow(QString data, bool isOk);
    void portLost(QString errorText);

private:
    Serial();
    void extendReceiveBlock();
    void closeReceiveBlock();
    void noticeError(int error);
    bool expectedReplyComplete() const;
    QIODevice *device() const;
    bool isModbusTcp() const;
    bool awaitConnection(int timeoutMs);
    void takeWholeAdus();
    void noticeNetworkError();
    void reportLoss(const QString &errorText);

    QTcpSocket *tcpSocket;
    // Set while a network line is the line; kept after closing it, for its name.
    NetworkTarget network;
    bool onNetwork = false;
    bool networkOpen = false;
    bool openingAbandoned = false;
    quint16 lastTransaction = 0;
    quint32 transactionsSent = 0;
    // Modbus TCP bytes not yet a whole ADU, and since when the first of them waits.
    QByteArray pendingAdu;
    QElapsedTimer pendingSince;
    // Its reply wait has passed: it waits on without holding the line.
    bool overdueAdu = false;
    int replyWaitMs = 1000;
    QTimer receiveTimer;
    OpenFailure lastFailure;
    bool lossReported = false;
    struct ExpectedReply
    {
        quint8 slave = 0;
        quint8 function = 0;
        int length = 0;  // 0: nothing expected, the silence ends the block
    } expected;
};

#endif // SERIAL_H

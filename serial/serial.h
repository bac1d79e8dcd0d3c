#ifndef SERIAL_H
#define SERIAL_H

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "serial/openfailure.h"

// The one serial line of the program. Incoming bytes are handed on in
// blocks: a block ends at the first pause of 3.5 characters in the stream
// after the last byte's own time (12 ms at least, for USB adapters), or, for
// the reply a request expects, as soon as it is complete. Every
// transmission is reported as log text, successful or not. A device that
// goes away while open (a pulled adapter, a killed pty peer) is reported
// once per opening through portLost, with Qt's description of the failure;
// the receiver is expected to close the port.
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
    // For the window; openFailure().text() says it in English.
    QString openError() const;
    const OpenFailure &openFailure() const { return lastFailure; }
    bool sendData(QByteArray frame);
    bool sendText(QString text);
    QStringList portList();
    // The reply the request just sent expects: from `slave`, with `function`
    // (or its exception form), `length` bytes. Any send clears it.
    void expectReply(quint8 slave, quint8 function, int length);
    // Bytes have arrived that are not yet handed on as a block.
    bool isReceiving() const;
    // Drops whatever the line holds unread, in the system's buffer too: a
    // reply owed to an earlier request, perhaps another program's.
    void discardInput();

    // Public so that the window can see whether the line is open and close it.
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

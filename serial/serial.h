#ifndef SERIAL_H
#define SERIAL_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

QT_BEGIN_NAMESPACE
class QSerialPort;
QT_END_NAMESPACE

// The one serial line of the program. Incoming bytes are handed on in
// blocks: a block ends at the first pause of 12 ms in the stream. Every
// transmission is reported as log text, successful or not. A device that
// goes away while open (a pulled adapter, a killed pty peer) is reported
// once per opening through portLost, with Qt's description of the failure;
// the receiver is expected to close the port.
class Serial : public QObject
{
    Q_OBJECT

public:
    static Serial *instance();

    bool openPort(const QString &name, qint64 baud);
    bool sendData(QByteArray frame);
    bool sendText(QString text);
    QStringList portList();

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

    QTimer receiveTimer;
    bool lossReported = false;
};

#endif // SERIAL_H

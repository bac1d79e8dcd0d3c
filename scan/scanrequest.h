#ifndef SCANREQUEST_H
#define SCANREQUEST_H

#include <QList>
#include <QSerialPort>
#include <QString>

// What a bus scan asks: every address of the range at every baud rate, one
// register each, on one port with one framing.
struct ScanRequest
{
    QString port;
    QList<qint64> bauds = offeredBauds();
    int firstAddress = 1;
    int lastAddress = 247;
    int timeoutMs = 50;
    double gapMs = -1;  // the silence between requests; negative: the Modbus RTU gap
    quint16 registerAddress = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    static QList<qint64> offeredBauds() { return {1200, 4800, 9600, 19200, 38400, 57600, 115200}; }
    int addressCount() const { return lastAddress - firstAddress + 1; }
};

// The option values of a scan as typed: "9600,19200", "1-247" (or one
// address), a timeout in milliseconds. Each returns an error text, empty
// when the value was taken into the request.
QString parseBauds(const QString &text, ScanRequest &request);
QString parseAddresses(const QString &text, ScanRequest &request);
QString parseScanTimeout(const QString &text, ScanRequest &request);

#endif // SCANREQUEST_H

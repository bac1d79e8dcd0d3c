#ifndef SCANREQUEST_H
#define SCANREQUEST_H

#include <QList>
#include <QSerialPort>
#include <QString>

#include "serial/networktarget.h"

// What a bus scan asks: every address of the range at every baud rate, one
// register each, on one port with one framing; on a network line, every
// unit id of the range once (the baud rates are the gateway's business).
struct ScanRequest
{
    QString port;
    NetworkTarget network;
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
    // The baud rates asked; one pass, at no rate of ours, on a network line.
    QList<qint64> passes() const { return network.isSet() ? QList<qint64>{0} : bauds; }
    QString lineName() const { return network.isSet() ? network.name() : port; }
};

// The option values of a scan as typed: "9600,19200", "1-247" (or one
// address), a timeout in milliseconds. Each returns an error text, empty
// when the value was taken into the request.
QString parseBauds(const QString &text, ScanRequest &request);
QString parseAddresses(const QString &text, ScanRequest &request);
QString parseScanTimeout(const QString &text, ScanRequest &request);

#endif // SCANREQUEST_H

#ifndef SCANRUN_H
#define SCANRUN_H

#include <QList>
#include <QObject>
#include <QSerialPort>

#include "protocol/pendingcommand.h"
#include "protocol/requestoutcome.h"
#include "scan/scanrequest.h"

class RequestScheduler;
class Serial;

struct ScanHit
{
    int address = 0;
    qint64 baud = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// One bus scan with a scheduler of its own: the port is opened at each baud
// rate in turn and every address of the range is asked for one register; a
// reply that answers the request, an exception too, is a hit. The line's
// own scheduler, if given, is stopped meanwhile (its session ends: nothing
// of it is sent during or after the scan) and started again afterwards, its
// statistics untouched; the port is left as it was found. Widget-free.
class ScanRun : public QObject
{
    Q_OBJECT

public:
    ScanRun(Serial *serial, RequestScheduler *lineScheduler = nullptr, QObject *parent = nullptr);

    // False, with errorText(), when another scan runs or the port does not
    // open at the first baud rate; finished() follows in every other case.
    bool start(const ScanRequest &request);
    void cancel();
    bool isRunning() const { return running; }
    QString errorText() const { return error; }
    const QList<ScanHit> &hits() const { return found; }
    int total() const { return request.addressCount() * request.passes().size(); }
    int asked() const { return askedCount; }

signals:
    void hitFound(const ScanHit &hit);
    void progressed(int asked, int total);
    void baudScanned(qint64 baud, int asked, int answered);
    // Replies came at this baud rate that no request asked for, the first
    // from `fromAddress`: a driver slower than the timeout, or another
    // master. A driver may have been missed.
    void unaskedReplies(qint64 baud, int count, int fromAddress);
    // Modbus TCP replies to requests of the scan that came after its
    // timeout, from addresses not found, the first from `fromAddress`: a
    // driver slower than the timeout was missed.
    void lateReplies(qint64 baud, int count, int fromAddress);
    // errorText() is set when a later baud rate would not open.
    void finished(bool cancelled);

private:
    void scanBaud(int index);
    void onCompleted(const PendingCommand &request, const RequestOutcome &outcome);
    void countAsked();
    void noteLate(const QByteArray &block);
    void onBaudDone();
    void endBaud();
    void finish(bool cancelled);
    void restoreLine();

    RequestScheduler *scheduler;
    RequestScheduler *lineScheduler;
    Serial *serial;
    ScanRequest request;
    bool running = false;
    int baudIndex = 0;
    int askedCount = 0;
    int answeredAtBaud = 0;
    int unaskedAtBaud = 0;
    int firstUnaskedFrom = 0;
    int lateAtBaud = 0;
    int firstLateFrom = 0;
    // Every address had its outcome; a late reply may still come.
    bool listening = false;
    QList<ScanHit> found;
    QString error;

    struct LineState
    {
        bool open = false;
        bool polling = false;
        QString port;
        qint64 baud = 0;
        QSerialPort::Parity parity = QSerialPort::NoParity;
        QSerialPort::StopBits stopBits = QSerialPort::OneStop;
        NetworkTarget network;  // set when the line was a network one
    } before;
};

#endif // SCANRUN_H

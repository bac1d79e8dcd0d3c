#ifndef SCANRUN_H
#define SCANRUN_H

#include <QList>
#include <QObject>
#include <QSerialPort>

#include "protocol/pendingcommand.h"
#include "scan/scanrequest.h"

class RequestScheduler;
class Serial;

struct ScanHit
{
    int address = 0;
    qint64 baud = 0;
};

// One bus scan through the scheduler: the port is opened at each baud rate
// in turn and every address of the range is asked for one register; any
// reply from the asked address, an exception too, is a hit. The scheduler
// runs with the scan's timing meanwhile. Afterwards the port, the
// scheduler's timing and whether it ran are as they were found. Widget-free.
class ScanRun : public QObject
{
    Q_OBJECT

public:
    ScanRun(RequestScheduler *scheduler, Serial *serial, QObject *parent = nullptr);

    // False, with errorText(), when another scan runs or the port does not
    // open at the first baud rate; finished() follows in every other case.
    bool start(const ScanRequest &request);
    void cancel();
    bool isRunning() const { return running; }
    QString errorText() const { return error; }
    const QList<ScanHit> &hits() const { return found; }
    int total() const { return request.addressCount() * request.bauds.size(); }
    int asked() const { return askedCount; }

signals:
    void hitFound(const ScanHit &hit);
    void progressed(int asked, int total);
    // errorText() is set when a later baud rate would not open.
    void finished(bool cancelled);

private:
    void scanBaud(int index);
    void onAnswered(const PendingCommand &request);
    void onUnanswered(const PendingCommand &request);
    void countAsked();
    void onBaudDone();
    void finish(bool cancelled);
    void restoreLine();

    RequestScheduler *scheduler;
    Serial *serial;
    ScanRequest request;
    bool running = false;
    int baudIndex = 0;
    int askedCount = 0;
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
        int txTime = 0;
        quint32 rxOutTime = 0;
    } before;
};

#endif // SCANRUN_H

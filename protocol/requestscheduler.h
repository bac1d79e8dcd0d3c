#ifndef REQUESTSCHEDULER_H
#define REQUESTSCHEDULER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include "protocol/linestatistics.h"
#include "protocol/pendingcommand.h"

class Serial;

// The one owner of the line's traffic. Requests leave one at a time, a tick
// (txTime) apart; a request is awaited until a block arrives or rxOutTime
// has passed, and writes may jump the queue. Every decoded reply goes back
// to the request last sent, which keeps that role after its timeout, so a
// late reply still lands with it; each client picks out its own requests by
// owner. Widget-free: the window, the command line and the tests share it.
class RequestScheduler : public QObject
{
    Q_OBJECT

public:
    explicit RequestScheduler(Serial *serial, QObject *parent = nullptr);

    void setTiming(int txTimeMs, quint32 rxOutTimeMs);
    int txTime() const { return txTimeMs; }
    quint32 rxOutTime() const { return rxOutTimeMs; }
    // Replies from another address are ignored; requests carry their own.
    void setSlaveAddress(quint8 address) { slaveAddress = address; }

    // Ticks while the port is open; start() also zeroes the statistics.
    void start();
    // Drops what is queued and awaited: none of it may reach a device
    // opened later.
    void stop();
    bool isRunning() const { return tickTimer.isActive(); }

    void enqueue(const PendingCommand &command);
    void enqueueFirst(const PendingCommand &command);
    void cancel(const QObject *owner);
    bool isAwaiting() const { return waitElapsedMs != 0; }
    bool isBusy() const { return isAwaiting() || !queue.isEmpty(); }

    // A frame sent by hand while nothing is awaited: what comes back belongs
    // to no request.
    void forgetLastRequest();

    const LineStatistics &statistics() const { return stats; }
    void resetStatistics();

public slots:
    void tick();
    void takeBlock(const QByteArray &block);

signals:
    void received(const QByteArray &block);
    void lineError(const QString &text);
    void readAnswered(const PendingCommand &request, const QList<quint16> &values);
    // request.owner is null when no request was sent since the last hand-sent
    // frame.
    void writeEchoed(const PendingCommand &request, quint16 address, quint16 value);
    void exceptionAnswered(const PendingCommand &request, quint8 code);
    void timedOut(const PendingCommand &request);
    // A block ended the wait for the request but was no reply to it (a CRC
    // error, another slave, a reply that cannot be decoded).
    void unanswered(const PendingCommand &request);
    // A tick found nothing queued and nothing awaited.
    void idle();
    void statisticsChanged();

private:
    void sendNext();
    void waitLonger();
    // Each is true when the block answered the request last sent.
    bool handleValidBlock(const QByteArray &block);
    bool handleRead(const QByteArray &block);
    bool handleWriteEcho(const QByteArray &block);
    bool handleException(const QByteArray &block);
    void countValidReply();
    quint8 expectedSlave() const;

    Serial *serial;
    QTimer tickTimer;
    QList<PendingCommand> queue;
    PendingCommand lastSent;
    bool hasLastSent = false;
    int txTimeMs = 100;
    quint32 rxOutTimeMs = 1000;
    quint32 waitElapsedMs = 0;
    quint8 slaveAddress = 1;
    LineStatistics stats;
    QElapsedTimer roundTrip;

    // Lets the tests set up a reply awaited by a given request.
    friend struct MainWindowInspector;
};

// "Modbus exception 02: illegal data address"
QString exceptionText(quint8 code);

#endif // REQUESTSCHEDULER_H

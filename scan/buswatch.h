#ifndef BUSWATCH_H
#define BUSWATCH_H

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTimer>

#include "protocol/pendingcommand.h"
#include "protocol/requestoutcome.h"
#include "registermap/driverroles.h"
#include "registermap/registerinfo.h"

class RequestScheduler;

// What the bus watch knows of one driver of the line.
struct BusDriver
{
    int address = 0;
    DriverIdentity identity;
    bool identityRead = false;
    // Identity rows the driver refuses: asked no more, so that its alarm
    // rows are read.
    QList<quint16> identityRefused;
    // Raw values of the alarm and status rows, as last read; known only
    // once read in this session.
    qint64 alarm = 0;
    qint64 status = 0;
    bool alarmKnown = false;
    bool statusKnown = false;
    QDateTime lastAnswer;
    int silentInRow = 0;

    // Two reads in a row without an answer: shown as lost, kept in the list.
    bool lost() const { return silentInRow >= 2; }
    bool inAlarm(const DriverProfile &profile) const;
};

// Watches every driver of the line besides the one the window shows: each
// driver's identity once, then its alarm and status rows in turn, one read
// per driver an interval (default 1 s), so that the shown driver's own
// refresh keeps its pace. Reads go through the window's scheduler, each
// frame addressed to its driver, and a reply counts only for the request
// it answers. Widget-free.
class BusWatch : public QObject
{
    Q_OBJECT

public:
    explicit BusWatch(RequestScheduler *scheduler, QObject *parent = nullptr);

    void setMap(const QList<RegisterInfo> &rows);
    // Keeps what is known of drivers that stay in the list.
    void setDrivers(const QList<int> &addresses);
    QList<int> drivers() const { return order; }
    BusDriver driver(int address) const { return known.value(address); }
    const DriverProfile &profile() const { return roles; }
    const QList<RegisterInfo> &mapRows() const { return rows; }
    void setInterval(int msPerDriver);

    // Reads while the line is open. What was read is forgotten when a
    // session ends, since a driver may change in between.
    void start();

signals:
    void driverChanged(int address);

private:
    void readNext();
    void forget();
    QList<quint16> dueReads(const BusDriver &driver) const;
    void onCompleted(const PendingCommand &request, const RequestOutcome &outcome);
    void store(BusDriver &driver, quint16 address, const RequestOutcome &outcome);

    RequestScheduler *scheduler;
    QList<RegisterInfo> rows;
    DriverProfile roles;
    QList<int> order;
    QMap<int, BusDriver> known;
    QTimer timer;
    int intervalMs = 1000;
    int nextDriver = 0;
    int outstanding = 0;
};

#endif // BUSWATCH_H

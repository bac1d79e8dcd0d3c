#include "scan/buswatch.h"
#include "registermap/addressrules.h"

#include "protocol/requestscheduler.h"
#include "registermap/registerframes.h"
#include "registermap/registervalue.h"

bool BusDriver::inAlarm(const DriverProfile &profile) const
{
    const bool code = alarmKnown && alarm != 0;
    const bool bit = statusKnown && profile.alarmBit >= 0 && (status >> profile.alarmBit & 1);
    return code || bit;
}

BusWatch::BusWatch(RequestScheduler *scheduler, QObject *parent)
    : QObject(parent)
    , scheduler(scheduler)
{
    timer.setInterval(intervalMs);
    connect(&timer, &QTimer::timeout, this, &BusWatch::readNext);
    connect(scheduler, &RequestScheduler::completed, this, &BusWatch::onCompleted);
    // What a driver said belongs to its session: it may be another one next time.
    connect(scheduler, &RequestScheduler::sessionEnded, this, &BusWatch::forget);
}

void BusWatch::setMap(const QList<RegisterInfo> &registers)
{
    rows = registers;
    roles = driverProfile(rows);
    for (BusDriver &driver : known)
        driver = BusDriver{driver.address};
}

void BusWatch::setDrivers(const QList<int> &addresses)
{
    QMap<int, BusDriver> kept;
    for (int address : addresses)
        kept.insert(address, known.contains(address) ? known.value(address) : BusDriver{address});
    known = kept;
    order = addresses;
    nextDriver = 0;
}

void BusWatch::setInterval(int msPerDriver)
{
    intervalMs = qMax(50, msPerDriver);
    timer.setInterval(order.isEmpty() ? intervalMs : qMax(50, intervalMs / order.size()));
}

void BusWatch::start()
{
    setInterval(intervalMs);
    timer.start();
}

void BusWatch::forget()
{
    scheduler->cancel(this);
    outstanding = 0;
    for (BusDriver &driver : known) {
        driver = BusDriver{driver.address};
        emit driverChanged(driver.address);
    }
}

// The identity until it is whole, then the alarm and status rows.
QList<quint16> BusWatch::dueReads(const BusDriver &driver) const
{
    QList<quint16> reads;
    for (quint16 address : roles.identity) {
        if (!driver.identity.values.contains(address) && !driver.identityRefused.contains(address))
            reads << address;
    }
    if (!reads.isEmpty())
        return reads;
    if (roles.alarmAddress >= 0)
        reads << quint16(roles.alarmAddress);
    if (roles.statusAddress >= 0)
        reads << quint16(roles.statusAddress);
    return reads;
}

// One driver a tick, in turn, and only when the line is idle: the window's
// refresh, a parameter run or a scan always go first, and a read of ours
// still out holds the next one back.
void BusWatch::readNext()
{
    if (outstanding > 0 || order.isEmpty() || !scheduler->isRunning() || scheduler->isBusy())
        return;
    nextDriver %= order.size();
    const int address = order.at(nextDriver++);
    const QList<quint16> reads = dueReads(known[address]);
    for (quint16 registerAddress : reads) {
        const RegisterInfo *row = linesAt(rows, registerAddress).value(0);
        if (!row)
            continue;
        scheduler->enqueue({readRegisterCmd(quint8(address), *row), row->address, quint16(row->format.wordCount()),
                            this, address});
        ++outstanding;
    }
}

void BusWatch::onCompleted(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (request.owner != this)
        return;
    outstanding = qMax(0, outstanding - 1);
    if (!known.contains(request.tag) || outcome.kind == OutcomeKind::Cancelled)
        return;
    BusDriver &driver = known[request.tag];
    // An exception is an answer too: the driver is there.
    if (!outcome.answered() && outcome.kind != OutcomeKind::Refused) {
        ++driver.silentInRow;
    } else {
        driver.silentInRow = 0;
        driver.lastAnswer = QDateTime::currentDateTime();
        if (outcome.answered())
            store(driver, request.address, outcome);
        else if (roles.identity.contains(request.address) && !driver.identityRefused.contains(request.address))
            driver.identityRefused.append(request.address);
    }
    emit driverChanged(driver.address);
}

void BusWatch::store(BusDriver &driver, quint16 address, const RequestOutcome &outcome)
{
    const RegisterInfo *row = linesAt(rows, address).value(0);
    if (!row || outcome.values.size() < row->format.wordCount())
        return;
    const qint64 raw = RegisterValue(row->format).fromWords(outcome.values.at(0), outcome.values.value(1));
    if (roles.identity.contains(address)) {
        driver.identity.values.insert(address, raw);
        driver.identityRead = driver.identity.values.size() == roles.identity.size();
    }
    if (address == roles.alarmAddress) {
        driver.alarm = raw;
        driver.alarmKnown = true;
    }
    if (address == roles.statusAddress) {
        driver.status = raw;
        driver.statusKnown = true;
    }
}

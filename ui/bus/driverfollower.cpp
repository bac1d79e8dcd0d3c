#include "ui/bus/driverfollower.h"

#include "ui/bus/busview.h"
#include "ui/port/portsession.h"
#include "monitor/alarmwatch.h"
#include "registermap/refreshcontroller.h"
#include "registermap/registerstore.h"
#include "scan/buswatch.h"

#include <QAbstractButton>

DriverFollower::DriverFollower(const Parts &parts)
    : QObject(parts.session)
    , parts(parts)
{
    typingPause.setSingleShot(true);
    typingPause.setInterval(typingPauseMs);
    connect(&typingPause, &QTimer::timeout, this, &DriverFollower::readWhenFree);
    connect(parts.session, &PortSession::driverChanged, this, &DriverFollower::follow);
    // Opening or closing the port reads, or cannot: nothing is owed after.
    connect(parts.session, &PortSession::portStateShown, this, [this] {
        readOwed = false;
        typingPause.stop();
    });
    // A refresh of the driver before still running: the read follows it.
    connect(parts.refresh, &RefreshController::refreshAvailable, this, [this](bool available) {
        if (available && readOwed && !typingPause.isActive())
            readWhenFree();
    });
}

void DriverFollower::follow()
{
    const BusDriver known = parts.bus->knownDriver(int(parts.store->slaveAddress()));
    if (known.alarmKnown || known.statusKnown)
        parts.alarms->takeBusReading(known.alarm, known.alarmKnown, known.status, known.statusKnown,
                                     known.lastAnswer);
    if (!parts.session->isOpen())
        return;
    readOwed = true;
    typingPause.start();
}

void DriverFollower::readWhenFree()
{
    if (!readOwed || !parts.session->isOpen() || !parts.readAll->isEnabled())
        return;
    readOwed = false;
    parts.refresh->refreshAll();
}

#include "ui/alarm/driverwatchviews.h"

#include "ui/language/followlanguage.h"

#include "ui/alarm/alarmbanner.h"
#include "ui/log/trafficlogview.h"
#include "ui/port/identityline.h"
#include "ui/port/portsession.h"
#include "monitor/alarmwatch.h"
#include "serial/serial.h"

#include <QAction>
#include <QBoxLayout>
#include <QMenu>

DriverWatchViews::DriverWatchViews(const DriverWatchParts &parts)
    : QObject(parts.window)
    , watch(new AlarmWatch(parts.store, this))
    , identity(new IdentityLine(parts.store, parts.window))
    , banner(new AlarmBanner(watch, parts.window))
{
    parts.tableColumn->insertWidget(parts.tableColumn->indexOf(parts.table), banner);
    parts.identityRow->insertWidget(parts.identityRow->indexOf(parts.identityAfter) + 1, identity, 1);
    connect(parts.session, &PortSession::valuesStale, watch, &AlarmWatch::valuesLost);
    connect(parts.session, &PortSession::valuesStale, identity, &IdentityLine::forget);
    connect(parts.session, &PortSession::driverChanged, watch, &AlarmWatch::driverChanged);
    connect(parts.session, &PortSession::driverChanged, identity, &IdentityLine::forget);
    connect(parts.session, &PortSession::portStateShown, watch,
            [this](bool open) { watch->setLine(open ? Serial::instance()->lineName() : QString()); });
    parts.log->addExportSection([this] { return watch->historyText(); });
    QAction *history = parts.viewMenu->addAction(tr("报警历史…"), banner, &AlarmBanner::showHistory);
    history->setObjectName(QStringLiteral("alarmHistoryAction"));
    followLanguage(banner, [this, history] { history->setText(tr("报警历史…")); });
}

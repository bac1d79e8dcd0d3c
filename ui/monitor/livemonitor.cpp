#include "livemonitor.h"

#include "ui/dockplacement.h"
#include "ui/monitor/monitordock.h"

#include "registermap/driverroles.h"

#include <QCheckBox>
#include <QEvent>
#include <QMainWindow>
#include <QMenu>
#include <algorithm>

namespace {

// A recording always says whether the driver was in alarm.
int recordedAlarmRow(const QList<RegisterInfo> &registers, const QList<int> &watched)
{
    const int address = driverProfile(registers).alarmAddress;
    for (int row = 0; row < registers.size() && address >= 0; ++row) {
        if (registers.at(row).addressValid && registers.at(row).address == address)
            return watched.contains(row) ? -1 : row;
    }
    return -1;
}

} // namespace

// The dock is built with the window, hidden, so that the View menu offers
// the trend from the start.
LiveMonitor::LiveMonitor(QMainWindow *window, QMenu *viewMenu)
    : QObject(window)
    , window(window)
    , dock(new MonitorDock(window))
{
    dock->setObjectName(QStringLiteral("monitorDock"));
    window->addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    // Closed with its ✕, the trend comes back from the View menu; what is
    // refreshed stays as it was.
    offerInMenu(window, dock, viewMenu);
    connect(dock, &MonitorDock::recordingFailed, this, &LiveMonitor::recordingFailed);
}

void LiveMonitor::setSamplingSwitch(QCheckBox *continuous)
{
    samplingSwitch = continuous;
    continuous->installEventFilter(this);
    connect(continuous, &QCheckBox::toggled, this, &LiveMonitor::showSampling);
    connect(dock, &MonitorDock::samplingAsked, continuous, [continuous] { continuous->setChecked(true); });
    showSampling();
}

// The switch is enabled while the port is open.
bool LiveMonitor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        showSampling();
    return QObject::eventFilter(watched, event);
}

void LiveMonitor::showSampling()
{
    dock->showSampling(samplingSwitch->isChecked(), samplingSwitch->isEnabled());
}

void LiveMonitor::toggleRows(const QList<int> &picked, const QList<RegisterInfo> &registers)
{
    QList<int> watched = rows;
    const bool allWatched = std::all_of(picked.begin(), picked.end(), [this](int row) { return isWatched(row); });
    for (int row : picked) {
        if (allWatched)
            watched.removeAll(row);
        else if (!watched.contains(row))
            watched.append(row);
    }
    std::sort(watched.begin(), watched.end());
    watch(watched, registers);
}

void LiveMonitor::clear()
{
    watch({}, {});
}

void LiveMonitor::watch(const QList<int> &watched, const QList<RegisterInfo> &registers)
{
    rows = watched;
    answeredRows.clear();
    alarmRow = recordedAlarmRow(registers, rows);
    QList<RegisterInfo> curves;
    for (int row : rows)
        curves.append(registers.at(row));
    QList<RegisterInfo> recordedOnly;
    if (alarmRow >= 0 && !rows.isEmpty())
        recordedOnly.append(registers.at(alarmRow));
    dock->setWatched(curves, recordedOnly);
    if (rows.isEmpty())
        dock->hide();
    else
        showUnderTable(window, dock);
}

void LiveMonitor::valueArrived(int row, qint64 raw)
{
    if (row == alarmRow)
        return dock->addValue(rows.size(), raw);
    const int index = rows.indexOf(row);
    if (index < 0)
        return;
    answeredRows.insert(row);
    dock->addValue(index, raw);
}

void LiveMonitor::refreshFinished()
{
    if (rows.isEmpty())
        return;
    QList<int> silent;
    for (int index = 0; index < rows.size(); ++index) {
        if (!answeredRows.contains(rows.at(index)))
            silent.append(index);
    }
    answeredRows.clear();
    dock->markGap(silent);
    dock->finishRefresh();
}

void LiveMonitor::refreshesStopped()
{
    QList<int> all;
    for (int index = 0; index < rows.size(); ++index)
        all.append(index);
    dock->markGap(all);
}

void LiveMonitor::lineClosed()
{
    refreshesStopped();
    answeredRows.clear();
    dock->stopRecording();
}

#include "livemonitor.h"

#include "ui/monitor/monitordock.h"

#include "registermap/driverroles.h"

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

LiveMonitor::LiveMonitor(QMainWindow *window, QMenu *viewMenu)
    : QObject(window)
    , window(window)
    , viewMenu(viewMenu)
{
}

// The dock and its plot are built when the first row is watched, not with
// the window: most sessions never plot, and the window shows sooner.
MonitorDock *LiveMonitor::shownDock()
{
    if (!dock) {
        dock = new MonitorDock(window);
        dock->setObjectName(QStringLiteral("monitorDock"));
        window->addDockWidget(Qt::BottomDockWidgetArea, dock);
        // Closed with its ✕, the trend comes back from the View menu; what
        // is refreshed stays as it was.
        viewMenu->addAction(dock->toggleViewAction());
        connect(dock, &MonitorDock::recordingFailed, this, &LiveMonitor::recordingFailed);
    }
    return dock;
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
    if (rows.isEmpty() && !dock)
        return;
    QList<RegisterInfo> curves;
    for (int row : rows)
        curves.append(registers.at(row));
    QList<RegisterInfo> recordedOnly;
    if (alarmRow >= 0 && !rows.isEmpty())
        recordedOnly.append(registers.at(alarmRow));
    shownDock()->setWatched(curves, recordedOnly);
    if (rows.isEmpty() || dock->isVisible()) {
        dock->setVisible(!rows.isEmpty());
        return;
    }
    // The plot appears at the least height that shows it well; the table
    // keeps the rest.
    dock->show();
    window->resizeDocks({dock}, {dock->minimumSizeHint().height()}, Qt::Vertical);
}

void LiveMonitor::valueArrived(int row, qint64 raw)
{
    if (row == alarmRow && dock)
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
    if (!dock)
        return;
    QList<int> all;
    for (int index = 0; index < rows.size(); ++index)
        all.append(index);
    dock->markGap(all);
}

void LiveMonitor::lineClosed()
{
    refreshesStopped();
    answeredRows.clear();
    if (dock)
        dock->stopRecording();
}

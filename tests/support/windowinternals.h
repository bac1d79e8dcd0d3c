#ifndef WINDOWINTERNALS_H
#define WINDOWINTERNALS_H

#include "ui/mainwindow.h"
#include "ui/log/logbuffer.h"
#include "ui/log/trafficlogview.h"
#include "ui/table/registertableview.h"
#include "ui/monitor/livemonitor.h"
#include "protocol/modbusmaster.h"
#include "protocol/requestscheduler.h"
#include "registermap/refreshcontroller.h"
#include "registermap/registerstore.h"

// The tests' one way into the state and slots that MainWindow keeps private.
struct MainWindowInspector
{
    static const QList<RegisterInfo> &registerList(MainWindow &w) { return w.store->rows(); }
    static QList<quint16> registerAddrs(MainWindow &w) { return w.store->addresses(); }
    static QList<PendingCommand> &cmdQueue(MainWindow &w) { return w.scheduler->queue; }
    static quint32 slaveAddress(const MainWindow &w) { return w.store->slaveAddress(); }
    // The address the window's requests are built with.
    static quint8 sessionSlave(const MainWindow &w) { return w.scheduler->slaveAddress(); }
    static int txTime(const MainWindow &w) { return w.store->txTime(); }
    static quint32 rxOutTime(const MainWindow &w) { return w.store->rxOutTime(); }
    static quint32 &waitElapsed(MainWindow &w) { return w.scheduler->waitElapsedMs; }
    // The table row whose read was sent last: the row a read reply lands in.
    static int currentRow(MainWindow &w) { return w.scheduler->awaited.tag; }
    static const QObject *awaitedOwner(MainWindow &w) { return w.scheduler->isAwaiting() ? w.scheduler->awaited.owner : nullptr; }
    static PendingCommand tableRead(MainWindow &w, int row)
    {
        const quint16 address = w.store->hasRow(row) ? w.store->rows().at(row).address : 0;
        return PendingCommand{ModbusMaster::instance()->readCmd(1, address, 1), address, 1, w.refresh, row};
    }
    static void awaitRequest(MainWindow &w, const PendingCommand &request)
    {
        w.scheduler->awaited = request;
        w.scheduler->waitElapsedMs = 1;
        w.scheduler->sentAtMs = w.scheduler->now();
    }
    static void awaitRow(MainWindow &w, int row) { awaitRequest(w, tableRead(w, row)); }
    static bool &isDisplayOn(MainWindow &w) { return w.logView->displayOn; }
    static LogBuffer &trafficLog(MainWindow &w) { return w.logView->buffer(); }
    static QTimer &pollTimer(MainWindow &w) { return w.scheduler->tickTimer; }
    static RequestScheduler &scheduler(MainWindow &w) { return *w.scheduler; }
    // The request whose reply is awaited; valid while the scheduler awaits one.
    static const PendingCommand &awaited(MainWindow &w) { return w.scheduler->awaited; }
    static LiveMonitor &liveMonitor(MainWindow &w) { return *w.liveMonitor; }
    static void adjustColumnWidths(MainWindow &w) { w.tableView->adjustColumnWidths(); }
    // Lets one window read many maps in a row (the window itself loads once).
    static void forgetRegisterMap(MainWindow &w) { w.store->clear(); }

    static void tick(MainWindow &w) { w.scheduler->tick(); }
    static void receive(MainWindow &w, const QByteArray &block) { w.scheduler->takeBlock(block); }
    static void requestWrite(MainWindow &w, int row, const QByteArray &frame) { w.on_sendWriteCmd(row, frame); }
    static void clickDataRefresh(MainWindow &w) { w.on_pushButton_dataRefresh_clicked(); }
};

#endif // WINDOWINTERNALS_H

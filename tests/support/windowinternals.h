#ifndef WINDOWINTERNALS_H
#define WINDOWINTERNALS_H

#include "app/mainwindow.h"

// The tests' one way into the state and slots that MainWindow keeps private.
struct MainWindowInspector
{
    static QList<RegisterInfo> &registerList(MainWindow &w) { return w.registerList; }
    static const QList<quint16> &registerAddrs(MainWindow &w) { return w.registerAddrs; }
    static QList<PendingCommand> &cmdQueue(MainWindow &w) { return w.cmdQueue; }
    static quint32 slaveAddress(const MainWindow &w) { return w.slaveAddress; }
    static int txTime(const MainWindow &w) { return w.txTime; }
    static quint32 rxOutTime(const MainWindow &w) { return w.rxOutTime; }
    static quint32 &waitElapsed(MainWindow &w) { return w.waitElapsed; }
    static int &currentRow(MainWindow &w) { return w.currentRow; }
    static bool &isDisplayOn(MainWindow &w) { return w.isDisplayOn; }
    static QTimer &pollTimer(MainWindow &w) { return w.pollTimer; }
    static void adjustColumnWidths(MainWindow &w) { w.adjustColumnWidths(); }
    // Lets one window read many maps in a row (the window itself loads once).
    static void forgetRegisterMap(MainWindow &w) { w.registerList.clear(); w.registerAddrs.clear(); }

    static void tick(MainWindow &w) { w.on_timerHandle(); }
    static void receive(MainWindow &w, const QByteArray &block) { w.on_serialReceive(block); }
    static void requestWrite(MainWindow &w, int row, const QByteArray &frame) { w.on_sendWriteCmd(row, frame); }
    static void clickDataRefresh(MainWindow &w) { w.on_pushButton_dataRefresh_clicked(); }
};

#endif // WINDOWINTERNALS_H

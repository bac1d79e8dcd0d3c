#ifndef MAINWINDOWINSPECTOR_H
#define MAINWINDOWINSPECTOR_H

#include "app/mainwindow.h"

// The tests' one way into the state that MainWindow keeps private.
struct MainWindowInspector
{
    static const QList<RegisterInfo> &registerList(const MainWindow &w) { return w.registerList; }
    static const QList<quint16> &registerAddrs(const MainWindow &w) { return w.registerAddrs; }
    static quint32 slaveAddress(const MainWindow &w) { return w.slaveAddress; }
    static int txTime(const MainWindow &w) { return w.txTime; }
    static quint32 rxOutTime(const MainWindow &w) { return w.rxOutTime; }
    static const QTimer &pollTimer(const MainWindow &w) { return w.pollTimer; }
    static bool isDisplayOn(const MainWindow &w) { return w.isDisplayOn; }
    static void adjustColumnWidths(MainWindow &w) { w.adjustColumnWidths(); }
};

#endif // MAINWINDOWINSPECTOR_H

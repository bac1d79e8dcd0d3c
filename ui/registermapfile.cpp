#include "ui/mainwindow.h"
#include "ui/table/registertableview.h"
#include "registermap/registermap.h"

void MainWindow::readRegisterInfo(const QString &fileName)
{
    RegisterMap map;
    map.slaveAddress = slaveAddress;
    map.txTime = txTime;
    map.rxOutTime = rxOutTime;
    if (!::loadRegisterMap(fileName, &map)) {
        showRefusal(tr("文件读取失败，请检查文件是否存在!"));
    } else {
        slaveAddress = map.slaveAddress;
        txTime = map.txTime;
        rxOutTime = map.rxOutTime;
        refreshPlan.setBlockSize(map.blockRead);
        valueEditWin.setWriteFunction(map.writeFunction);
        // A map read at start-up fills empty lists: sharing them costs nothing.
        registerList += map.registers;
        for (const RegisterInfo &info : qAsConst(map.registers))
            registerAddrs.append(info.address);
    }
    tableView->fill();
    reportMapProblems(fileName, map);
}

RegisterInfo MainWindow::parseRegisterLine(const QString &line)
{
    return ::parseRegisterLine(line);
}

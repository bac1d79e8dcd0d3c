#include "app/mainwindow.h"
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
        for (const RegisterInfo &info : qAsConst(map.registers)) {
            registerList.append(info);
            registerAddrs.append(info.address);
        }
        reportMapProblems(fileName, map);
    }
    fillRegisterTable();
}

RegisterInfo MainWindow::parseRegisterLine(const QString &line)
{
    return ::parseRegisterLine(line);
}

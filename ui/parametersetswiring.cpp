#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/problemlist.h"
#include "ui/paramsets/parametersetspanel.h"
#include "serial/serial.h"

#include <QFileInfo>
#include <QSerialPort>

void MainWindow::connectParameterSets()
{
    parameterSets = new ParameterSetsPanel(scheduler, this);
    connect(parameterSets, &ParameterSetsPanel::notice, this, &MainWindow::showRefusal);
    // A scan takes the line from a backup, compare or restore: they wait for
    // each other.
    connect(parameterSets, &ParameterSetsPanel::busyChanged, ui->pushButton_scan,
            [this](bool busy) { ui->pushButton_scan->setEnabled(!busy); });
    connect(parameterSets, &ParameterSetsPanel::fileRefused, this, [this](const QString &path, const QStringList &problems) {
        showProblemList(this, tr("参数文件 %1 无法使用，未比较也未写入任何参数。").arg(QFileInfo(path).fileName()), problems);
    });
    auto driver = [this] {
        return DriverContext{registerList, Serial::instance()->serialPort->portName(), slaveAddress,
                             QStringLiteral("RegisterInfo")};
    };
    connect(ui->pushButton_saveParams, &QPushButton::clicked, this, [this, driver] { parameterSets->backup(driver()); });
    connect(ui->pushButton_loadParams, &QPushButton::clicked, this, [this, driver] { parameterSets->load(driver()); });
    ui->pushButton_saveParams->setEnabled(false);
    ui->pushButton_loadParams->setEnabled(false);
}

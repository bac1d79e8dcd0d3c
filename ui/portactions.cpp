#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/table/registertableview.h"

#include "ui/paramsets/parametersetspanel.h"
#include "ui/log/logcolours.h"
#include "ui/log/trafficlogview.h"
#include "ui/port/portpanel.h"
#include "protocol/modbusmaster.h"
#include "ui/monitor/livemonitor.h"
#include "protocol/requestscheduler.h"
#include "ui/scan/scandialog.h"
#include "scan/scanrun.h"
#include "serial/lineoptions.h"
#include "serial/serial.h"

#include <QColor>
#include <QDebug>
#include <QLabel>
#include <QSerialPort>

void MainWindow::on_pushButton_refresh_clicked()
{
    portPanel->refreshPorts();
}

void MainWindow::on_pushButton_open_clicked()
{
    Serial *serial = Serial::instance();
    if (serial->serialPort->isOpen()) {
        closePort();
        return;
    }

    const QString portName = portPanel->portName();
    const QString baudText = portPanel->baudText();
    if (portName.isEmpty() || baudText.isEmpty())
        return;
    // The field may show a refused address while an earlier one is applied;
    // polling must not go to a driver the user cannot see.
    quint32 address = 0;
    if (!portPanel->address(&address)) {
        showRefusal(tr("\n设备地址无效 !\n"));
        return;
    }
    if (!serial->openPort(portName, baudText.toUInt(nullptr, 10), portPanel->parity(), portPanel->stopBits())) {
        showRefusal(tr("\n串口 %1 打开失败：\n%2\n").arg(portName, serial->openError()));
        return;
    }
    scheduler->resetStatistics();
    scheduler->start();
    on_pushButton_dataRefresh_clicked();
    showPortState(true);
    if (!scheduler->isBusy())
        setDataRefreshEnabled(true);
}

// Requests still queued, and the reply awaited, belong to the line being
// closed: none of them may reach a device opened later.
void MainWindow::closePort()
{
    scheduler->stop();
    valueEditWin.hide();
    tableView->markValuesStale();
    liveMonitor->lineClosed();
    refreshPlan.forgetRefusals();
    refreshInProgress = false;
    Serial::instance()->serialPort->close();
    showPortState(false);
    setDataRefreshEnabled(false);
}

// The device went away under an open port: the panel closes as if the user
// had pressed the button, so that the port can be opened again once the
// device is back.
void MainWindow::on_portLost(QString errorText)
{
    if (!Serial::instance()->serialPort->isOpen())
        return;
    const QString port = portLocation(Serial::instance()->serialPort->portName());
    closePort();
    onLineError(QStringLiteral("Serial port error: ") + errorText);
    // The log may be stopped or scrolled away: the user is told at once.
    showRefusal(tr("串口 %1 已断开：%2").arg(port, errorText));
}

// The panel, and the controls that work only on an open port.
void MainWindow::showPortState(bool open)
{
    portPanel->showState(open);
    ui->checkBox_continuous->setEnabled(open);
    if (!open)
        ui->checkBox_continuous->setChecked(false);
    ui->pushButton_saveParams->setEnabled(open);
    ui->pushButton_loadParams->setEnabled(open);
    if (!open)
        parameterSets->stop();
}

void MainWindow::on_lineEdit_deviceAddr_textChanged(const QString &arg1)
{
    quint32 address = 0;
    if (!portPanel->acceptAddress(arg1, &address))
        return;
    slaveAddress = address;
    scheduler->setSlaveAddress(quint8(slaveAddress & 0xFF));
    qDebug() << "void MainWindow::on_lineEdit_deviceAddr_textChanged(const QString&)"
             << "set slaveAddress:" << slaveAddress;
}

// An open port stays open through the scan: polling pauses, and the scan
// puts the line back as it found it.
void MainWindow::on_pushButton_scan_clicked()
{
    // The scan reopens the line: what the table shows is no longer live.
    if (Serial::instance()->serialPort->isOpen()) {
        refreshInProgress = false;
        setDataRefreshEnabled(false);
        tableView->markValuesStale();
    }
    ScanRequest request;
    request.port = portPanel->portName();
    request.parity = portPanel->parity();
    request.stopBits = portPanel->stopBits();
    request.registerAddress = registerList.isEmpty() ? 0 : registerList.first().address;
    auto *dialog = new ScanDialog(scheduler, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setRequest(request);
    connect(dialog, &ScanDialog::hitChosen, this, &MainWindow::useScanHit);
    connect(dialog, &QDialog::finished, this, &MainWindow::resumeAfterScan);
    connect(dialog->run(), &ScanRun::baudScanned, this, [this](qint64 baud, int asked, int answered) {
        logView->append(LogColour::Normal,
                        QStringLiteral("Scan at %1 baud: %2 addresses asked, %3 answered").arg(baud).arg(asked).arg(answered));
    });
    ui->pushButton_saveParams->setEnabled(false);
    ui->pushButton_loadParams->setEnabled(false);
    dialog->open();
}

// The panel and the line must never disagree: with the port open, it is
// opened again at what the scan found.
void MainWindow::useScanHit(const ScanHit &hit)
{
    portPanel->selectLine(hit.baud, hit.parity, hit.stopBits);
    portPanel->setAddress(hit.address);
    if (!Serial::instance()->serialPort->isOpen())
        return;
    closePort();
    on_pushButton_open_clicked();
}

void MainWindow::resumeAfterScan()
{
    const bool open = Serial::instance()->serialPort->isOpen();
    showPortState(open);
    setDataRefreshEnabled(open && !scheduler->isBusy());
}

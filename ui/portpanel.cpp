#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/paramsets/parametersetspanel.h"
#include "ui/log/logcolours.h"
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

namespace {

// A device address is decimal 0..255.
bool toDeviceAddress(const QString &text, quint32 *address)
{
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok || number < 0 || number > 255)
        return false;
    *address = quint32(number);
    return true;
}

} // namespace

void MainWindow::on_pushButton_refresh_clicked()
{
    const QStringList ports = Serial::instance()->portList();
    // An invisible 1 x 30 icon makes every drop-down row 30 pixels high.
    QPixmap spacer(1, 30);
    spacer.fill(Qt::transparent);
    const QIcon spacerIcon(spacer);
    ui->comboBox_port->setIconSize(QSize(1, 30));
    ui->comboBox_port->clear();
    for (const QString &port : ports)
        ui->comboBox_port->insertItem(ui->comboBox_port->count(), spacerIcon, port, QVariant());
}

void MainWindow::on_pushButton_open_clicked()
{
    Serial *serial = Serial::instance();
    if (serial->serialPort->isOpen()) {
        closePort();
        return;
    }

    const QString portName = ui->comboBox_port->currentText().trimmed();
    const QString baudText = ui->comboBox_buad->currentText().trimmed();
    if (portName.isEmpty() || baudText.isEmpty())
        return;
    // The field may show a refused address while an earlier one is applied;
    // polling must not go to a driver the user cannot see.
    quint32 address = 0;
    if (!toDeviceAddress(ui->lineEdit_deviceAddr->text(), &address)) {
        showRefusal(tr("\n设备地址无效 !\n"));
        return;
    }
    const auto parity = QSerialPort::Parity(ui->comboBox_parity->currentData().toInt());
    const auto stopBits = QSerialPort::StopBits(ui->comboBox_stopBits->currentData().toInt());
    if (!serial->openPort(portName, baudText.toUInt(nullptr, 10), parity, stopBits)) {
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
    markValuesStale();
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
    if (isDisplayOn)
        onLineError(QStringLiteral("Serial port error: ") + errorText);
    // The log may be stopped or scrolled away: the user is told at once.
    showRefusal(tr("串口 %1 已断开：%2").arg(port, errorText));
}

// Port state text, button face and the controls that must not change while
// the port is open.
void MainWindow::showPortState(bool open)
{
    portStateLabel->setText(open ? tr("  串口状态 : 已连接    ")
                                 : tr("  串口状态 : 未连接    "));
    ui->pushButton_open->setText(open ? tr("关闭串口") : tr("打开串口"));
    ui->comboBox_port->setEnabled(!open);
    ui->comboBox_buad->setEnabled(!open);
    ui->comboBox_parity->setEnabled(!open);
    ui->comboBox_stopBits->setEnabled(!open);
    ui->pushButton_refresh->setEnabled(!open);
    ui->lineEdit_deviceAddr->setEnabled(!open);
    ui->checkBox_continuous->setEnabled(open);
    if (!open)
        ui->checkBox_continuous->setChecked(false);
    ui->pushButton_saveParams->setEnabled(open);
    ui->pushButton_loadParams->setEnabled(open);
    if (!open)
        parameterSets->stop();
    ui->pushButton_refresh->setStyleSheet(open
        ? QStringLiteral("border-image: url(:/new/prefix1/picture/findport2.png)")
        : QStringLiteral("border-image: url(:/new/prefix1/picture/findport.png)"));
}

void MainWindow::on_lineEdit_deviceAddr_textChanged(const QString &arg1)
{
    quint32 address = 0;
    if (!toDeviceAddress(arg1, &address)) {
        ui->lineEdit_deviceAddr->setStyleSheet(QStringLiteral("QLineEdit{border:1px solid red }"));
        return;
    }
    ui->lineEdit_deviceAddr->setStyleSheet(QString());
    slaveAddress = address;
    ModbusMaster::instance()->slaveAddress = quint8(slaveAddress & 0xFF);
    qDebug() << "void MainWindow::on_lineEdit_deviceAddr_textChanged(const QString&)"
             << "set slaveAddress:" << slaveAddress;
}

// 8N1 first: what most drivers leave the factory with.
void MainWindow::initFramingChoices()
{
    ui->comboBox_parity->addItem(tr("无校验"), int(QSerialPort::NoParity));
    ui->comboBox_parity->addItem(tr("偶校验"), int(QSerialPort::EvenParity));
    ui->comboBox_parity->addItem(tr("奇校验"), int(QSerialPort::OddParity));
    ui->comboBox_stopBits->addItem(QStringLiteral("1"), int(QSerialPort::OneStop));
    ui->comboBox_stopBits->addItem(QStringLiteral("2"), int(QSerialPort::TwoStop));
}

// An open port stays open through the scan: polling pauses, and the scan
// puts the line back as it found it.
void MainWindow::on_pushButton_scan_clicked()
{
    // The scan reopens the line: what the table shows is no longer live.
    if (Serial::instance()->serialPort->isOpen()) {
        refreshInProgress = false;
        setDataRefreshEnabled(false);
        markValuesStale();
    }
    ScanRequest request;
    request.port = ui->comboBox_port->currentText().trimmed();
    request.parity = QSerialPort::Parity(ui->comboBox_parity->currentData().toInt());
    request.stopBits = QSerialPort::StopBits(ui->comboBox_stopBits->currentData().toInt());
    request.registerAddress = registerList.isEmpty() ? 0 : registerList.first().address;
    auto *dialog = new ScanDialog(scheduler, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setRequest(request);
    connect(dialog, &ScanDialog::hitChosen, this, &MainWindow::useScanHit);
    connect(dialog, &QDialog::finished, this, &MainWindow::resumeAfterScan);
    connect(dialog->run(), &ScanRun::baudScanned, this, [this](qint64 baud, int asked, int answered) {
        appendLogLine(logLineColour(LogColour::Normal),
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
    ui->comboBox_buad->setCurrentText(QString::number(hit.baud));
    ui->comboBox_parity->setCurrentIndex(ui->comboBox_parity->findData(int(hit.parity)));
    ui->comboBox_stopBits->setCurrentIndex(ui->comboBox_stopBits->findData(int(hit.stopBits)));
    ui->lineEdit_deviceAddr->setText(QString::number(hit.address));
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

#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "protocol/modbusmaster.h"
#include "protocol/requestscheduler.h"
#include "scan/scandialog.h"
#include "scan/scanrun.h"
#include "serial/serial.h"

#include <QColor>
#include <QDebug>
#include <QLabel>
#include <QSerialPort>

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
    const auto parity = QSerialPort::Parity(ui->comboBox_parity->currentData().toInt());
    const auto stopBits = QSerialPort::StopBits(ui->comboBox_stopBits->currentData().toInt());
    if (!serial->openPort(portName, baudText.toUInt(nullptr, 10), parity, stopBits)) {
        showRefusal(QStringLiteral("\n串口 %1 打开失败：\n%2\n").arg(portName, serial->openError()));
        return;
    }
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
    closePort();
    if (isDisplayOn)
        appendLogLine(QColor(255, 180, 180, 255), QStringLiteral("Serial port error: ") + errorText);
}

// Port state text, button face and the controls that must not change while
// the port is open.
void MainWindow::showPortState(bool open)
{
    portStateLabel->setText(open ? QStringLiteral("  串口状态 : 已连接    ")
                                 : QStringLiteral("  串口状态 : 未连接    "));
    ui->pushButton_open->setText(open ? QStringLiteral("关闭串口") : QStringLiteral("打开串口"));
    ui->comboBox_port->setEnabled(!open);
    ui->comboBox_buad->setEnabled(!open);
    ui->comboBox_parity->setEnabled(!open);
    ui->comboBox_stopBits->setEnabled(!open);
    ui->pushButton_refresh->setEnabled(!open);
    ui->lineEdit_deviceAddr->setEnabled(!open);
    ui->pushButton_refresh->setStyleSheet(open
        ? QStringLiteral("border-image: url(:/new/prefix1/picture/findport2.png)")
        : QStringLiteral("border-image: url(:/new/prefix1/picture/findport.png)"));
}

void MainWindow::on_lineEdit_deviceAddr_textChanged(const QString &arg1)
{
    bool ok = false;
    const int address = arg1.toInt(&ok, 10);
    if (!ok || address < 0 || address > 255) {
        ui->lineEdit_deviceAddr->setStyleSheet(QStringLiteral("QLineEdit{border:1px solid red }"));
        return;
    }
    ui->lineEdit_deviceAddr->setStyleSheet(QString());
    slaveAddress = quint32(address);
    ModbusMaster::instance()->slaveAddress = quint8(slaveAddress & 0xFF);
    scheduler->setSlaveAddress(quint8(slaveAddress & 0xFF));
    qDebug() << "void MainWindow::on_lineEdit_deviceAddr_textChanged(const QString&)"
             << "set slaveAddress:" << slaveAddress;
}

// 8N1 first: what most drivers leave the factory with.
void MainWindow::initFramingChoices()
{
    ui->comboBox_parity->addItem(QStringLiteral("无校验"), int(QSerialPort::NoParity));
    ui->comboBox_parity->addItem(QStringLiteral("偶校验"), int(QSerialPort::EvenParity));
    ui->comboBox_parity->addItem(QStringLiteral("奇校验"), int(QSerialPort::OddParity));
    ui->comboBox_stopBits->addItem(QStringLiteral("1"), int(QSerialPort::OneStop));
    ui->comboBox_stopBits->addItem(QStringLiteral("2"), int(QSerialPort::TwoStop));
}

// An open port stays open through the scan: polling pauses, and the scan
// puts the line back as it found it.
void MainWindow::on_pushButton_scan_clicked()
{
    if (Serial::instance()->serialPort->isOpen()) {
        refreshInProgress = false;
        setDataRefreshEnabled(false);
    }
    ScanRequest request;
    request.port = ui->comboBox_port->currentText().trimmed();
    request.parity = QSerialPort::Parity(ui->comboBox_parity->currentData().toInt());
    request.stopBits = QSerialPort::StopBits(ui->comboBox_stopBits->currentData().toInt());
    request.registerAddress = registerList.isEmpty() ? 0 : registerList.first().address;
    auto *dialog = new ScanDialog(scheduler, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setRequest(request);
    connect(dialog, &ScanDialog::hitChosen, this, [this](int address, qint64 baud) {
        ui->comboBox_buad->setCurrentText(QString::number(baud));
        ui->lineEdit_deviceAddr->setText(QString::number(address));
    });
    connect(dialog, &QDialog::finished, this, &MainWindow::resumeAfterScan);
    dialog->open();
}

void MainWindow::resumeAfterScan()
{
    const bool open = Serial::instance()->serialPort->isOpen();
    showPortState(open);
    setDataRefreshEnabled(open && !scheduler->isBusy());
}

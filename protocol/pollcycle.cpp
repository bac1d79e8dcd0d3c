#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "protocol/modbusmaster.h"
#include "serial/serial.h"

#include <QLabel>
#include <QSerialPort>

void MainWindow::on_pushButton_dataRefresh_clicked()
{
    setDataRefreshEnabled(false);
    refreshInProgress = true;
    ModbusMaster *master = ModbusMaster::instance();
    for (const RegisterInfo &info : qAsConst(registerList))
        if (info.addressValid)
            cmdQueue.append(PendingCommand{master->readRegisterCmd(info), info.address});
}

// One request in flight at a time: a tick either waits for the reply, sends
// the next queued frame, or finds nothing to do.
void MainWindow::on_timerHandle()
{
    if (waitElapsed != 0) {
        waitElapsed += quint32(txTime);
        if (waitElapsed > rxOutTime) {
            if (isDisplayOn)
                appendLogLine(QColor(255, 180, 180, 255), QStringLiteral("Data receiving timeout!"));
            waitElapsed = 0;
        }
    } else if (!cmdQueue.isEmpty()) {
        const PendingCommand command = cmdQueue.takeFirst();
        currentRow = registerAddrs.indexOf(command.address);
        Serial::instance()->sendData(command.frame);
        waitElapsed = 1;
    } else {
        setDataRefreshEnabled(true);
        countFinishedRefresh();
    }
}

void MainWindow::on_sendWriteCmd(int row, QByteArray cmd)
{
    // A write kept until the next open could reach the driver long after the
    // user meant it; refuse it instead.
    if (!Serial::instance()->serialPort->isOpen()) {
        showRefusal(QStringLiteral("\n串口未打开 !\n"));
        return;
    }
    setLamp(row, QStringLiteral("red"));
    cmdQueue.prepend(PendingCommand{cmd, registerList.at(row).address});
}

// Every idle tick asks for the enabled face; setting a style sheet repolishes
// the button even when the text is the same, so an unchanged state is left
// alone.
void MainWindow::setDataRefreshEnabled(bool enabled)
{
    QPushButton *button = ui->pushButton_dataRefresh;
    const QString face = enabled
        ? QStringLiteral("border-image: url(:/new/prefix1/picture/dataRefresh.png)")
        : QStringLiteral("border-image: url(:/new/prefix1/picture/dataRefresh2.png)");
    if (button->isEnabled() == enabled && button->styleSheet() == face)
        return;
    button->setEnabled(enabled);
    button->setStyleSheet(face);
}

void MainWindow::countFinishedRefresh()
{
    if (!refreshInProgress)
        return;
    refreshInProgress = false;
    ++refreshCount;
    refreshCountLabel->setText(QStringLiteral("    数据刷新次数 : %1    ").arg(refreshCount));
}

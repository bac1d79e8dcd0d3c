#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/table/registertableview.h"

#include "ui/monitor/livemonitor.h"
#include "protocol/requestscheduler.h"
#include "serial/serial.h"

#include <QLabel>
#include <QSerialPort>

void MainWindow::on_pushButton_dataRefresh_clicked()
{
    setDataRefreshEnabled(false);
    refreshInProgress = true;
    queueRefresh(allRows());
}

QList<int> MainWindow::allRows() const
{
    QList<int> rows;
    rows.reserve(registerList.size());
    for (int row = 0; row < registerList.size(); ++row)
        rows.append(row);
    return rows;
}

// Narrowed to the plotted rows when the user asks for it and has some.
QList<int> MainWindow::continuousRows() const
{
    if (ui->checkBox_watchedOnly->isChecked() && !liveMonitor->watchedRows().isEmpty())
        return liveMonitor->watchedRows();
    return allRows();
}

void MainWindow::connectLiveMonitor()
{
    liveMonitor = new LiveMonitor(this);
    connect(liveMonitor, &LiveMonitor::recordingFailed, this,
            [this](const QString &reason) { showRefusal(tr("\n录制已停止 : %1\n").arg(reason)); });
}

void MainWindow::queueRefresh(const QList<int> &rows)
{
    for (const PendingCommand &command : refreshPlan.requests(registerList, rows, scheduler->slaveAddress(), this))
        scheduler->enqueue(command);
}

void MainWindow::connectScheduler()
{
    scheduler = new RequestScheduler(Serial::instance(), this);
    connect(scheduler, &RequestScheduler::received, this, &MainWindow::on_serialReceive);
    connect(scheduler, &RequestScheduler::lineError, this, &MainWindow::onLineError);
    connect(scheduler, &RequestScheduler::completed, this, &MainWindow::onRequestCompleted);
    connect(scheduler, &RequestScheduler::idle, this, &MainWindow::onLineIdle);
}

// The line has nothing queued and nothing awaited: the refresh has ended,
// and with continuous refresh the next one starts at once.
void MainWindow::onLineIdle()
{
    countFinishedRefresh();
    if (ui->checkBox_continuous->isChecked()) {
        setDataRefreshEnabled(false);
        refreshInProgress = true;
        queueRefresh(continuousRows());
        return;
    }
    liveMonitor->refreshesStopped();
    setDataRefreshEnabled(true);
}

void MainWindow::on_sendWriteCmd(int row, QByteArray cmd)
{
    // A write kept until the next open could reach the driver long after the
    // user meant it; refuse it instead.
    if (!Serial::instance()->serialPort->isOpen()) {
        showRefusal(tr("\n串口未打开 !\n"));
        return;
    }
    // The frame must name the register of the row it is shown for.
    const bool rowKnown = row >= 0 && row < registerList.size() && cmd.size() >= 4;
    if (!rowKnown || registerList.at(row).address != quint16(quint8(cmd.at(2)) << 8 | quint8(cmd.at(3)))) {
        valueEditWin.hide();
        showRefusal(tr("\n此寄存器已不在映射表中 !\n"));
        return;
    }
    // The editor was opened for the driver at another address.
    if (quint8(cmd.at(0)) != scheduler->slaveAddress()) {
        valueEditWin.hide();
        showRefusal(tr("\n站地址已改变，请重新打开编辑窗口 !\n"));
        return;
    }
    tableView->setLamp(row, QStringLiteral("red"));
    const auto words = quint16(registerList.at(row).format.wordCount());
    scheduler->enqueueFirst(PendingCommand{cmd, registerList.at(row).address, words, this, row});
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
    liveMonitor->refreshFinished();
    ++refreshCount;
    refreshCountLabel->setText(tr("    数据刷新次数 : %1    ").arg(refreshCount));
}

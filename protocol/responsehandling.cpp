#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "console/logcolours.h"
#include "monitor/livemonitor.h"
#include "util/hextext.h"

#include <QDateTime>

void MainWindow::on_serialReceive(const QByteArray &data)
{
    if (isDisplayOn)
        appendLogLine(logLineColour(LogColour::Received), receivedLine(data));
}

void MainWindow::onLineError(const QString &text)
{
    if (isDisplayOn)
        appendLogLine(logLineColour(LogColour::Error), text);
}

QString MainWindow::receivedLine(const QByteArray &data) const
{
    const QString prefix = QDateTime::currentDateTime().toString(QStringLiteral("[hh:mm:ss::zzz] "));
    if (ui->checkBox_2->isChecked())
        return prefix + QStringLiteral("Rx(hex):") + byteArrayToHexString(data);
    const int nul = data.indexOf('\0');
    return prefix + QStringLiteral("Rx:") + QString::fromUtf8(nul < 0 ? data : data.left(nul));
}

// A read reply carries no address: its values belong to the rows of the
// request last sent, in order.
void MainWindow::onReadAnswered(const PendingCommand &request, const QList<quint16> &values)
{
    if (request.owner != this)
        return;
    const int rows = request.isWrite() ? 1 : qMin<int>(request.count, values.size());
    for (int i = 0; i < rows; ++i)
        storeReadValue(request.tag + i, values.at(i));
}

// The lamp turns green only when the shown value changes.
void MainWindow::storeReadValue(int row, quint16 value)
{
    if (row < 0 || row >= registerList.size())
        return;
    RegisterInfo &info = registerList[row];
    info.value = value;
    info.valueText = QString::number(value, 10);
    QTableWidgetItem *cell = ui->tableWidget->item(row, 1);
    const bool unchanged = cell->text().trimmed() == info.valueText;
    setLamp(row, unchanged ? QStringLiteral("white") : QStringLiteral("green"));
    cell->setText(info.valueText);
    liveMonitor->valueArrived(row, value);
}

// A write echo names its register, whoever sent the write: every row of
// that address shows the confirmed value in green.
void MainWindow::onWriteEchoed(const PendingCommand &, quint16 address, quint16 value)
{
    bool known = false;
    for (int row = 0; row < registerList.size(); ++row) {
        if (registerList.at(row).address != address || !registerList.at(row).addressValid)
            continue;
        known = true;
        registerList[row].value = value;
        registerList[row].valueText = QString::number(value, 10);
        ui->tableWidget->item(row, 1)->setText(registerList.at(row).valueText);
        setLamp(row, QStringLiteral("green"));
    }
    if (!known)
        onLineError(QStringLiteral("Write Data Parsing Error!"));
}

// A read that brought no value leaves its rows marked as not live.
void MainWindow::onReadFailed(const PendingCommand &request)
{
    if (request.owner != this || request.isWrite())
        return;
    for (int i = 0; i < request.count; ++i)
        setLamp(request.tag + i, QStringLiteral("stale"));
}

// A driver that refuses a block read may still answer its registers one by
// one; they are read singly until the port is closed.
void MainWindow::onBlockRefused(const PendingCommand &request, quint8 code)
{
    onReadFailed(request);
    if (request.owner != this || request.isWrite() || request.count < 2)
        return;
    refreshPlan.readSingly(request.tag, request.count);
    onLineError(QStringLiteral("Block read of %1 registers at 0x%2 refused (exception %3): reading them one by one")
                    .arg(request.count)
                    .arg(request.address, 4, 16, QLatin1Char('0'))
                    .arg(code));
    QList<int> rows;
    for (int i = 0; i < request.count; ++i)
        rows.append(request.tag + i);
    queueRefresh(rows);
}

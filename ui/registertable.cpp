#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "serial/serial.h"

#include <QSerialPort>

#include "ui/monitor/livemonitor.h"

#include <QLabel>
#include <QMenu>
#include <algorithm>
#include <QPixmap>
#include <QPixmapCache>
#include <QKeyEvent>

namespace {

// colour is "white", "red" or "green", the names of the lamp pictures.
// Loading a picture by file name costs a stat and a time-zone lookup on
// every call; with a lamp per row and a lamp change per reply, the three
// pictures are decoded once and shared by all lamps.
QPixmap lampPicture(const QString &colour)
{
    const QString key = QStringLiteral("lamp-") + colour;
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture.load(QStringLiteral(":/new/prefix1/picture/%1.png").arg(colour));
        QPixmapCache::insert(key, picture);
    }
    return picture;
}

} // namespace

void MainWindow::fillRegisterTable()
{
    ui->tableWidget->setRowCount(registerList.size());
    for (int row = 0; row < registerList.size(); ++row)
        setTableRow(registerList.at(row), row);
}

void MainWindow::setTableRow(RegisterInfo info, int row)
{
    QTableWidget *table = ui->tableWidget;
    table->setItem(row, 0, new QTableWidgetItem(info.addressText));
    table->setItem(row, 1, new QTableWidgetItem(info.valueText));

    // The picture goes in before the label joins the table, so that the
    // table is told about the new cell widget once. Until a driver answers,
    // the value is the map's and not live.
    auto *lamp = new QLabel;
    lamp->resize(20, 20);
    lamp->setPixmap(lampPicture(QStringLiteral("stale")));
    table->setCellWidget(row, 1, lamp);

    table->setItem(row, 2, new QTableWidgetItem(info.rangeText));
    table->setItem(row, 3, new QTableWidgetItem(info.permission));
    table->setItem(row, 4, new QTableWidgetItem(info.name));
    table->setItem(row, 5, new QTableWidgetItem(info.remarks));
    for (int column = 0; column < 4; ++column)
        table->item(row, column)->setTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

void MainWindow::setLamp(int row, const QString &colour)
{
    if (auto *lamp = qobject_cast<QLabel *>(ui->tableWidget->cellWidget(row, 1)))
        lamp->setPixmap(lampPicture(colour));
}

// No value shown stays live once its driver is out of reach.
void MainWindow::markValuesStale()
{
    for (int row = 0; row < registerList.size(); ++row)
        setLamp(row, QStringLiteral("stale"));
}

// The rows picked in the table join or leave the trend plot.
void MainWindow::showTableMenu(const QPoint &position)
{
    QList<int> rows;
    for (const QModelIndex &index : ui->tableWidget->selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty())
        return;
    QMenu menu(ui->tableWidget);
    const bool allWatched = std::all_of(rows.begin(), rows.end(), [this](int row) { return liveMonitor->isWatched(row); });
    QAction *toggle = menu.addAction(allWatched ? tr("移出曲线") : tr("加入曲线"));
    connect(toggle, &QAction::triggered, this, [this, rows] { liveMonitor->toggleRows(rows, registerList); });
    menu.exec(ui->tableWidget->viewport()->mapToGlobal(position));
}

void MainWindow::on_clickTabWidget(int row, int column)
{
    if (column != 1)
        return;
    const RegisterInfo &info = registerList.at(row);
    if (!info.addressValid) {
        showRefusal(tr("\n寄存器地址 %1 无效 !\n").arg(info.addressText));
        return;
    }
    if (!Serial::instance()->serialPort->isOpen()) {
        showRefusal(tr("\n串口未打开 !\n"));
        return;
    }
    const QString permission = ui->tableWidget->item(row, 3)->text();
    if (permission.contains(QLatin1Char('w')) || permission.contains(QLatin1Char('W')))
        valueEditWin.showRegister(registerList.at(row), row);
    else
        showRefusal(tr("\n此寄存器无写入权限 !\n"));
}

// Enter or F2 on a value cell opens the editor as a double click does; the
// table's own key presses are filtered, so only a focused table reacts.
void MainWindow::connectEditorKeys()
{
    ui->tableWidget->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != ui->tableWidget || event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_F2)
        return false;
    if (ui->tableWidget->currentRow() >= 0)
        on_clickTabWidget(ui->tableWidget->currentRow(), ui->tableWidget->currentColumn());
    return true;
}

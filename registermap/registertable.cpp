#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "serial/serial.h"

#include <QSerialPort>

#include <QLabel>
#include <QPixmap>

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

    auto *lamp = new QLabel;
    lamp->resize(20, 20);
    table->setCellWidget(row, 1, lamp);
    setLamp(row, QStringLiteral("white"));

    table->setItem(row, 2, new QTableWidgetItem(info.rangeText));
    table->setItem(row, 3, new QTableWidgetItem(info.permission));
    table->setItem(row, 4, new QTableWidgetItem(info.name));
    table->setItem(row, 5, new QTableWidgetItem(info.remarks));
    for (int column = 0; column < 4; ++column)
        table->item(row, column)->setTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

// colour is "white", "red" or "green", the names of the lamp pictures.
void MainWindow::setLamp(int row, const QString &colour)
{
    if (auto *lamp = qobject_cast<QLabel *>(ui->tableWidget->cellWidget(row, 1)))
        lamp->setPixmap(QPixmap(QStringLiteral(":/new/prefix1/picture/%1.png").arg(colour)));
}

void MainWindow::on_clickTabWidget(int row, int column)
{
    if (column != 1)
        return;
    if (!Serial::instance()->serialPort->isOpen()) {
        showRefusal(QStringLiteral("\n串口未打开 !\n"));
        return;
    }
    const QString permission = ui->tableWidget->item(row, 3)->text();
    if (permission.contains(QLatin1Char('w')) || permission.contains(QLatin1Char('W')))
        valueEditWin.showRegister(registerList.at(row), row);
    else
        showRefusal(QStringLiteral("\n此寄存器无写入权限 !\n"));
}

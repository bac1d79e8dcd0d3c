#include "app/mainwindow.h"
#include "ui_mainwindow.h"

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
    lamp->setPixmap(QPixmap(QStringLiteral(":/new/prefix1/picture/white.png")));
    table->setCellWidget(row, 1, lamp);

    table->setItem(row, 2, new QTableWidgetItem(info.rangeText));
    table->setItem(row, 3, new QTableWidgetItem(info.permission));
    table->setItem(row, 4, new QTableWidgetItem(info.name));
    table->setItem(row, 5, new QTableWidgetItem(info.remarks));
    for (int column = 0; column < 4; ++column)
        table->item(row, column)->setTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

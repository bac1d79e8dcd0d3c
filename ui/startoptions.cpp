#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "cli/startoptions.h"
#include "serial/serial.h"

#include <QTimer>

namespace {

void selectData(QComboBox *box, int value)
{
    const int index = box->findData(value);
    if (index >= 0)
        box->setCurrentIndex(index);
}

} // namespace

// The map goes first: it brings its own device address, which a given
// address then overrides.
void MainWindow::applyStartOptions(const StartOptions &options)
{
    if (!options.mapFile.isEmpty())
        loadRegisterMap(options.mapFile);
    if (!options.port.isEmpty())
        ui->comboBox_port->setCurrentText(options.port);
    if (options.baud > 0)
        ui->comboBox_buad->setCurrentText(QString::number(options.baud));
    if (options.parity)
        selectData(ui->comboBox_parity, int(*options.parity));
    if (options.stopBits)
        selectData(ui->comboBox_stopBits, int(*options.stopBits));
    if (options.address >= 0)
        ui->lineEdit_deviceAddr->setText(QString::number(options.address));
    if (options.open)
        QTimer::singleShot(0, this, [this] {
            if (!Serial::instance()->serialPort->isOpen())
                on_pushButton_open_clicked();
        });
}

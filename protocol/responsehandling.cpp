#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "protocol/modbusmaster.h"
#include "util/hextext.h"

#include <QDateTime>

namespace {

const QColor receivedColour(200, 200, 200, 255);
const QColor errorColour(255, 180, 180, 255);
constexpr char readFunction = 0x03;
constexpr char writeFunction = 0x06;

} // namespace

// Any non-empty block ends the wait for a reply, valid or not, so the poll
// cycle moves on at once; only valid replies reach the table.
void MainWindow::on_serialReceive(QByteArray data)
{
    if (data.isEmpty())
        return;
    if (isDisplayOn)
        appendLogLine(receivedColour, receivedLine(data));

    ModbusMaster *master = ModbusMaster::instance();
    if (!master->checkCrc(data)) {
        if (isDisplayOn)
            appendLogLine(errorColour, QStringLiteral("Data CRC Error!"));
    } else if (uchar(data.at(0)) == (slaveAddress & 0xFF)) {
        if (data.at(1) == readFunction) {
            const QList<RegisterInfo> values = master->parseReadReply(data);
            if (values.isEmpty()) {
                if (isDisplayOn)
                    appendLogLine(errorColour, QStringLiteral("Read Data Parsing Error!"));
            } else if (currentRow >= 0 && currentRow < registerList.size()) {
                storeReadReply(values.first());
            } else {
                return;
            }
        } else if (data.at(1) == writeFunction) {
            const RegisterInfo echo = master->parseWriteReply(data);
            if (echo.valueText.isEmpty() || !registerAddrs.contains(echo.address)) {
                if (isDisplayOn)
                    appendLogLine(errorColour, QStringLiteral("Write Data Parsing Error!"));
            } else {
                storeWriteReply(echo);
            }
        }
    }
    waitElapsed = 0;
}

QString MainWindow::receivedLine(const QByteArray &data) const
{
    const QString prefix = QDateTime::currentDateTime().toString(QStringLiteral("[hh:mm:ss::zzz] "));
    if (ui->checkBox_2->isChecked())
        return prefix + QStringLiteral("Rx(hex):") + byteArrayToHexString(data);
    const int nul = data.indexOf('\0');
    return prefix + QStringLiteral("Rx:") + QString::fromUtf8(nul < 0 ? data : data.left(nul));
}

// A read reply carries no address: it belongs to the row of the request
// last sent. The lamp turns green only when the shown value changes.
void MainWindow::storeReadReply(const RegisterInfo &reply)
{
    RegisterInfo &info = registerList[currentRow];
    info.value = reply.value;
    info.valueText = reply.valueText;
    QTableWidgetItem *cell = ui->tableWidget->item(currentRow, 1);
    const bool unchanged = cell->text().trimmed() == reply.valueText.trimmed();
    setLamp(currentRow, unchanged ? QStringLiteral("white") : QStringLiteral("green"));
    cell->setText(reply.valueText);
}

// A write echo names its register; it always confirms with green.
void MainWindow::storeWriteReply(const RegisterInfo &reply)
{
    const int row = registerAddrs.indexOf(reply.address);
    RegisterInfo &info = registerList[row];
    info.value = reply.value;
    info.valueText = reply.valueText;
    ui->tableWidget->item(row, 1)->setText(reply.valueText);
    setLamp(row, QStringLiteral("green"));
}

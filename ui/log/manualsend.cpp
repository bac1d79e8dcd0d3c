#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "protocol/requestscheduler.h"
#include "serial/serial.h"
#include "util/hextext.h"

#include <QSerialPort>

// Writes the send box at once, outside the request queue. With the port
// closed the user is told, and the attempt still shows in the log in red.
void MainWindow::on_pushButton_send_clicked()
{
    Serial *serial = Serial::instance();
    if (!serial->serialPort->isOpen())
        showRefusal(tr("\n      串口未打开 !  \n"));

    const QString text = ui->textEdit_send->toPlainText();
    if (text.isEmpty())
        return;
    scheduler->noteHandSent();
    if (ui->checkBox->isChecked())
        serial->sendData(hexStringToByteArray(text));
    else
        serial->sendText(text);
}

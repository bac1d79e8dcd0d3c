#include "ui/log/manualsendbox.h"

#include "protocol/requestscheduler.h"
#include "serial/serial.h"
#include "util/hextext.h"

#include <QAbstractButton>
#include <QSerialPort>
#include <QTextEdit>

ManualSendBox::ManualSendBox(QTextEdit *text, QAbstractButton *hexSent, RequestScheduler *scheduler)
    : QObject(text)
    , text(text)
    , hexSent(hexSent)
    , scheduler(scheduler)
{
}

// With the port closed the user is told, and the attempt still shows in the
// log in red.
void ManualSendBox::send()
{
    Serial *serial = Serial::instance();
    if (!serial->isOpen())
        emit refused(tr("\n      串口未打开 !  \n"));

    const QString typed = text->toPlainText();
    if (typed.isEmpty())
        return;
    scheduler->noteHandSent();
    const QByteArray bytes = hexSent->isChecked() ? hexStringToByteArray(typed) : typed.toLatin1();
    if (hexSent->isChecked())
        serial->sendData(bytes);
    else
        serial->sendText(typed);
    if (serial->isOpen())
        emit sent(bytes);
}

#include "ui/log/manualsendbox.h"

#include "paramsets/writegate.h"
#include "protocol/requestscheduler.h"
#include "registermap/registerstore.h"
#include "ui/gate/gatequestion.h"
#include "serial/serial.h"
#include "util/hextext.h"

#include <QAbstractButton>
#include <QSerialPort>
#include <QTextEdit>

ManualSendBox::ManualSendBox(QTextEdit *text, QAbstractButton *hexSent, RequestScheduler *scheduler,
                             const RegisterStore *store)
    : QObject(text)
    , text(text)
    , hexSent(hexSent)
    , scheduler(scheduler)
    , store(store)
{
}

bool ManualSendBox::passesGate(const QByteArray &bytes)
{
    const WriteGate gate(store->rows());
    WriteConsent consent;
    QString refusal;
    const auto judge = [&gate, &bytes](const WriteConsent &given) {
        return gate.judgeFrame(WriteOrigin::HandFrame, bytes, given);
    };
    if (askGate(text->window(), judge, &consent, &refusal))
        return true;
    emit refused(refusal.isEmpty() ? tr("\n未发送\n") : QStringLiteral("\n%1\n").arg(refusal));
    return false;
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
    const QByteArray bytes = hexSent->isChecked() ? hexStringToByteArray(typed) : typed.toLatin1();
    if (serial->isOpen() && !passesGate(bytes))
        return;
    scheduler->noteHandSent();
    if (hexSent->isChecked())
        serial->sendData(bytes);
    else
        serial->sendText(typed);
    if (serial->isOpen())
        emit sent(bytes);
}

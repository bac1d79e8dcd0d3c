#ifndef MANUALSENDBOX_H
#define MANUALSENDBOX_H

#include <QObject>

class QAbstractButton;
class QTextEdit;
class RequestScheduler;

// The send box: what the user types goes to the line at once, as
// hexadecimal bytes or as text, outside the request queue.
class ManualSendBox : public QObject
{
    Q_OBJECT

public:
    ManualSendBox(QTextEdit *text, QAbstractButton *hexSent, RequestScheduler *scheduler);

    void send();

signals:
    void refused(const QString &text);
    // The bytes that went to the open port.
    void sent(const QByteArray &bytes);

private:
    QTextEdit *text;
    QAbstractButton *hexSent;
    RequestScheduler *scheduler;
};

#endif // MANUALSENDBOX_H

#ifndef MANUALSENDBOX_H
#define MANUALSENDBOX_H

#include <QObject>

class QAbstractButton;
class QTextEdit;
class RegisterStore;
class RequestScheduler;

// The send box: what the user types goes to the line at once, as
// hexadecimal bytes or as text, outside the request queue. A write in it
// passes the write gate like any other: a danger value, or a row naming
// the driver, is asked about first.
class ManualSendBox : public QObject
{
    Q_OBJECT

public:
    ManualSendBox(QTextEdit *text, QAbstractButton *hexSent, RequestScheduler *scheduler, const RegisterStore *store);

    void send();

signals:
    void refused(const QString &text);
    // The bytes that went to the open port.
    void sent(const QByteArray &bytes);

private:
    bool passesGate(const QByteArray &bytes);

    QTextEdit *text;
    QAbstractButton *hexSent;
    RequestScheduler *scheduler;
    const RegisterStore *store;
};

#endif // MANUALSENDBOX_H

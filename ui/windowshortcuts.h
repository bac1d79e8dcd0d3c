#ifndef WINDOWSHORTCUTS_H
#define WINDOWSHORTCUTS_H

#include <QObject>

class QAbstractButton;
class QLabel;
class QWidget;

// Read all (F5) and the port's open/close (Ctrl+K) have keys, and Read all's
// caption beside its icon takes clicks as the icon does. The keys are the
// window's, not the buttons': a button's shortcut goes whenever its text
// changes (打开串口, 关闭串口, 连接, another language).
class WindowShortcuts : public QObject
{
    Q_OBJECT

public:
    WindowShortcuts(QWidget *window, QAbstractButton *readAll, QLabel *readAllCaption, QAbstractButton *openPort);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAbstractButton *readAll;
};

#endif // WINDOWSHORTCUTS_H

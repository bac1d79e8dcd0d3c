#include "ui/windowshortcuts.h"

#include "ui/language/followlanguage.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMouseEvent>
#include <QShortcut>

namespace {

// The key presses the button as a click would, and only while it is enabled.
void pressOnKey(QAbstractButton *button, const QKeySequence &key)
{
    auto *shortcut = new QShortcut(key, button->window());
    QObject::connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
}

} // namespace

WindowShortcuts::WindowShortcuts(QWidget *window, QAbstractButton *readAll, QLabel *readAllCaption,
                                 QAbstractButton *openPort)
    : QObject(window)
    , readAll(readAll)
{
    pressOnKey(readAll, QKeySequence(Qt::Key_F5));
    pressOnKey(openPort, QKeySequence(Qt::CTRL | Qt::Key_K));
    readAllCaption->setCursor(Qt::PointingHandCursor);
    readAllCaption->installEventFilter(this);
    openPort->setToolTip(tr("打开或关闭串口 (Ctrl+K)"));
    followLanguage(openPort, [openPort] { openPort->setToolTip(tr("打开或关闭串口 (Ctrl+K)")); });
}

bool WindowShortcuts::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        readAll->click();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

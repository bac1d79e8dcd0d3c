#ifndef TOASTS_H
#define TOASTS_H

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QList>

// The toasts on screen now: parented to the screen, a toast frame becomes a
// top-level window of exactly the class QFrame (combo-box popups are
// top-level frames of a subclass).
inline QList<QFrame *> toastFrames()
{
    QList<QFrame *> frames;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->metaObject() == &QFrame::staticMetaObject)
            frames << static_cast<QFrame *>(widget);
    }
    return frames;
}

inline QString toastText(QFrame *frame)
{
    auto *label = frame->findChild<QLabel *>();
    return label ? label->text() : QString();
}

#endif // TOASTS_H

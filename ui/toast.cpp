#include "ui/toast.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QFrame>
#include <QLabel>
#include <QPropertyAnimation>

void showToast(QWidget *parent, const QString &text, const QString &fontSize, const QString &textColor,
               const QString &backgroundColor, QObject *owner)
{
    if (!parent) {
        // A child of the screen widget becomes a window of its own, so the
        // notice is not clipped by the main window. Qt 5 marks the call
        // deprecated but still provides it.
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        parent = QApplication::desktop()->screen();
        QT_WARNING_POP
    }

    auto *frame = new QFrame(parent);
    auto *label = new QLabel(frame);
    label->setStyleSheet(
        QStringLiteral("QLabel{background:%1;color:%2;font:%3 SimHei;border-radius:5px;}")
            .arg(backgroundColor)
            .arg(textColor)
            .arg(fontSize));
    label->setText(text);
    label->setAlignment(Qt::AlignCenter);
    label->adjustSize();
    label->resize(label->width() + 120, label->height() + 120);
    frame->resize(label->size());
    frame->setWindowFlags(Qt::FramelessWindowHint);
    frame->setAttribute(Qt::WA_TranslucentBackground);
    frame->show();

    auto *fade = new QPropertyAnimation(frame, "windowOpacity", owner);
    fade->setDuration(2500);
    fade->setEasingCurve(QEasingCurve::InCirc);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    fade->start(QAbstractAnimation::KeepWhenStopped);
    // Deferred, so nothing is destroyed while finished() is being delivered.
    QObject::connect(fade, &QPropertyAnimation::finished, fade, [fade, frame] {
        fade->deleteLater();
        frame->deleteLater();
    });
}

#ifndef REFRESHWAIT_H
#define REFRESHWAIT_H

#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QWidget>

// Waits until the data-refresh button can be pressed again: the queue has
// drained and no reply is awaited. False when that takes over timeoutMs.
inline bool waitForRefreshDone(const QWidget &window, int timeoutMs)
{
    const auto *button = window.findChild<QPushButton *>(QStringLiteral("pushButton_dataRefresh"));
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        QTest::qWait(20);
        if (button->isEnabled())
            return true;
    }
    return false;
}

#endif // REFRESHWAIT_H

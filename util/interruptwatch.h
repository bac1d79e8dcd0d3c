#ifndef INTERRUPTWATCH_H
#define INTERRUPTWATCH_H

#include <QObject>

class QSocketNotifier;

// Turns SIGINT into a signal of the event loop (through a self-pipe), so a
// run interrupted with Ctrl+C can finish what is in flight and report.
class InterruptWatch : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatch(QObject *parent = nullptr);
    ~InterruptWatch() override;

signals:
    void interrupted();

private:
    QSocketNotifier *notifier = nullptr;
};

#endif // INTERRUPTWATCH_H

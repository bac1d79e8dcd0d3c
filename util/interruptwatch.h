#ifndef INTERRUPTWATCH_H
#define INTERRUPTWATCH_H

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, and when asked SIGTERM, into a signal of the event loop
// (through a self-pipe), so a run interrupted with Ctrl+C can finish what
// is in flight and report. The newest watch takes the signals.
class InterruptWatch : public QObject
{
    Q_OBJECT

public:
    enum class Also { Nothing, Terminate };

    explicit InterruptWatch(QObject *parent = nullptr, Also also = Also::Nothing);
    ~InterruptWatch() override;

signals:
    void interrupted();

private:
    QSocketNotifier *notifier = nullptr;
    int pipeEnds[2] = {-1, -1};
    Also also;
};

#endif // INTERRUPTWATCH_H

#ifndef FIRSTPAINT_H
#define FIRSTPAINT_H

#include "benchsupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

// Ends a start-up measurement at the watched window's first paint. The
// report waits for the event loop to come back, so the whole first frame,
// children included, has been painted and flushed. It prints the time since
// the launcher spawned the process (BENCH_SPAWN_NS, a CLOCK_MONOTONIC
// reading) and the peak resident memory so far, then quits.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(QWidget *window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            watched->removeEventFilter(this);
            QTimer::singleShot(0, [] { report(); });
        }
        return false;
    }

private:
    static void report()
    {
        const qint64 painted = bench::monotonicNs();
        const char *spawned = std::getenv("BENCH_SPAWN_NS");
        const qint64 start = spawned ? std::atoll(spawned) : painted;
        std::printf("painted_ms %.3f\nhwm_kib %lld\n", (painted - start) / 1e6,
                    static_cast<long long>(bench::statusKiB("VmHWM")));
        std::fflush(stdout);
        QCoreApplication::quit();
    }

    bool seen = false;
};

#endif // FIRSTPAINT_H

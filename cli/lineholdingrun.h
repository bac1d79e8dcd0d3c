#ifndef LINEHOLDINGRUN_H
#define LINEHOLDINGRUN_H

#include <QObject>
#include <QTextStream>

class RequestScheduler;

// What every command-line run over a line of its own shares: output in
// UTF-8, as register and command names are Chinese whatever the terminal's
// locale, and the line, which each run's destructor releases while the run
// is still whole to hear the last outcomes.
class LineHoldingRun : public QObject
{
    Q_OBJECT

signals:
    // The run's exit status.
    void finished(int status);

protected:
    explicit LineHoldingRun(QObject *parent);
    // Stops the scheduler and closes the line.
    void releaseLine();
    // Once: the output flushed, the line's traffic stopped, finished().
    void finish(int status);

    RequestScheduler *scheduler = nullptr;
    QTextStream out;
    QTextStream err;
    bool finishedOnce = false;
};

#endif // LINEHOLDINGRUN_H

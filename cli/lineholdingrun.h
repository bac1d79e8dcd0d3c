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

protected:
    explicit LineHoldingRun(QObject *parent);
    // Stops the scheduler and closes the line.
    void releaseLine();

    RequestScheduler *scheduler = nullptr;
    QTextStream out;
    QTextStream err;
};

#endif // LINEHOLDINGRUN_H

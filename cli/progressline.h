#ifndef PROGRESSLINE_H
#define PROGRESSLINE_H

#include <QObject>

class ParameterRun;

// A long run's progress on a terminal: "reading 120/300", then "writing
// 2/5", rewritten in place on one line of stderr and erased before the run
// prints its results. The cursor waits at the start of that line, so a
// message printed in between writes over it. When stderr is no terminal
// (a log, a pipe) nothing is written.
class ProgressLine : public QObject
{
    Q_OBJECT

public:
    // Made before anything else follows `run`, so the line is erased before
    // the run's results are printed.
    explicit ProgressLine(ParameterRun *run, QObject *parent = nullptr);

private:
    void show(const char *doing, int done, int total);
    void erase();

    bool shown = false;
};

#endif // PROGRESSLINE_H

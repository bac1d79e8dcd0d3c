#ifndef BUSBATCH_H
#define BUSBATCH_H

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTextStream>

class BatchRun;
class CommandLine;

// A backup, compare or restore over several drivers of one bus, one after
// another, each its own BatchRun on the line. A driver that fails stops
// nothing else, nor does a file of another model for one of them; a map or
// file that cannot be used (exit 1) stops the rest, which it would fail
// alike. finished() carries the worst status: 1, then
// 2 (a driver silent or doubtful), then 3 (differences, unread, unconfirmed),
// then 0.
class BusBatch : public QObject
{
    Q_OBJECT

public:
    explicit BusBatch(const CommandLine &options, QObject *parent = nullptr);

    void start();
    // As for one run; the drivers not yet begun are not begun.
    void interrupt();

signals:
    void finished(int status);

private:
    void startNext();
    void onRunFinished(int status);
    void finish();

    const CommandLine &options;
    QList<int> waiting;
    BatchRun *current = nullptr;
    int currentAddress = 0;
    bool interrupted = false;
    bool stopRest = false;
    QStringList results;
    int worst = 0;
    QTextStream out;
};

#endif // BUSBATCH_H

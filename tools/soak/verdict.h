#ifndef VERDICT_H
#define VERDICT_H

#include <QList>
#include <QStringList>

#include "memoryuse.h"
#include "soakrun.h"

// One line of the soak's table: where the run stood after `seconds`.
struct Report
{
    int seconds = 0;
    MemoryUse memory;
    SoakRun::Counts counts;
};

struct Limits
{
    // Growth allowed from the end of the first minute, once start-up
    // allocations and caches have settled, to the end of the run.
    qint64 heapGrowthKb = 2048;
    qint64 rssGrowthKb = 2048;
};

struct Verdict
{
    bool passed = true;
    QStringList lines;
};

// reports holds the start of the run first, then one report per interval.
// Memory is judged only when the run went on for at least one interval
// beyond the first minute; writes and polling always.
Verdict judge(const QList<Report> &reports, const SoakRun::Counts &final, bool drained,
              const Limits &limits);

#endif // VERDICT_H

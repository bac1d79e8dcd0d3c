#include "verdict.h"

namespace {

void check(Verdict &verdict, bool ok, const QString &line)
{
    verdict.passed = verdict.passed && ok;
    verdict.lines.append((ok ? QStringLiteral("ok    ") : QStringLiteral("FAIL  ")) + line);
}

void judgeMemory(Verdict &verdict, const QList<Report> &reports, const Limits &limits)
{
    if (reports.size() < 3 || reports.at(1).seconds < 60) {
        verdict.lines.append(QStringLiteral("--    memory not judged: the run ended within its first minute"));
        return;
    }
    const MemoryUse settled = reports.at(1).memory;
    const MemoryUse end = reports.last().memory;
    const qint64 heapGrowth = end.heapKb - settled.heapKb;
    const qint64 rssGrowth = end.rssKb - settled.rssKb;
    check(verdict, heapGrowth < limits.heapGrowthKb,
          QStringLiteral("heap in use grew %1 kB after minute 1 (limit %2 kB)").arg(heapGrowth).arg(limits.heapGrowthKb));
    check(verdict, rssGrowth < limits.rssGrowthKb,
          QStringLiteral("resident memory grew %1 kB after minute 1 (limit %2 kB)").arg(rssGrowth).arg(limits.rssGrowthKb));
}

void judgePolling(Verdict &verdict, const QList<Report> &reports, bool drained)
{
    int stalls = 0;
    for (int i = 1; i < reports.size(); ++i) {
        if (reports.at(i).counts.refreshes <= reports.at(i - 1).counts.refreshes) {
            ++stalls;
            verdict.lines.append(QStringLiteral("      no refresh finished between %1 s and %2 s")
                                     .arg(reports.at(i - 1).seconds).arg(reports.at(i).seconds));
        }
    }
    check(verdict, reports.size() > 1 && stalls == 0,
          QStringLiteral("refreshes finished in every interval (%1 stalled)").arg(stalls));
    check(verdict, drained, QStringLiteral("the last refresh finished after the run was stopped"));
}

void judgeWrites(Verdict &verdict, const SoakRun::Counts &final)
{
    check(verdict, final.writesSent > 0 && final.writesFailed == 0 && final.writesConfirmed == final.writesSent,
          QStringLiteral("%1 writes sent, %2 echoed, %3 confirmed in the table, %4 failed")
              .arg(final.writesSent).arg(final.writesEchoed).arg(final.writesConfirmed).arg(final.writesFailed));
}

} // namespace

Verdict judge(const QList<Report> &reports, const SoakRun::Counts &final, bool drained,
              const Limits &limits)
{
    Verdict verdict;
    judgeMemory(verdict, reports, limits);
    judgePolling(verdict, reports, drained);
    judgeWrites(verdict, final);
    return verdict;
}

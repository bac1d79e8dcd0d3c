#ifndef REFRESHPLAN_H
#define REFRESHPLAN_H

#include <QList>
#include <QSet>

#include "protocol/pendingcommand.h"
#include "registermap/registerinfo.h"

// The read requests of one refresh: one per row (two registers for a 32-bit
// row), or, where the map allows block reads, one per run of table rows with
// consecutive addresses. A run the driver refused is read row by row from
// then on. Write-only rows are never read.
class RefreshPlan
{
public:
    static constexpr int maxBlockSize = 125;

    void setBlockSize(int registers);
    void readSingly(const QList<int> &rows);
    void forgetRefusals() { singleRows.clear(); }

    // Requests for `rows` (table rows in reading order; only neighbours in
    // the list join a block) of `registers`; a request's tag is its first
    // row and its count the registers it reads.
    QList<PendingCommand> requests(const QList<RegisterInfo> &registers, const QList<int> &rows,
                                   quint8 slave, const QObject *owner) const;

    // The rows a request of requests() reads, in order; a row whose address
    // no longer fits (the map changed since) ends the list.
    static QList<int> rowsOf(const QList<RegisterInfo> &registers, const PendingCommand &request);
    // Puts a reply's words into the rows they belong to (value, and nextWord
    // for a 32-bit row) and returns those rows.
    static QList<int> storeWords(QList<RegisterInfo> &registers, const PendingCommand &request,
                                 const QList<quint16> &words);

private:
    bool joinsRun(const QList<RegisterInfo> &registers, const PendingCommand &run, int row) const;

    int blockRegisters = 1;
    QSet<int> singleRows;
};

#endif // REFRESHPLAN_H

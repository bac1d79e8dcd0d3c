#ifndef REFRESHPLAN_H
#define REFRESHPLAN_H

#include <QList>
#include <QSet>

#include "protocol/pendingcommand.h"
#include "registermap/registerinfo.h"

// The read requests of one refresh: one per register, or, where the map
// allows block reads, one per run of table rows with consecutive addresses.
// A run the driver refused is read register by register from then on.
class RefreshPlan
{
public:
    static constexpr int maxBlockSize = 125;

    void setBlockSize(int registers);
    void readSingly(int firstRow, int count);
    void forgetRefusals() { singleRows.clear(); }

    // Requests for `rows` (ascending table rows) of `registers`; a request's
    // tag is its first row and its count the rows it covers.
    QList<PendingCommand> requests(const QList<RegisterInfo> &registers, const QList<int> &rows,
                                   quint8 slave, const QObject *owner) const;

private:
    bool joinsRun(const QList<RegisterInfo> &registers, const PendingCommand &run, int row) const;

    int blockRegisters = 1;
    QSet<int> singleRows;
};

#endif // REFRESHPLAN_H

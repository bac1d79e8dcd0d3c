#include "refreshplan.h"

#include "protocol/modbusmaster.h"

void RefreshPlan::setBlockSize(int registers)
{
    blockRegisters = qBound(1, registers, maxBlockSize);
}

void RefreshPlan::readSingly(int firstRow, int count)
{
    for (int row = firstRow; row < firstRow + count; ++row)
        singleRows.insert(row);
}

QList<PendingCommand> RefreshPlan::requests(const QList<RegisterInfo> &registers, const QList<int> &rows,
                                            quint8 slave, const QObject *owner) const
{
    QList<PendingCommand> planned;
    for (int row : rows) {
        if (row < 0 || row >= registers.size() || !registers.at(row).addressValid)
            continue;
        if (!planned.isEmpty() && joinsRun(registers, planned.last(), row)) {
            ++planned.last().count;
            continue;
        }
        planned.append(PendingCommand{QByteArray(), registers.at(row).address, 1, owner, row});
    }
    ModbusMaster *master = ModbusMaster::instance();
    for (PendingCommand &command : planned)
        command.frame = master->readCmd(slave, command.address, command.count);
    return planned;
}

// A row extends the run before it when it is the next table row, holds the
// next address, and neither the block size nor a refusal forbids it.
bool RefreshPlan::joinsRun(const QList<RegisterInfo> &registers, const PendingCommand &run, int row) const
{
    if (blockRegisters == 1 || run.count >= blockRegisters)
        return false;
    if (singleRows.contains(row) || singleRows.contains(run.tag))
        return false;
    const int lastRow = run.tag + run.count - 1;
    return row == lastRow + 1 && registers.at(row).address == quint32(run.address) + run.count;
}

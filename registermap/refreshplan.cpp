#include "refreshplan.h"

#include "protocol/modbusmaster.h"

void RefreshPlan::setBlockSize(int registers)
{
    blockRegisters = qBound(1, registers, maxBlockSize);
}

void RefreshPlan::readSingly(const QList<int> &rows)
{
    for (int row : rows)
        singleRows.insert(row);
}

QList<PendingCommand> RefreshPlan::requests(const QList<RegisterInfo> &registers, const QList<int> &rows,
                                            quint8 slave, const QObject *owner) const
{
    QList<PendingCommand> planned;
    int lastRow = -1;
    for (int row : rows) {
        if (row < 0 || row >= registers.size() || !registers.at(row).addressValid
            || isWriteOnly(registers.at(row).permission))
            continue;
        const quint16 words = quint16(registers.at(row).format.wordCount());
        const bool joins = !planned.isEmpty() && row == lastRow + 1 && joinsRun(registers, planned.last(), row);
        lastRow = row;
        if (joins) {
            planned.last().count += words;
            continue;
        }
        planned.append(PendingCommand{QByteArray(), registers.at(row).address, words, owner, row});
    }
    ModbusMaster *master = ModbusMaster::instance();
    for (PendingCommand &command : planned)
        command.frame = master->readCmd(slave, command.address, command.count);
    return planned;
}

// The next table row extends the run before it when it holds the next
// address and neither the block size nor a refusal forbids it.
bool RefreshPlan::joinsRun(const QList<RegisterInfo> &registers, const PendingCommand &run, int row) const
{
    const int words = registers.at(row).format.wordCount();
    if (blockRegisters == 1 || run.count + words > blockRegisters)
        return false;
    if (singleRows.contains(row) || singleRows.contains(run.tag))
        return false;
    return registers.at(row).address == quint32(run.address) + run.count;
}

QList<int> RefreshPlan::rowsOf(const QList<RegisterInfo> &registers, const PendingCommand &request)
{
    QList<int> rows;
    int offset = 0;
    for (int row = request.tag; row >= 0 && row < registers.size() && offset < request.count; ++row) {
        const RegisterInfo &info = registers.at(row);
        const int words = info.format.wordCount();
        if (info.address != quint32(request.address) + offset || offset + words > request.count)
            break;
        rows.append(row);
        offset += words;
    }
    return rows;
}

QList<int> RefreshPlan::storeWords(QList<RegisterInfo> &registers, const PendingCommand &request,
                                   const QList<quint16> &words)
{
    QList<int> stored;
    int offset = 0;
    for (int row : rowsOf(registers, request)) {
        RegisterInfo &info = registers[row];
        const int count = info.format.wordCount();
        if (offset + count > words.size())
            break;
        info.value = words.at(offset);
        if (count == 2)
            info.nextWord = words.at(offset + 1);
        offset += count;
        stored.append(row);
    }
    return stored;
}

#include "registermap/registerstore.h"

#include "registermap/refreshplan.h"
#include "registermap/rowvalue.h"

RegisterStore::RegisterStore(QObject *parent)
    : QObject(parent)
{
}

QList<quint16> RegisterStore::addresses() const
{
    QList<quint16> list;
    list.reserve(registers.size());
    for (const RegisterInfo &info : registers)
        list.append(info.address);
    return list;
}

void RegisterStore::clear()
{
    emit aboutToClear();
    registers.clear();
    settings = RegisterMap();
    mapFile.clear();
}

bool RegisterStore::read(const QString &fileName, RegisterMap *map)
{
    map->slaveAddress = settings.slaveAddress;
    map->txTime = settings.txTime;
    map->rxOutTime = settings.rxOutTime;
    const bool readable = loadRegisterMap(fileName, map);
    if (readable) {
        settings = *map;
        settings.registers.clear();
        settings.problems.clear();
        mapFile = fileName;
        // A map read at start-up fills an empty list: sharing it costs nothing.
        const int first = registers.size();
        registers += map->registers;
        // A row with value keys shows its default in its type and unit; a
        // plain row shows it as the map writes it until the driver answers.
        for (int row = first; row < registers.size(); ++row) {
            if (!isPlainRow(registers.at(row)))
                setRowWords(registers[row], registers.at(row).value, registers.at(row).nextWord);
        }
    }
    emit rowsReplaced();
    return readable;
}

void RegisterStore::storeReadValues(const PendingCommand &request, const QList<quint16> &words)
{
    for (int row : RefreshPlan::storeWords(registers, request, words)) {
        RegisterInfo &info = registers[row];
        setRowWords(info, info.value, info.nextWord);
        emit valueRead(row, rowRaw(info));
    }
}

void RegisterStore::confirmWrite(quint16 writtenAddress, const QVector<quint16> &words)
{
    for (int row = 0; row < registers.size(); ++row) {
        RegisterInfo &info = registers[row];
        if (info.addressValid && takeWrittenWords(info, writtenAddress, words))
            emit writeConfirmed(row);
    }
}

void RegisterStore::markReadFailed(const PendingCommand &request)
{
    for (int row : RefreshPlan::rowsOf(registers, request))
        emit readFailed(row);
}

#include "paramsets/parametercompare.h"

#include "registermap/registerrange.h"

#include <QCoreApplication>
#include <QMultiHash>
#include <QSet>

namespace {

using RowsByAddress = QMultiHash<quint16, const RegisterInfo *>;

RowsByAddress rowsByAddress(const QList<RegisterInfo> &registers)
{
    RowsByAddress rows;
    for (const RegisterInfo &info : registers) {
        if (info.addressValid)
            rows.insert(info.address, &info);
    }
    return rows;
}

// The map's rows of an address whose range refuses the value; a map that
// lists an address twice allows only what both of its lines allow.
const RegisterInfo *refusingRow(const RowsByAddress &rows, quint16 address, quint16 value)
{
    for (auto it = rows.constFind(address); it != rows.cend() && it.key() == address; ++it) {
        if (!isWithinRange(**it, value))
            return *it;
    }
    return nullptr;
}

} // namespace

bool isWritable(const QString &permission)
{
    return permission.contains(QLatin1Char('r'), Qt::CaseInsensitive)
        && permission.contains(QLatin1Char('w'), Qt::CaseInsensitive);
}

QHash<quint16, const RegisterInfo *> mapIndex(const QList<RegisterInfo> &registers)
{
    QHash<quint16, const RegisterInfo *> index;
    for (const RegisterInfo &info : registers) {
        if (info.addressValid && !index.contains(info.address))
            index.insert(info.address, &info);
    }
    return index;
}

QList<quint16> mapAddresses(const QList<RegisterInfo> &registers)
{
    QList<quint16> addresses;
    QSet<quint16> seen;
    for (const RegisterInfo &info : registers) {
        if (info.addressValid && !seen.contains(info.address)) {
            seen.insert(info.address);
            addresses.append(info.address);
        }
    }
    return addresses;
}

QList<ParameterEntry> answeredEntries(const QList<RegisterInfo> &registers,
                                      const QHash<quint16, quint16> &driver, QStringList *silent)
{
    QList<ParameterEntry> entries;
    const QHash<quint16, const RegisterInfo *> index = mapIndex(registers);
    for (const quint16 address : mapAddresses(registers)) {
        const RegisterInfo &info = *index.value(address);
        if (driver.contains(address))
            entries.append(entryFor(info, driver.value(address)));
        else if (silent)
            silent->append(registerLabel(address, info.name));
    }
    return entries;
}

QString registerLabel(quint16 address, const QString &name)
{
    return name.isEmpty() ? addressText(address) : addressText(address) + QLatin1Char(' ') + name;
}

QStringList restoreProblems(const QList<ParameterEntry> &entries, const QList<RegisterInfo> &registers)
{
    const RowsByAddress rows = rowsByAddress(registers);
    QHash<quint16, const ParameterEntry *> seen;
    QStringList problems;
    for (const ParameterEntry &entry : entries) {
        const QString address = addressText(entry.address);
        const RegisterInfo *refusing = refusingRow(rows, entry.address, entry.value);
        if (!rows.contains(entry.address))
            problems.append(QCoreApplication::translate("ParameterCompare", "第 %1 行：%2 不在映射表中").arg(entry.line).arg(address));
        else if (refusing)
            problems.append(QCoreApplication::translate("ParameterCompare", "第 %1 行：%2 的值 %3 超出映射表的范围 %4")
                                .arg(entry.line).arg(address).arg(entry.value).arg(refusing->rangeText));
        const ParameterEntry *earlier = seen.value(entry.address);
        if (earlier && earlier->value != entry.value)
            problems.append(QCoreApplication::translate("ParameterCompare", "第 %1 行：%2 的值 %3 与第 %5 行的 %4 不同")
                                .arg(entry.line).arg(address).arg(entry.value).arg(earlier->value).arg(earlier->line));
        if (!earlier)
            seen.insert(entry.address, &entry);
    }
    return problems;
}

QList<CompareRow> compareParameters(const QList<ParameterEntry> &entries,
                                    const QList<RegisterInfo> &registers,
                                    const QHash<quint16, quint16> &driver)
{
    const QHash<quint16, const RegisterInfo *> index = mapIndex(registers);
    const RowsByAddress mapRows = rowsByAddress(registers);
    QList<CompareRow> rows;
    for (const ParameterEntry &entry : entries) {
        CompareRow row;
        row.entry = entry;
        const RegisterInfo *info = index.value(entry.address);
        row.inMap = info != nullptr;
        if (info)
            row.info = *info;
        row.answered = driver.contains(entry.address);
        row.driverValue = driver.value(entry.address);
        if (!row.inMap)
            row.state = CompareState::NotInMap;
        else if (refusingRow(mapRows, entry.address, entry.value))
            row.state = CompareState::OutOfRange;
        else if (!row.answered)
            row.state = CompareState::NoAnswer;
        else if (row.driverValue == entry.value)
            row.state = CompareState::Same;
        else
            row.state = isWritable(row.info.permission) ? CompareState::Differs : CompareState::NotWritable;
        rows.append(row);
    }
    return rows;
}

QString stateWord(CompareState state)
{
    switch (state) {
    case CompareState::Same: return QStringLiteral("same");
    case CompareState::Differs: return QStringLiteral("differs");
    case CompareState::NotWritable: return QStringLiteral("differs, not writable");
    case CompareState::NotInMap: return QStringLiteral("not in the map");
    case CompareState::OutOfRange: return QStringLiteral("out of range");
    case CompareState::NoAnswer: return QStringLiteral("no answer");
    }
    return QString();
}

QString stateText(CompareState state)
{
    switch (state) {
    case CompareState::Same: return QCoreApplication::translate("ParameterCompare", "相同");
    case CompareState::Differs: return QCoreApplication::translate("ParameterCompare", "不同");
    case CompareState::NotWritable: return QCoreApplication::translate("ParameterCompare", "不可写");
    case CompareState::NotInMap: return QCoreApplication::translate("ParameterCompare", "不在映射表中");
    case CompareState::OutOfRange: return QCoreApplication::translate("ParameterCompare", "超出范围");
    case CompareState::NoAnswer: return QCoreApplication::translate("ParameterCompare", "无应答");
    }
    return QString();
}

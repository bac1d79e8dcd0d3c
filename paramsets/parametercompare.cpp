#include "paramsets/parametercompare.h"

#include "registermap/registerrange.h"
#include "registermap/registervalue.h"

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

// A row without value-format keys checks its range as it always has.
bool inRowRange(const RegisterInfo &info, qint64 raw)
{
    const RegisterFormat &format = info.format;
    if (format.type == ValueType::U16 && format.scaleUnits == 1 && format.decimals == 0)
        return isWithinRange(info, quint16(raw));
    return RegisterValue(format).inRange(raw);
}

// A file saved a row over one register (an entry without a type, as every
// file before typed rows) or two; it cannot be restored to a row of the
// other width.
bool sameWidth(const ParameterEntry &entry, const RegisterInfo &info)
{
    const bool wide = entry.type == QLatin1String("u32") || entry.type == QLatin1String("s32");
    return (wide ? 2 : 1) == info.format.wordCount();
}

// Why a row of the address refuses the saved value, or empty when none does;
// a map that lists an address twice allows only what both of its lines allow.
QString refusal(const RowsByAddress &rows, const ParameterEntry &entry)
{
    for (auto it = rows.constFind(entry.address); it != rows.cend() && it.key() == entry.address; ++it) {
        const RegisterInfo &info = **it;
        qint64 raw = 0;
        if (!sameWidth(entry, info))
            return QCoreApplication::translate("ParameterCompare", "类型 %1 与映射表的 %2 不符")
                .arg(entry.type.isEmpty() ? valueTypeName(ValueType::U16) : entry.type,
                     valueTypeName(info.format.type));
        if (!savedRaw(info, entry.value, &raw))
            return QCoreApplication::translate("ParameterCompare", "值 %1 不是 %2 类型的值")
                .arg(entry.value).arg(valueTypeName(info.format.type));
        if (!inRowRange(info, raw))
            return QCoreApplication::translate("ParameterCompare", "值 %1 超出映射表的范围 %2")
                .arg(RegisterValue(info.format).text(raw), info.rangeText);
    }
    return QString();
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

QList<RegisterInfo> mapRows(const QList<RegisterInfo> &registers)
{
    QList<RegisterInfo> rows;
    QSet<quint16> seen;
    for (const RegisterInfo &info : registers) {
        if (info.addressValid && !seen.contains(info.address)) {
            seen.insert(info.address);
            rows.append(info);
        }
    }
    return rows;
}

bool savedRaw(const RegisterInfo &info, qint64 saved, qint64 *raw)
{
    const RegisterValue value(info.format);
    if (value.fitsType(saved)) {
        *raw = saved;
        return true;
    }
    if (saved < 0 || saved >= (qint64(1) << info.format.bitCount()))
        return false;
    const QVector<quint16> words = value.toWords(saved);
    *raw = value.fromWords(words.at(0), words.value(1));
    return true;
}

QList<ParameterEntry> answeredEntries(const QList<RegisterInfo> &registers, const RowValues &driver,
                                      QStringList *silent)
{
    QList<ParameterEntry> entries;
    for (const RegisterInfo &info : mapRows(registers)) {
        if (driver.contains(info.address))
            entries.append(entryFor(info, driver.value(info.address)));
        else if (silent)
            silent->append(registerLabel(info.address, info.name));
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
        const QString refused = refusal(rows, entry);
        if (!rows.contains(entry.address))
            problems.append(QCoreApplication::translate("ParameterCompare", "第 %1 行：%2 不在映射表中").arg(entry.line).arg(address));
        else if (!refused.isEmpty())
            problems.append(QCoreApplication::translate("ParameterCompare", "第 %1 行：%2 的%3")
                                .arg(entry.line).arg(address).arg(refused));
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
                                    const RowValues &driver)
{
    const QHash<quint16, const RegisterInfo *> index = mapIndex(registers);
    const RowsByAddress byAddress = rowsByAddress(registers);
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
        else if (!refusal(byAddress, entry).isEmpty() || !savedRaw(row.info, entry.value, &row.entry.value))
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

QString CompareRow::fileText() const
{
    return inMap ? RegisterValue(info.format).text(entry.value) : QString::number(entry.value);
}

QString CompareRow::driverText() const
{
    return inMap ? RegisterValue(info.format).text(driverValue) : QString::number(driverValue);
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

#include "paramsets/parametercompare.h"

#include "registermap/addressrules.h"
#include "registermap/registervalue.h"

#include <QCoreApplication>
#include <QSet>

namespace {

// A file saved a row over one register (an entry without a type, as every
// file before typed rows) or two; it cannot be restored to a row of the
// other width.
bool sameWidth(const ParameterEntry &entry, const RegisterInfo &info)
{
    const bool wide = entry.type == QLatin1String("u32") || entry.type == QLatin1String("s32");
    return (wide ? 2 : 1) == info.format.wordCount();
}

bool untypedOutsideWord(const ParameterEntry &entry)
{
    return entry.type.isEmpty() && (entry.value < 0 || entry.value > 0xFFFF);
}

// An entry without a type for a 32-bit row: its value cannot tell whether
// it is the row's value or one of its words.
bool untypedOnWideRow(const QList<RegisterInfo> &registers, const ParameterEntry &entry)
{
    for (const RegisterInfo *line : linesAt(registers, entry.address)) {
        if (entry.type.isEmpty() && line->format.wordCount() == 2)
            return true;
    }
    return false;
}

// Why a row of the address cannot take the saved value at all, or empty when
// every row can; a map that lists an address twice allows only what both of
// its lines allow. The map's range is no such reason: values outside it are
// asked about when they are to be written.
QString refusal(const QList<RegisterInfo> &registers, const ParameterEntry &entry)
{
    for (const RegisterInfo *line : linesAt(registers, entry.address)) {
        const RegisterInfo &info = *line;
        qint64 raw = 0;
        const QString type = valueTypeName(info.format.type);
        if (entry.type.isEmpty() && info.format.wordCount() == 2)
            return info.format.type == ValueType::S32
                       ? QCoreApplication::translate("ParameterCompare", "行是 s32 类型：请给出 type 列，如本工具保存的文件")
                       : QCoreApplication::translate("ParameterCompare", "行是 u32 类型：请给出 type 列，如本工具保存的文件");
        if (!sameWidth(entry, info))
            return QCoreApplication::translate("ParameterCompare", "类型 %1 与映射表的 %2 不符")
                .arg(entry.type.isEmpty() ? valueTypeName(ValueType::U16) : entry.type, type);
        if (!savedRaw(info, entry.value, &raw))
            return QCoreApplication::translate("ParameterCompare", "值 %1 不是 %2 类型的值").arg(entry.value).arg(type);
    }
    return QString();
}

// What the map makes of the saved value, when the file's shown column says
// something else; empty when it agrees, or when the file leaves it out or
// blank (the value column is what counts then).
QString shownDisagreement(const QList<RegisterInfo> &registers, const ParameterEntry &entry)
{
    if (entry.shown.isEmpty())
        return QString();
    for (const RegisterInfo *line : linesAt(registers, entry.address)) {
        qint64 raw = 0;
        if (!savedRaw(*line, entry.value, &raw))
            continue;
        const QString shown = RegisterValue(line->format).text(raw);
        if (entry.shown != shown)
            return shown;
    }
    return QString();
}

// Either column may be the one that was edited: neither is written, and
// both are named.
QString disagreementText(const ParameterEntry &entry, const QString &valueShows)
{
    return QCoreApplication::translate("ParameterCompare", "值与显示不符：值 %1 即“%2”，shown 列为“%3”")
        .arg(entry.value).arg(valueShows, entry.shown);
}

} // namespace

bool isWritable(const QString &permission)
{
    return permission.contains(QLatin1Char('r'), Qt::CaseInsensitive)
        && permission.contains(QLatin1Char('w'), Qt::CaseInsensitive);
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
                                      QStringList *unread)
{
    QList<ParameterEntry> entries;
    for (const RegisterInfo &info : mapRows(registers)) {
        if (isWriteOnly(info.permission))
            continue;
        if (driver.contains(info.address))
            entries.append(entryFor(info, driver.value(info.address)));
        else if (unread)
            unread->append(registerLabel(info.address, info.name));
    }
    for (const RegisterInfo &info : registers) {
        if (unread && !info.addressValid && !isWriteOnly(info.permission))
            unread->append((info.addressText + QLatin1Char(' ') + info.name).trimmed());
    }
    return entries;
}

QString registerLabel(quint16 address, const QString &name)
{
    return name.isEmpty() ? addressText(address) : addressText(address) + QLatin1Char(' ') + name;
}

QStringList restoreProblems(const QList<ParameterEntry> &entries, const QList<RegisterInfo> &registers)
{
    QHash<quint16, const ParameterEntry *> seen;
    QStringList problems;
    for (const ParameterEntry &entry : entries) {
        const QString address = addressText(entry.address);
        const QString refused = refusal(registers, entry);
        if (linesAt(registers, entry.address).isEmpty())
            problems.append(QCoreApplication::translate("ParameterCompare", "第 %1 行：%2 不在映射表中").arg(entry.line).arg(address));
        else if (untypedOutsideWord(entry) && !untypedOnWideRow(registers, entry))
            problems.append(QCoreApplication::translate("ParameterFile", "第 %1 行：%2")
                                .arg(entry.line)
                                .arg(QCoreApplication::translate("ParameterFile", "值 %1 超出 0..65535").arg(entry.value)));
        else if (!refused.isEmpty())
            problems.append(QCoreApplication::translate("ParameterCompare", "第 %1 行：%2 的%3")
                                .arg(entry.line).arg(address).arg(refused));
        else if (const QString valueShows = shownDisagreement(registers, entry); !valueShows.isEmpty())
            problems.append(QCoreApplication::translate("ParameterCompare", "第 %1 行：%2 的%3")
                                .arg(entry.line).arg(address).arg(disagreementText(entry, valueShows)));
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
    // Neither of two values for one address is the file's: each line says so.
    QHash<quint16, qint64> firstValue;
    QSet<quint16> givenTwice;
    for (const ParameterEntry &entry : entries) {
        if (!firstValue.contains(entry.address))
            firstValue.insert(entry.address, entry.value);
        else if (firstValue.value(entry.address) != entry.value)
            givenTwice.insert(entry.address);
    }
    QList<CompareRow> rows;
    for (const ParameterEntry &entry : entries) {
        CompareRow row;
        row.entry = entry;
        const AddressRules rules = addressRules(registers, entry.address);
        const RegisterInfo *info = rules.first();
        row.inMap = info != nullptr;
        if (info)
            row.info = *info;
        row.answered = driver.contains(entry.address);
        row.driverValue = driver.value(entry.address);
        // Values are compared as the row's type holds them: a file may give
        // an s16's register pattern (65529 for -7).
        if (!row.inMap)
            row.state = CompareState::NotInMap;
        else if (!refusal(registers, entry).isEmpty() || untypedOutsideWord(entry)
                 || !savedRaw(row.info, entry.value, &row.entry.value))
            row.state = CompareState::OutOfRange;
        else if (!(row.shownInstead = shownDisagreement(registers, entry)).isEmpty())
            row.state = CompareState::ShownDisagrees;
        else if (givenTwice.contains(entry.address))
            row.state = CompareState::GivenTwice;
        else if (rules.writeOnly && !rules.readOnly && !rules.identity) {
            // Never read, so never the same: a command's value outside its
            // range is asked about like any row's.
            row.state = CompareState::WriteOnly;
            if (const RegisterInfo *refusing = rules.rangeRefusing(row.entry.value)) {
                row.info = *refusing;
                row.outsideMapRange = true;
            }
        }
        else if (!row.answered)
            row.state = CompareState::NoAnswer;
        else if (row.driverValue == row.entry.value)
            row.state = CompareState::Same;
        else if (!rules.isSetting())
            row.state = CompareState::NotWritable;
        else if (const RegisterInfo *refusing = rules.rangeRefusing(row.entry.value)) {
            row.info = *refusing;
            row.outsideMapRange = true;
            row.state = CompareState::OutOfRange;
        } else {
            row.state = CompareState::Differs;
        }
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

QStringList outOfRangeLabels(const QList<CompareRow> &rows)
{
    QStringList labels;
    for (const CompareRow &row : rows) {
        if (row.outsideMapRange)
            labels.append(QCoreApplication::translate("ParameterCompare", "%1 值 %2（范围 %3）")
                              .arg(registerLabel(row.entry.address, row.name()), row.fileText(), row.info.rangeText));
    }
    return labels;
}

QString stateWord(CompareState state)
{
    switch (state) {
    case CompareState::Same: return QStringLiteral("same");
    case CompareState::Differs: return QStringLiteral("differs");
    case CompareState::NotWritable: return QStringLiteral("differs, not writable");
    case CompareState::NotInMap: return QStringLiteral("not in the map");
    case CompareState::OutOfRange: return QStringLiteral("out of range");
    case CompareState::ShownDisagrees: return QStringLiteral("value and shown disagree");
    case CompareState::GivenTwice: return QStringLiteral("another line gives another value");
    case CompareState::NoAnswer: return QStringLiteral("no answer");
    case CompareState::WriteOnly: return QStringLiteral("write-only, not read");
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
    case CompareState::ShownDisagrees: return QCoreApplication::translate("ParameterCompare", "值与显示不符");
    case CompareState::GivenTwice: return QCoreApplication::translate("ParameterCompare", "另一行给出不同的值");
    case CompareState::NoAnswer: return QCoreApplication::translate("ParameterCompare", "无应答");
    case CompareState::WriteOnly: return QCoreApplication::translate("ParameterCompare", "只写，未读取");
    }
    return QString();
}

QString CompareRow::stateWord() const
{
    if (state != CompareState::ShownDisagrees)
        return ::stateWord(state);
    return QStringLiteral("value and shown disagree: value %1 is \"%2\", shown says \"%3\"")
        .arg(entry.value).arg(shownInstead, entry.shown);
}

QString CompareRow::stateText() const
{
    return state == CompareState::ShownDisagrees ? disagreementText(entry, shownInstead) : ::stateText(state);
}

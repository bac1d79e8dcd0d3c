#include "registermap/registermap.h"
#include "registermap/mapformats.h"
#include "registermap/mapkeys.h"
#include "registermap/refreshplan.h"
#include "util/filetext.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

#include <climits>
#include <cstring>

namespace {

// A line's bytes count up to the first NUL, if any, without the blanks
// around them, each line in UTF-8 or, as drive makers often write maps, GBK.
QString lineText(const char *begin, const char *end)
{
    if (const void *nul = memchr(begin, '\0', size_t(end - begin)))
        end = static_cast<const char *>(nul);
    while (begin < end && isspace(uchar(*begin)))
        ++begin;
    while (end > begin && isspace(uchar(end[-1])))
        --end;
    return utf8OrGb18030(begin, int(end - begin));
}

int digitValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return 99;
}

// Numbers as QStringRef::toLongLong reads them; the plain ones a map is made
// of ("0x0BB8", "6000", "-10") without its detour through the locale, which
// would cost a map of 100,000 lines most of its load time.
qlonglong toNumber(const QStringRef &text, int base, bool *ok)
{
    QStringRef digits = text;
    const bool negative = base == 10 && digits.startsWith(QLatin1Char('-'));
    if (negative)
        digits = digits.mid(1);
    else if (base == 16 && (digits.startsWith(QLatin1String("0x")) || digits.startsWith(QLatin1String("0X"))))
        digits = digits.mid(2);
    qlonglong number = 0;
    bool plain = !digits.isEmpty() && digits.size() <= 7;
    for (int i = 0; plain && i < digits.size(); ++i) {
        const int digit = digitValue(digits.at(i));
        plain = digit < base;
        number = number * base + digit;
    }
    if (!plain)
        return text.toLongLong(ok, base);
    *ok = true;
    return negative ? -number : number;
}

// The text after the first colon (the whole part without one).
QStringRef rawValue(const QStringRef &part)
{
    const int colon = part.indexOf(QLatin1Char(':'));
    return colon < 0 ? part : part.mid(colon + 1);
}

// The text before the first colon, without blanks or a byte-order mark
// around it; empty for a part without a colon, which names no key.
QStringRef keyOf(const QStringRef &part)
{
    const int colon = part.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return QStringRef();
    QStringRef key = part.left(colon).trimmed();
    while (key.startsWith(QChar(0xFEFF)))
        key = key.mid(1).trimmed();
    return key;
}

// Hexadecimal text ("0x0BB8" or "BB8") as a 16-bit register number; 0 when
// it is no number or does not fit.
quint16 hexToRegisterNumber(const QStringRef &text)
{
    bool ok = false;
    const qlonglong number = toNumber(text, 16, &ok);
    return ok && number >= 0 && number <= 0xFFFF ? quint16(number) : 0;
}

// A register address is hexadecimal text that fits 16 bits; anything else
// would send the row's reads and writes to some other register.
bool toRegisterAddress(const QStringRef &text, quint16 *address)
{
    bool ok = false;
    const qlonglong number = toNumber(text, 16, &ok);
    ok = ok && number >= 0 && number <= 0xFFFF;
    *address = ok ? quint16(number) : 0;
    return ok;
}

void setRange(RegisterInfo &info, const QStringRef &raw)
{
    info.rangeText = raw.trimmed().toString();
    const int tilde = raw.indexOf(QLatin1Char('~'));
    if (tilde < 0 || raw.indexOf(QLatin1Char('~'), tilde + 1) >= 0)
        return;
    bool minOk = false;
    bool maxOk = false;
    const qlonglong low = toNumber(raw.left(tilde), 10, &minOk);
    const qlonglong high = toNumber(raw.mid(tilde + 1), 10, &maxOk);
    minOk = minOk && low >= INT_MIN && low <= INT_MAX;
    maxOk = maxOk && high >= INT_MIN && high <= INT_MAX;
    info.rangeMin = minOk ? int(low) : 0;
    info.rangeMax = maxOk ? int(high) : 0;
    // A minimum above its maximum would refuse every value, the driver's own.
    info.hasRange = minOk && maxOk && info.rangeMin <= info.rangeMax;
}

// A slave address outside 1..247 would reach another driver, or every
// driver at once (0): the map keeps the address it came with, and says so.
void readSlaveAddress(const QStringRef &value, RegisterMap *map, QStringList *faults)
{
    bool ok = false;
    const int address = value.toInt(&ok, 10);
    map->slaveAddressValid = ok && address >= 1 && address <= 247;
    if (map->slaveAddressValid)
        map->slaveAddress = quint32(address);
    else
        *faults << QStringLiteral("slaveAddress \"%1\" is no address from 1 to 247; the address stays %2")
                       .arg(value).arg(map->slaveAddress);
}

// The tick must advance the reply timeout and must not spin a core. Text
// that is no number ("100ms") keeps the pace the map had.
void readTxTime(const QStringRef &value, RegisterMap *map, QStringList *faults)
{
    bool ok = false;
    const int given = value.toInt(&ok, 10);
    if (ok)
        map->txTime = qMax(given, 1);
    if (!ok || given < 1)
        *faults << QStringLiteral("txTime \"%1\" is no whole number of milliseconds from 1 up; %2 is used")
                       .arg(value).arg(map->txTime);
}

// "1000ms" read as 0 would give up on every reply at once: text that is no
// number keeps the timeout the map had.
void readRxOutTime(const QStringRef &value, RegisterMap *map, QStringList *faults)
{
    bool ok = false;
    const quint32 given = value.toUInt(&ok, 10);
    if (ok)
        map->rxOutTime = given;
    else
        *faults << QStringLiteral("rxOutTime \"%1\" is no whole number of milliseconds; %2 is used")
                       .arg(value).arg(map->rxOutTime);
}

// A key line 1 does not know is a fault; one that looks like slaveAddress
// means the driver's address is not known, which the command line refuses.
// Returns the key it looks like, if any.
QString noteUnknownSetting(const QStringRef &key, RegisterMap *map, QStringList *unknownKeys)
{
    if (key.isEmpty())
        return QString();
    *unknownKeys << unknownKeyProblem(key.toString(), settingsKeys());
    const QString likely = likelyKey(key.toString(), settingsKeys());
    if (likely == QLatin1String("slaveAddress"))
        map->slaveAddressValid = false;
    return likely;
}

// The refresh plan holds block reads to what one Modbus request can read.
void readBlockRead(const QStringRef &value, RegisterMap *map, QStringList *faults)
{
    bool ok = false;
    map->blockRead = value.toInt(&ok, 10);
    if (!ok || map->blockRead < 1 || map->blockRead > RefreshPlan::maxBlockSize)
        *faults << QStringLiteral("blockRead \"%1\" is no number of registers from 1 to %2; %3 at a time are read")
                       .arg(value).arg(RefreshPlan::maxBlockSize)
                       .arg(qBound(1, map->blockRead, RefreshPlan::maxBlockSize));
}

// A map copied from a big one may hold thousands of faults; the first ones
// are enough to find the pattern.
const int listedProblems = 100;

// What two lines of one address say differently about writing it.
QString disagreement(const RegisterInfo &first, const RegisterInfo &second)
{
    QStringList aspects;
    if (first.permission.toUpper() != second.permission.toUpper())
        aspects << QStringLiteral("permission (%1, %2)").arg(first.permission, second.permission);
    if (first.roles.role != second.roles.role)
        aspects << QStringLiteral("role");
    const auto commandsOf = [](const RegisterInfo &row) {
        QStringList commands;
        for (const RowCommand &command : row.roles.commands)
            commands << QString::number(command.value) + (row.roles.danger.contains(command.name) ? QStringLiteral("!") : QString());
        return commands;
    };
    if (commandsOf(first) != commandsOf(second) || first.roles.save.isEmpty() != second.roles.save.isEmpty())
        aspects << QStringLiteral("commands");
    if (first.rangeText != second.rangeText)
        aspects << QStringLiteral("range (%1, %2)").arg(first.rangeText, second.rangeText);
    return aspects.join(QLatin1String(", "));
}

// Notes a problem, and what a row that loads anyway is to be checked for:
// its address on an earlier line, its range text.
class ProblemList
{
public:
    explicit ProblemList(RegisterMap *map) : map(map) {}

    void add(const QString &text)
    {
        if (listing())
            map->problems << text;
        else
            ++unlisted;
    }

    // Texts past the listed ones are only counted, so they need not be made.
    bool listing() const { return map->problems.size() < listedProblems; }

    void checkRow(RegisterInfo &info, int lineNumber)
    {
        if (!info.addressValid) {
            ++map->invalidAddresses;
            info.problem = QStringLiteral("line %1: address \"%2\" is no 16-bit number; the row is neither "
                                          "read nor written").arg(lineNumber).arg(info.addressText);
            add(info.problem);
        } else if (const int earlier = firstLines.value(info.address); earlier > 0) {
            ++map->repeatedAddresses;
            if (listing())
                add(QStringLiteral("line %1: address %2 is already on line %3; values written there are checked "
                                   "against both lines").arg(lineNumber).arg(info.addressText).arg(earlier));
            else
                ++unlisted;
            const QString differences = disagreement(firstRows.value(info.address), info);
            if (!differences.isEmpty())
                add(QStringLiteral("line %1: address %2 differs from line %3 in %4; the strictest of both lines "
                                   "holds").arg(lineNumber).arg(info.addressText).arg(earlier).arg(differences));
        } else {
            firstLines.insert(info.address, lineNumber);
            firstRows.insert(info.address, info);
        }
        // A scaled range has decimals in shown units: the format reads it.
        if (!info.rangeText.isEmpty() && !info.hasRange && !info.format.hasRange) {
            ++map->unreadableRanges;
            add(QStringLiteral("line %1: range \"%2\" is no min~max of two whole numbers, the first not above the "
                               "second; no range is checked")
                    .arg(lineNumber).arg(info.rangeText));
        }
    }

    void finish()
    {
        if (unlisted > 0)
            map->problems << QStringLiteral("%1 more problems not listed").arg(unlisted);
    }

private:
    RegisterMap *map;
    QHash<quint16, int> firstLines;
    QHash<quint16, RegisterInfo> firstRows;
    int unlisted = 0;
};

} // namespace

bool loadRegisterMap(const QString &path, RegisterMap *map)
{
    QFile file(path);
    // Only a regular file is a map: opening a pipe would block start-up.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    const char *next = bytes.constData();
    const char *const fileEnd = next + bytes.size();
    // One line of the file at a time, as readLine would give it.
    auto nextLine = [&next, fileEnd] {
        const char *begin = next;
        const void *newline = memchr(begin, '\n', size_t(fileEnd - begin));
        const char *end = newline ? static_cast<const char *>(newline) : fileEnd;
        next = newline ? end + 1 : fileEnd;
        return lineText(begin, end);
    };
    const QString settingsLine = nextLine();
    const QVector<QStringRef> settings = settingsLine.splitRef(QLatin1Char(','));
    QString wordOrder;
    QString writeFunction;
    QStringList settingFaults;
    QStringList unknownSettings;
    bool orderMisspelt = false;
    for (const QStringRef &part : settings) {
        const QStringRef key = keyOf(part);
        const QStringRef value = rawValue(part).trimmed();
        if (key == QLatin1String("slaveAddress"))
            readSlaveAddress(value, map, &settingFaults);
        else if (key == QLatin1String("txTime"))
            readTxTime(value, map, &settingFaults);
        else if (key == QLatin1String("rxOutTime"))
            readRxOutTime(value, map, &settingFaults);
        else if (key == QLatin1String("blockRead"))
            readBlockRead(value, map, &settingFaults);
        else if (key == QLatin1String("wordOrder"))
            wordOrder = givenValue(value);
        else if (key == QLatin1String("writeFunction"))
            writeFunction = givenValue(value);
        else if (noteUnknownSetting(key, map, &unknownSettings) == QLatin1String("wordOrder"))
            orderMisspelt = true;
    }
    // A misspelt wordOrder leaves the map's 32-bit rows in an order nobody
    // meant: they are treated as under a faulty one.
    const bool mapOrderValid = readFormatSettings(wordOrder, writeFunction, map, &settingFaults) && !orderMisspelt;
    for (const QString &fault : qAsConst(settingFaults))
        map->problems << QStringLiteral("line 1: ") + fault;
    map->formatProblems += settingFaults.isEmpty() ? 0 : 1;
    for (const QString &fault : qAsConst(unknownSettings))
        map->problems << QStringLiteral("line 1: ") + fault + QStringLiteral("; the setting is not used");
    map->unknownKeyLines += unknownSettings.isEmpty() ? 0 : 1;
    ProblemList problems(map);
    QVector<int> lineNumbers;
    QVector<int> wideRows;
    for (int lineNumber = 2; next < fileEnd; ++lineNumber) {
        const QString line = nextLine();
        if (line.isEmpty())
            continue;
        QStringList formatFaults;
        QStringList unknownKeys;
        RegisterInfo info = parseRegisterLine(line, &formatFaults, &unknownKeys);
        if (info.name.isEmpty()) {
            ++map->skippedLines;
            // "Name:A" is why such a line has no name.
            const QString skipped = QStringLiteral("line %1 skipped: no register (five fields or more, one of them "
                                                   "name)").arg(lineNumber);
            problems.add((QStringList(skipped) + unknownKeys).join(QStringLiteral("; ")));
            continue;
        }
        problems.checkRow(info, lineNumber);
        useMapWordOrder(info, *map, mapOrderValid, &formatFaults);
        // A misspelt key leaves the row in a format nobody meant ("Type:s32"
        // read as one unsigned word): it is counted as such, not as a format.
        if (!unknownKeys.isEmpty())
            ++map->unknownKeyLines;
        else if (!formatFaults.isEmpty())
            ++map->formatProblems;
        formatFaults = unknownKeys + formatFaults;
        if (!formatFaults.isEmpty()) {
            info.addressValid = false;
            QStringList rowProblems;
            for (const QString &fault : qAsConst(formatFaults)) {
                rowProblems << QStringLiteral("line %1: %2; the row is neither read nor written").arg(lineNumber).arg(fault);
                problems.add(rowProblems.last());
            }
            info.problem = rowProblems.join(QLatin1Char('\n'));
        }
        if (info.format.wordCount() == 2)
            wideRows.append(map->registers.size());
        lineNumbers.append(lineNumber);
        map->registers.append(info);
    }
    checkWideRows(map, lineNumbers, wideRows);
    QStringList roleProblems;
    driverProfile(map->registers, &roleProblems);
    for (const QString &problem : qAsConst(roleProblems))
        problems.add(problem);
    problems.finish();
    return true;
}

RegisterInfo parseRegisterLine(const QString &line)
{
    QStringList formatFaults;
    RegisterInfo info = parseRegisterLine(line, &formatFaults);
    info.addressValid = info.addressValid && formatFaults.isEmpty();
    return info;
}

RegisterInfo parseRegisterLine(const QString &line, QStringList *formatProblems, QStringList *unknownKeys)
{
    RegisterInfo info;
    // References into the line: a map of 100,000 lines makes no copy of a
    // part it does not keep.
    const QVector<QStringRef> parts = line.splitRef(QLatin1Char(','));
    if (parts.size() <= 4)
        return info;

    FormatKeys formatKeys;
    RoleKeys roleKeys;
    for (const QStringRef &part : parts) {
        const QStringRef key = keyOf(part);
        const QStringRef raw = rawValue(part);
        const QStringRef value = raw.trimmed();
        if (key == QLatin1String("indexes")) {
            info.addressText = value.toString();
            info.addressValid = toRegisterAddress(value, &info.address);
            info.addressRead = info.addressValid;
        } else if (key == QLatin1String("permission")) {
            info.permission = value.toString();
        } else if (key == QLatin1String("defaultValue")) {
            info.valueText = value.toString();
            info.value = hexToRegisterNumber(value);
        } else if (key == QLatin1String("rangeValue")) {
            setRange(info, raw);
        } else if (key == QLatin1String("name")) {
            info.name = value.toString();
        } else if (key == QLatin1String("remarks")) {
            info.remarks = value.toString();
        } else if (!formatKeys.take(key, value.toString()) && !roleKeys.take(key, value.toString())
                   && !key.isEmpty()) {
            *(unknownKeys ? unknownKeys : formatProblems) << unknownKeyProblem(key.toString(), registerKeys());
        }
    }
    info.format = parseRegisterFormat(formatKeys, info, formatProblems);
    info.roles = parseRowRoles(roleKeys, info, formatProblems);
    setWideDefault(info);
    return info;
}

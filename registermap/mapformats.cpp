#include "registermap/mapformats.h"
#include "registermap/registermap.h"
#include "registermap/registervalue.h"

#include <QHash>

#include <algorithm>

QString givenValue(const QStringRef &value)
{
    const QString text = value.toString();
    return text.isNull() ? QString(QLatin1String("")) : text;
}

void setWideDefault(RegisterInfo &info)
{
    if (info.format.wordCount() != 2)
        return;
    bool ok = false;
    const qlonglong pattern = info.valueText.toLatin1().toLongLong(&ok, 16);
    const bool fits = ok && pattern >= 0 && pattern <= 0xFFFFFFFFLL;
    const QVector<quint16> words = RegisterValue(info.format).toWords(fits ? pattern : 0);
    info.value = words.at(0);
    info.nextWord = words.at(1);
}

bool readFormatSettings(const QString &wordOrder, const QString &writeFunction, RegisterMap *map,
                        QStringList *faults)
{
    const bool orderValid = wordOrder.isNull() || parseWordOrder(wordOrder, &map->wordOrder);
    if (!orderValid)
        *faults << QStringLiteral("wordOrder \"%1\" is neither hl nor lh; 32-bit rows without their own "
                                  "wordOrder are neither read nor written").arg(wordOrder);
    if (writeFunction == QLatin1String("16"))
        map->writeFunction = 16;
    else if (!writeFunction.isNull() && writeFunction != QLatin1String("6"))
        *faults << QStringLiteral("writeFunction \"%1\" is neither 6 nor 16; writes use function 6")
                       .arg(writeFunction);
    return orderValid;
}

void useMapWordOrder(RegisterInfo &info, const RegisterMap &map, bool mapOrderValid, QStringList *faults)
{
    if (info.format.ownWordOrder)
        return;
    if (!mapOrderValid && info.format.wordCount() == 2)
        *faults << QStringLiteral("line 1's wordOrder, which this 32-bit row takes, is faulty");
    if (info.format.wordOrder != map.wordOrder) {
        info.format.wordOrder = map.wordOrder;
        setWideDefault(info);
    }
}

void checkWideRows(RegisterMap *map, const QVector<int> &lineNumbers, const QVector<int> &wideRows)
{
    if (wideRows.isEmpty())
        return;
    QMultiHash<quint16, int> rowsAt;
    for (int row = 0; row < map->registers.size(); ++row) {
        if (map->registers.at(row).addressValid)
            rowsAt.insert(map->registers.at(row).address, row);
    }
    for (int row : wideRows) {
        RegisterInfo &info = map->registers[row];
        if (!info.addressValid)
            continue;
        const int next = info.address + 1;
        QString fault;
        if (next > 0xFFFF) {
            fault = QStringLiteral("a 32-bit register at 0xFFFF has no next address; the row is neither read nor "
                                   "written");
        } else if (const QList<int> others = rowsAt.values(quint16(next)); !others.isEmpty()) {
            // Either row written alone would change half of the other's value.
            const int firstOther = *std::min_element(others.cbegin(), others.cend());
            fault = QStringLiteral("32-bit register 0x%1 also takes 0x%2, which line %3 has as a row of its own; "
                                   "neither row is read nor written")
                        .arg(info.address, 4, 16, QLatin1Char('0')).arg(next, 4, 16, QLatin1Char('0'))
                        .arg(lineNumbers.at(firstOther));
            for (int other : others) {
                map->registers[other].addressValid = false;
                map->registers[other].problem = QStringLiteral("line %1: %2").arg(lineNumbers.at(row)).arg(fault);
            }
        }
        if (fault.isEmpty())
            continue;
        info.addressValid = false;
        ++map->formatProblems;
        info.problem = QStringLiteral("line %1: %2").arg(lineNumbers.at(row)).arg(fault);
        map->problems << info.problem;
    }
}

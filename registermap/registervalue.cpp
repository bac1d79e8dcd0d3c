#include "registermap/registervalue.h"
#include "registermap/decimalnumber.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

qint64 powerOfTen(int exponent)
{
    qint64 power = 1;
    while (exponent-- > 0)
        power *= 10;
    return power;
}

// "0x" and upper-case digits, zero-padded to `digits`.
QString hexDigits(quint32 value, int digits)
{
    return QStringLiteral("0x%1").arg(QString::number(value, 16).toUpper(), digits, QLatin1Char('0'));
}

// Hexadecimal digits with or without "0x"; false for anything else.
bool parseHexDigits(QString text, quint64 *number)
{
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text.remove(0, 2);
    bool ok = false;
    *number = text.toULongLong(&ok, 16);
    return ok && !text.startsWith(QLatin1Char('+')) && !text.startsWith(QLatin1Char('-'));
}

} // namespace

qint64 RegisterValue::fromWords(quint16 atAddress, quint16 atNext) const
{
    if (format.wordCount() == 1)
        return fromPattern(atAddress);
    const bool highFirst = format.wordOrder == WordOrder::HighFirst;
    const quint32 high = highFirst ? atAddress : atNext;
    const quint32 low = highFirst ? atNext : atAddress;
    return fromPattern(high << 16 | low);
}

QVector<quint16> RegisterValue::toWords(qint64 raw) const
{
    const quint32 bits = pattern(raw);
    if (format.wordCount() == 1)
        return {quint16(bits)};
    const quint16 high = quint16(bits >> 16);
    const quint16 low = quint16(bits & 0xFFFF);
    if (format.wordOrder == WordOrder::HighFirst)
        return {high, low};
    return {low, high};
}

double RegisterValue::shown(qint64 raw) const
{
    return double(raw * format.scaleUnits) / double(powerOfTen(format.decimals));
}

QString RegisterValue::numberText(qint64 raw) const
{
    const qint64 units = raw * format.scaleUnits;
    if (format.decimals == 0)
        return QString::number(units);
    const qint64 divisor = powerOfTen(format.decimals);
    const qint64 magnitude = units < 0 ? -units : units;
    return QStringLiteral("%1%2.%3")
        .arg(units < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / divisor)
        .arg(magnitude % divisor, format.decimals, 10, QLatin1Char('0'));
}

QString RegisterValue::text(qint64 raw) const
{
    if (format.states.contains(raw))
        return QStringLiteral("%1 (%2)").arg(format.states.value(raw), numberText(raw));
    if (!format.bitNames.isEmpty()) {
        QStringList set;
        for (auto bit = format.bitNames.constBegin(); bit != format.bitNames.constEnd(); ++bit) {
            if (isBitSet(raw, bit.key()))
                set << bit.value();
        }
        if (set.isEmpty())
            return patternText(raw);
        return QStringLiteral("%1 (%2)").arg(set.join(QLatin1Char('|')), patternText(raw));
    }
    if (format.unit.isEmpty())
        return numberText(raw);
    return numberText(raw) + QLatin1Char(' ') + format.unit;
}

QString RegisterValue::toolTip(qint64 raw) const
{
    QStringList lines;
    for (auto state = format.states.constBegin(); state != format.states.constEnd(); ++state) {
        const QString mark = state.key() == raw ? QStringLiteral("● ") : QStringLiteral("○ ");
        lines << mark + numberText(state.key()) + QStringLiteral(" = ") + state.value();
    }
    if (!format.states.isEmpty() && !format.states.contains(raw))
        lines << QStringLiteral("● ") + numberText(raw);
    quint32 unnamed = pattern(raw);
    for (auto bit = format.bitNames.constBegin(); bit != format.bitNames.constEnd(); ++bit) {
        lines << QStringLiteral("bit %1 %2 = %3").arg(bit.key()).arg(bit.value()).arg(isBitSet(raw, bit.key()));
        unnamed &= ~(quint32(1) << bit.key());
    }
    if (!format.bitNames.isEmpty() && unnamed != 0)
        lines << QStringLiteral("+ %1").arg(patternText(fromPattern(unnamed)));
    return lines.join(QLatin1Char('\n'));
}

QString RegisterValue::hexText(qint64 raw) const
{
    QStringList words;
    for (quint16 word : toWords(raw))
        words << hexDigits(word, 4);
    return words.join(QLatin1Char(' '));
}

// What text() shows comes first, then a number, and a name only when the
// text is no number: a state named "400" does not hide the value 400.
RegisterValue::Input RegisterValue::parse(const QString &typed, qint64 current) const
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {InputError::Empty, 0};
    for (auto state = format.states.constBegin(); state != format.states.constEnd(); ++state) {
        if (text == this->text(state.key()))
            return {InputError::None, state.key()};
    }
    const bool bits = !format.bitNames.isEmpty();
    if (bits && text.contains(QLatin1String("0x"), Qt::CaseInsensitive))
        return parseBitsHex(text);
    const Input number = parseNumber(text);
    if (number.error != InputError::NotANumber)
        return number;
    for (auto state = format.states.constBegin(); state != format.states.constEnd(); ++state) {
        if (text == state.value())
            return {InputError::None, state.key()};
    }
    return bits ? parseBitNames(text, current) : number;
}

RegisterValue::Input RegisterValue::parseHex(const QString &typed) const
{
    const QStringList groups = typed.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (groups.isEmpty())
        return {InputError::Empty, 0};
    if (groups.size() != format.wordCount())
        return {InputError::NotANumber, 0};
    quint16 words[2] = {0, 0};
    for (int i = 0; i < groups.size(); ++i) {
        quint64 word = 0;
        if (!parseHexDigits(groups.at(i), &word))
            return {InputError::NotANumber, 0};
        if (word > 0xFFFF)
            return {InputError::OutOfType, 0};
        words[i] = quint16(word);
    }
    return {InputError::None, fromWords(words[0], words[1])};
}

bool RegisterValue::inRange(qint64 raw) const
{
    const qint64 units = raw * format.scaleUnits;
    return !format.hasRange || (units >= format.rangeLow && units <= format.rangeHigh);
}

bool RegisterValue::isBitSet(qint64 raw, int bit) const
{
    return bit >= 0 && bit < format.bitCount() && (pattern(raw) >> bit & 1) != 0;
}

qint64 RegisterValue::withNamedBits(qint64 current, const QList<int> &ticked) const
{
    quint32 bits = pattern(current);
    for (auto bit = format.bitNames.constBegin(); bit != format.bitNames.constEnd(); ++bit) {
        const quint32 mask = quint32(1) << bit.key();
        bits = ticked.contains(bit.key()) ? bits | mask : bits & ~mask;
    }
    return fromPattern(bits);
}

quint32 RegisterValue::pattern(qint64 raw) const
{
    const quint32 bits = quint32(quint64(raw) & 0xFFFFFFFFu);
    return format.wordCount() == 1 ? bits & 0xFFFF : bits;
}

qint64 RegisterValue::fromPattern(quint32 bits) const
{
    switch (format.type) {
    case ValueType::S16: return qint16(quint16(bits));
    case ValueType::U32: return bits;
    case ValueType::S32: return qint32(bits);
    default: return quint16(bits);
    }
}

QString RegisterValue::patternText(qint64 raw) const
{
    return hexDigits(pattern(raw), 4 * format.wordCount());
}

RegisterValue::Input RegisterValue::parseNumber(QString typed) const
{
    if (!format.unit.isEmpty() && typed.endsWith(format.unit)) {
        typed.chop(format.unit.size());
        typed = typed.trimmed();
    }
    DecimalNumber number;
    if (!parseDecimal(typed, &number))
        return {InputError::NotANumber, 0};
    qint64 units = 0;
    if (!toUnits(number, format.decimals, Rounding::Down, &units))
        return {InputError::OutOfType, 0};
    if (!toUnits(number, format.decimals, Rounding::Exact, &units) || units % format.scaleUnits != 0)
        return {InputError::NotExact, 0};
    const qint64 raw = units / format.scaleUnits;
    if (!fitsType(raw))
        return {InputError::OutOfType, 0};
    return {InputError::None, raw};
}

// "0x0003", or "使能|运行 (0x0003)" as text() shows it.
RegisterValue::Input RegisterValue::parseBitsHex(const QString &typed) const
{
    static const QRegularExpression shown(QStringLiteral("^(?:.*\\()?(0[xX][0-9A-Fa-f]+)\\)?$"));
    const QRegularExpressionMatch match = shown.match(typed);
    quint64 bits = 0;
    if (!match.hasMatch() || !parseHexDigits(match.captured(1), &bits))
        return {InputError::NotANumber, 0};
    if (bits >= quint64(1) << format.bitCount())
        return {InputError::OutOfType, 0};
    return {InputError::None, fromPattern(quint32(bits))};
}

// "使能|运行": these named bits set, the other named ones clear.
RegisterValue::Input RegisterValue::parseBitNames(const QString &typed, qint64 current) const
{
    QList<int> named;
    for (const QString &name : typed.split(QLatin1Char('|'))) {
        const int bit = format.bitNames.key(name.trimmed(), -1);
        if (bit < 0)
            return {InputError::NotANumber, 0};
        named << bit;
    }
    return {InputError::None, withNamedBits(current, named)};
}

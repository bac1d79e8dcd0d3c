#include "registermap/registerformat.h"
#include "registermap/decimalnumber.h"
#include "registermap/registerinfo.h"
#include "registermap/registervalue.h"

#include <QVector>

namespace {

// A scale of up to nine significant digits and nine decimals keeps
// raw x scaleUnits within 62 bits for every 32-bit raw value.
constexpr qint64 maxScaleUnits = 999999999;
constexpr int maxScaleDecimals = 9;

bool parseType(const QString &text, ValueType *type)
{
    static const QMap<QString, ValueType> types = {
        {QStringLiteral("u16"), ValueType::U16}, {QStringLiteral("s16"), ValueType::S16},
        {QStringLiteral("u32"), ValueType::U32}, {QStringLiteral("s32"), ValueType::S32}};
    const auto found = types.constFind(text.toLower());
    if (found == types.constEnd())
        return false;
    *type = found.value();
    return true;
}

bool parseScale(const QString &text, RegisterFormat *format)
{
    DecimalNumber scale;
    if (!parseDecimal(text, &scale) || scale.mantissa <= 0 || scale.mantissa > maxScaleUnits
        || scale.exponent > maxScaleDecimals)
        return false;
    format->scaleUnits = scale.mantissa;
    format->decimals = scale.exponent;
    return true;
}

// "key=name;key=name": empty pieces are allowed, so a trailing ';' is too.
// Gives the first fault, or an empty text.
QString parseNamedList(const QString &text, qint64 lowest, qint64 highest, QMap<qint64, QString> *names)
{
    const QVector<QStringRef> pieces = text.splitRef(QLatin1Char(';'));
    for (const QStringRef &piece : pieces) {
        if (piece.trimmed().isEmpty())
            continue;
        const int equals = piece.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? QString() : piece.mid(equals + 1).trimmed().toString();
        if (name.isEmpty())
            return QStringLiteral("\"%1\" is no number=name pair").arg(piece.trimmed());
        bool ok = false;
        const qint64 key = piece.left(equals).trimmed().toLongLong(&ok, 10);
        if (!ok || key < lowest || key > highest)
            return QStringLiteral("\"%1\" is no number from %2 to %3").arg(piece.left(equals).trimmed())
                .arg(lowest).arg(highest);
        if (names->contains(key))
            return QStringLiteral("%1 is named twice").arg(key);
        names->insert(key, name);
    }
    return names->isEmpty() ? QStringLiteral("it names nothing") : QString();
}

void parseStates(const QString &text, RegisterFormat *format, QStringList *problems)
{
    const QString fault = parseNamedList(text, format->minRaw(), format->maxRaw(), &format->states);
    if (!fault.isEmpty()) {
        format->states.clear();
        *problems << QStringLiteral("enum \"%1\" is malformed: %2").arg(text, fault);
    }
}

void parseBits(const QString &text, RegisterFormat *format, QStringList *problems)
{
    QMap<qint64, QString> names;
    const QString fault = parseNamedList(text, 0, format->bitCount() - 1, &names);
    if (!fault.isEmpty()) {
        *problems << QStringLiteral("bits \"%1\" is malformed: %2").arg(text, fault);
        return;
    }
    for (auto bit = names.constBegin(); bit != names.constEnd(); ++bit)
        format->bitNames.insert(int(bit.key()), bit.value());
}

// rangeValue's bounds in the units of RegisterFormat::rangeLow: rounded
// inwards, so that a raw value is in range exactly when its shown value is.
void parseRange(const QString &rangeText, RegisterFormat *format)
{
    const QStringList bounds = rangeText.split(QLatin1Char('~'));
    if (bounds.size() != 2)
        return;
    DecimalNumber low;
    DecimalNumber high;
    // Without a scale the bounds are whole numbers, as they have always been.
    const int decimalsAllowed = format->scaleUnits == 1 && format->decimals == 0 ? 0 : maxScaleDecimals;
    format->hasRange = parseDecimal(bounds.at(0).trimmed(), &low) && parseDecimal(bounds.at(1).trimmed(), &high)
        && low.exponent <= decimalsAllowed && high.exponent <= decimalsAllowed
        && toUnits(low, format->decimals, Rounding::Up, &format->rangeLow)
        && toUnits(high, format->decimals, Rounding::Down, &format->rangeHigh);
}

QString typeName(ValueType type)
{
    switch (type) {
    case ValueType::S16: return QStringLiteral("s16");
    case ValueType::U32: return QStringLiteral("u32");
    case ValueType::S32: return QStringLiteral("s32");
    default: return QStringLiteral("u16");
    }
}

// A range the row's type cannot hold means the type is not the one the
// driver has (-3000~3000 on a u16): every value shown would be wrong.
void checkRangeFitsType(const RegisterFormat &format, const QString &rangeText, QStringList *problems)
{
    if (!format.hasRange)
        return;
    if (format.rangeLow > format.rangeHigh) {
        *problems << QStringLiteral("range \"%1\" holds no value (its minimum is above its maximum)").arg(rangeText);
        return;
    }
    if (format.rangeLow >= format.minRaw() * format.scaleUnits && format.rangeHigh <= format.maxRaw() * format.scaleUnits)
        return;
    const RegisterValue value(format);
    *problems << QStringLiteral("range \"%1\" goes beyond what a %2 register holds (%3~%4)")
                     .arg(rangeText, typeName(format.type), value.numberText(format.minRaw()),
                          value.numberText(format.maxRaw()));
}

} // namespace

qint64 RegisterFormat::minRaw() const
{
    switch (type) {
    case ValueType::S16: return -32768;
    case ValueType::S32: return -2147483648LL;
    default: return 0;
    }
}

qint64 RegisterFormat::maxRaw() const
{
    switch (type) {
    case ValueType::S16: return 32767;
    case ValueType::S32: return 2147483647LL;
    case ValueType::U32: return 4294967295LL;
    default: return 65535;
    }
}

bool FormatKeys::take(const QStringRef &key, const QString &value)
{
    static const QStringList names = {QStringLiteral("type"), QStringLiteral("wordOrder"),
                                      QStringLiteral("scale"), QStringLiteral("unit"),
                                      QStringLiteral("enum"), QStringLiteral("bits")};
    QString *const fields[] = {&type, &wordOrder, &scale, &unit, &states, &bits};
    for (int i = 0; i < names.size(); ++i) {
        if (key == names.at(i)) {
            // An empty value is given all the same: "scale:" is a fault.
            *fields[i] = value.isNull() ? QString(QLatin1String("")) : value;
            return true;
        }
    }
    return false;
}

bool parseWordOrder(const QString &text, WordOrder *order)
{
    const QString lower = text.toLower();
    if (lower != QLatin1String("hl") && lower != QLatin1String("lh"))
        return false;
    *order = lower == QLatin1String("hl") ? WordOrder::HighFirst : WordOrder::LowFirst;
    return true;
}

bool FormatKeys::isEmpty() const
{
    return type.isNull() && wordOrder.isNull() && scale.isNull() && unit.isNull() && states.isNull()
        && bits.isNull();
}

RegisterFormat parseRegisterFormat(const FormatKeys &keys, const RegisterInfo &info, QStringList *problems)
{
    RegisterFormat format;
    if (keys.isEmpty()) {
        format.hasRange = info.hasRange;
        format.rangeLow = info.rangeMin;
        format.rangeHigh = info.rangeMax;
        return format;
    }
    if (!keys.type.isNull() && !parseType(keys.type, &format.type))
        *problems << QStringLiteral("type \"%1\" is none of u16, s16, u32, s32").arg(keys.type);
    if (!keys.wordOrder.isNull()) {
        format.ownWordOrder = parseWordOrder(keys.wordOrder, &format.wordOrder);
        if (!format.ownWordOrder)
            *problems << QStringLiteral("wordOrder \"%1\" is neither hl nor lh").arg(keys.wordOrder);
    }
    if (!keys.scale.isNull() && !parseScale(keys.scale, &format))
        *problems << QStringLiteral("scale \"%1\" is no positive number (such as 0.1)").arg(keys.scale);
    format.unit = keys.unit;
    if (!keys.states.isNull())
        parseStates(keys.states, &format, problems);
    if (!keys.bits.isNull())
        parseBits(keys.bits, &format, problems);
    if (!keys.bits.isNull() && (!keys.states.isNull() || !keys.scale.isNull()))
        *problems << QStringLiteral("bits name the bits of the raw value: no enum or scale beside them");
    parseRange(info.rangeText, &format);
    checkRangeFitsType(format, info.rangeText, problems);
    return format;
}

#include "registermap/decimalnumber.h"

namespace {

constexpr int maxDigits = 18;
constexpr qint64 unitsLimit = qint64(1) << 62;

qint64 powerOfTen(int exponent)
{
    qint64 power = 1;
    while (exponent-- > 0)
        power *= 10;
    return power;
}

} // namespace

bool parseDecimal(const QString &text, DecimalNumber *number)
{
    int i = 0;
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (negative || text.startsWith(QLatin1Char('+')))
        i = 1;
    qint64 mantissa = 0;
    int exponent = 0;
    int digits = 0;
    int significant = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('.') && !point) {
            point = true;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        ++digits;
        if (mantissa == 0 && c == QLatin1Char('0') && !point)
            continue;
        if (++significant > maxDigits)
            return false;
        mantissa = 10 * mantissa + (c.unicode() - '0');
        exponent += point ? 1 : 0;
    }
    if (digits == 0)
        return false;
    while (exponent > 0 && mantissa % 10 == 0) {
        mantissa /= 10;
        --exponent;
    }
    number->mantissa = negative ? -mantissa : mantissa;
    number->exponent = exponent;
    return true;
}

bool toUnits(const DecimalNumber &number, int decimals, Rounding rounding, qint64 *units)
{
    qint64 result = 0;
    if (number.exponent <= decimals) {
        if (__builtin_mul_overflow(number.mantissa, powerOfTen(decimals - number.exponent), &result))
            return false;
    } else {
        const qint64 divisor = powerOfTen(number.exponent - decimals);
        const qint64 remainder = number.mantissa % divisor;
        result = number.mantissa / divisor;
        if (remainder != 0 && rounding == Rounding::Exact)
            return false;
        if (remainder < 0 && rounding == Rounding::Down)
            --result;
        if (remainder > 0 && rounding == Rounding::Up)
            ++result;
    }
    if (result <= -unitsLimit || result >= unitsLimit)
        return false;
    *units = result;
    return true;
}

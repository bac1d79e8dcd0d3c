#ifndef DECIMALNUMBER_H
#define DECIMALNUMBER_H

#include <QString>

// A decimal number as written, mantissa / 10^exponent, without trailing
// zeros after the point: "48.50" is 485 / 10^1. Integers only, so that
// scaled register values convert exactly.
struct DecimalNumber
{
    qint64 mantissa = 0;
    int exponent = 0;
};

// "[+|-]digits[.digits]" (digits on at least one side of the point), with
// at most 18 significant digits; false for anything else.
bool parseDecimal(const QString &text, DecimalNumber *number);

enum class Rounding { Exact, Down, Up };

// number x 10^decimals as an integer, rounded as asked; false when the
// result is beyond 2^62 or, for Exact, when it is not a whole number.
bool toUnits(const DecimalNumber &number, int decimals, Rounding rounding, qint64 *units);

#endif // DECIMALNUMBER_H

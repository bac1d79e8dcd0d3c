#ifndef REGISTERFORMAT_H
#define REGISTERFORMAT_H

#include <QMap>
#include <QString>
#include <QStringList>

enum class ValueType : quint8 { U16, S16, U32, S32 };

// Which of a 32-bit value's words sits at the register's own address.
enum class WordOrder : quint8 { HighFirst, LowFirst };

// What a register line's optional keys say its value means. A line without
// them has this default: one unsigned 16-bit word shown as it is.
struct RegisterFormat
{
    ValueType type = ValueType::U16;
    WordOrder wordOrder = WordOrder::HighFirst;
    // True when the register line names its own word order; otherwise the
    // map's (line 1) applies.
    bool ownWordOrder = false;
    // shown value = raw x scaleUnits / 10^decimals, and it is shown with
    // `decimals` digits after the point. Kept as integers so that typed
    // values convert exactly.
    qint64 scaleUnits = 1;
    int decimals = 0;
    QString unit;
    QMap<qint64, QString> states;  // enum: raw value -> name
    QMap<int, QString> bitNames;   // bits: bit number -> name
    // rangeValue in shown units, counted in 10^-decimals: a raw value r is
    // in range when rangeLow <= r x scaleUnits <= rangeHigh.
    bool hasRange = false;
    qint64 rangeLow = 0;
    qint64 rangeHigh = 0;

    int wordCount() const { return type == ValueType::U32 || type == ValueType::S32 ? 2 : 1; }
    int bitCount() const { return 16 * wordCount(); }
    bool isSigned() const { return type == ValueType::S16 || type == ValueType::S32; }
    qint64 minRaw() const;
    qint64 maxRaw() const;
};

// The optional keys' texts as a register line gives them; null when absent.
struct FormatKeys
{
    QString type;
    QString wordOrder;
    QString scale;
    QString unit;
    QString states;
    QString bits;

    // Takes `value` when `key` is one of the format keys; false otherwise.
    bool take(const QStringRef &key, const QString &value);
    bool isEmpty() const;
};

struct RegisterInfo;

// Builds the format of a register line from its keys and the rangeValue
// that `info` holds. Each fault appends one phrase to `problems` (without a
// line number); what is faulty keeps its default. A line without the keys
// costs next to nothing: its range is the one `info` has already read.
RegisterFormat parseRegisterFormat(const FormatKeys &keys, const RegisterInfo &info, QStringList *problems);

// "hl" or "lh", in either case.
bool parseWordOrder(const QString &text, WordOrder *order);

#endif // REGISTERFORMAT_H

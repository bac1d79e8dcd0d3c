#ifndef REGISTERVALUE_H
#define REGISTERVALUE_H

#include <QList>
#include <QString>
#include <QVector>

#include "registermap/registerformat.h"

// A register's value as a person reads and types it, by the format its map
// line gives: raw words <-> the raw value in the row's type <-> shown value
// and text. Widget-free: the table, the editor, the recorder and the
// parameter files all convert through it.
//
// "Raw" is the integer the register(s) hold, read in the row's type: -1200
// for an s32 holding 0xFFFFFB50. "Words" are the register contents in
// address order, as reads return them and writes send them.
class RegisterValue
{
public:
    enum class InputError { None, Empty, NotANumber, NotExact, OutOfType };
    struct Input
    {
        InputError error = InputError::None;
        qint64 raw = 0;
        bool ok() const { return error == InputError::None; }
    };

    explicit RegisterValue(const RegisterFormat &format) : format(format) {}

    int wordCount() const { return format.wordCount(); }
    // `atNext` is the word at address + 1; a 16-bit row ignores it.
    qint64 fromWords(quint16 atAddress, quint16 atNext = 0) const;
    // wordCount() words in address order.
    QVector<quint16> toWords(qint64 raw) const;
    bool fitsType(qint64 raw) const { return raw >= format.minRaw() && raw <= format.maxRaw(); }

    // The shown value as a number (trend plot, recorder) and as text
    // without the unit ("48.0", "-1200").
    double shown(qint64 raw) const;
    QString numberText(qint64 raw) const;
    // What the table shows: "48.0 V", "-1200", "过流 (1)", "使能|运行 (0x0003)".
    QString text(qint64 raw) const;
    // Every named state or bit with its current value, one a line; empty for
    // a row that names neither.
    QString toolTip(qint64 raw) const;
    // The register contents in address order: "0xFFFF 0xFB50".
    QString hexText(qint64 raw) const;
    // The value's bits as one number: "0x0BB8", "0x00013D52" for 32 bits.
    QString patternText(qint64 raw) const;

    // A typed value in shown units: a number (the unit may follow), a state
    // name or what text() shows for a state, for bits also "name|name" or
    // the hexadecimal value. A number that the scale cannot give exactly is
    // refused, not rounded. Typed bit names set those named bits and clear
    // the other named ones; the bits without a name keep what `current`
    // holds, as ticking them does.
    Input parse(const QString &typed, qint64 current = 0) const;
    // The register contents as hexText() writes them, one group per word.
    Input parseHex(const QString &typed) const;
    // Always true for a row whose rangeValue gives no two numbers.
    bool inRange(qint64 raw) const;

    bool isBitSet(qint64 raw, int bit) const;
    // `current` with each named bit set as `ticked` says; the bits that
    // have no name keep their state.
    qint64 withNamedBits(qint64 current, const QList<int> &ticked) const;

private:
    quint32 pattern(qint64 raw) const;
    qint64 fromPattern(quint32 bits) const;
    Input parseNumber(QString typed) const;
    Input parseBitsHex(const QString &typed) const;
    Input parseBitNames(const QString &typed, qint64 current) const;

    RegisterFormat format;
};

#endif // REGISTERVALUE_H

#include "paramsets/writegate.h"

#include "registermap/addressrules.h"
#include "registermap/registervalue.h"

namespace {

constexpr quint8 writeSingleRegister = 0x06;
constexpr quint8 writeMultipleRegisters = 0x10;

bool isFile(WriteOrigin origin)
{
    return origin == WriteOrigin::Restore || origin == WriteOrigin::Undo || origin == WriteOrigin::Compare
        || origin == WriteOrigin::BusRestore;
}

GateAnswer refused(const QString &reason)
{
    return {GateAnswer::Kind::Refused, Confirmation::None, reason};
}

GateAnswer needs(Confirmation confirmation, const QString &reason)
{
    return {GateAnswer::Kind::NeedsConfirmation, confirmation, reason};
}

QString valueText(quint16 word)
{
    return QStringLiteral("%1 (0x%2)").arg(word).arg(QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper());
}

QString dangerName(const AddressRules &rules, quint16 word)
{
    for (const RowCommand &command : rules.commands) {
        if (command.value == word && rules.dangerNames.contains(command.name))
            return command.name;
    }
    return QString();
}

quint16 firstWord(const AddressRules &rules, qint64 raw)
{
    return RegisterValue(rules.first()->format).toWords(raw).value(0);
}

} // namespace

GateAnswer WriteGate::judge(WriteOrigin origin, quint16 address, qint64 raw, const WriteConsent &consent) const
{
    return judgeWord(origin, address, raw, true, consent);
}

GateAnswer WriteGate::judgeFrame(WriteOrigin origin, const QByteArray &frame, const WriteConsent &consent) const
{
    if (frame.size() < 6)
        return GateAnswer();
    const quint8 function = quint8(frame.at(1));
    const quint16 address = quint16(quint8(frame.at(2)) << 8 | quint8(frame.at(3)));
    QList<quint16> words;
    if (function == writeSingleRegister) {
        words << quint16(quint8(frame.at(4)) << 8 | quint8(frame.at(5)));
    } else if (function == writeMultipleRegisters && frame.size() >= 7) {
        const int count = quint8(frame.at(4)) << 8 | quint8(frame.at(5));
        for (int i = 0; i < count && 7 + 2 * i + 1 < frame.size(); ++i)
            words << quint16(quint8(frame.at(7 + 2 * i)) << 8 | quint8(frame.at(8 + 2 * i)));
    }
    GateAnswer strictest;
    for (int i = 0; i < words.size(); ++i) {
        const quint16 at = quint16(address + i);
        const RegisterInfo *line = linesAt(registers, at).value(0);
        GateAnswer answer;
        // A 32-bit row's two words are one value of its type.
        if (line && line->format.wordCount() == 2 && i + 1 < words.size()) {
            const qint64 raw = RegisterValue(line->format).fromWords(words.at(i), words.at(i + 1));
            answer = judgeWord(origin, at, raw, true, consent);
            ++i;
        } else {
            answer = judgeWord(origin, at, words.at(i), false, consent);
        }
        if (int(answer.kind) > int(strictest.kind))
            strictest = answer;
    }
    return strictest;
}

GateAnswer WriteGate::afterDoubt()
{
    return refused(QStringLiteral("a reply that fits no request came since the run began: nothing more is written"));
}

// `typed`: raw is in the type of the address's first line; otherwise it is
// one register's word, as a hand-typed frame carries it.
GateAnswer WriteGate::judgeWord(WriteOrigin origin, quint16 address, qint64 raw, bool typed,
                                const WriteConsent &consent) const
{
    const AddressRules rules = addressRules(registers, address);
    const bool byHand = origin == WriteOrigin::HandFrame;
    if (!rules.inMap())
        return byHand ? GateAnswer() : refused(rules.label() + QStringLiteral(" is not in the map"));
    if (rules.identity && !byHand)
        return refused(rules.label() + QStringLiteral(" names the driver (identity or serial number): it is never "
                                                      "written"));
    if (rules.identity && !consent.identity)
        return needs(Confirmation::Identity, rules.label() + QStringLiteral(" names the driver (identity or serial "
                                                                          "number)"));
    if (rules.readOnly && !byHand)
        return refused(rules.label() + QStringLiteral(" is read-only"));
    if (rules.writeOnly && isFile(origin) && !consent.writeOnly)
        return needs(Confirmation::WriteOnly, rules.label() + QStringLiteral(" is write-only (a command register)"));
    const quint16 word = typed ? firstWord(rules, raw) : quint16(raw);
    if (rules.isDangerValue(word) && origin == WriteOrigin::SaveQuestion)
        return refused(rules.label() + QStringLiteral(": %1 is the danger command \"%2\", never sent as the save")
                           .arg(valueText(word), dangerName(rules, word)));
    if (rules.isDangerValue(word) && !consent.danger)
        return needs(Confirmation::Danger, rules.label() + QStringLiteral(": %1 is the danger command \"%2\"")
                                               .arg(valueText(word), dangerName(rules, word)));
    const bool mapValue = origin == WriteOrigin::Command || origin == WriteOrigin::SaveQuestion;
    const bool rangeApplies = typed || rules.first()->format.wordCount() == 1;
    if (!mapValue && rangeApplies && !consent.outOfRange) {
        const qint64 value = typed ? raw : RegisterValue(rules.first()->format).fromWords(word, 0);
        if (const RegisterInfo *line = rules.rangeRefusing(value))
            return needs(Confirmation::OutOfRange, rules.label() + QStringLiteral(": %1 is outside the map's range %2")
                                                       .arg(RegisterValue(line->format).text(value), line->rangeText));
    }
    return GateAnswer();
}

void WriteConsent::give(Confirmation confirmation)
{
    danger |= confirmation == Confirmation::Danger;
    outOfRange |= confirmation == Confirmation::OutOfRange;
    writeOnly |= confirmation == Confirmation::WriteOnly;
    identity |= confirmation == Confirmation::Identity;
}

QString confirmationOption(Confirmation confirmation)
{
    switch (confirmation) {
    case Confirmation::Danger: return QStringLiteral("--yes");
    case Confirmation::OutOfRange: return QStringLiteral("--allow-out-of-range");
    case Confirmation::WriteOnly: return QStringLiteral("--include-write-only");
    case Confirmation::Identity:
    case Confirmation::None: break;
    }
    return QString();
}

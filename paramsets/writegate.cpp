#include "paramsets/writegate.h"

#include "registermap/addressrules.h"
#include "registermap/registerframes.h"
#include "registermap/registervalue.h"

namespace {

constexpr quint8 writeSingleRegister = 0x06;
constexpr quint8 writeMultipleRegisters = 0x10;
constexpr quint8 maskWriteRegister = 0x16;
constexpr quint8 readWriteRegisters = 0x17;

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

// The bytes of a request with this function, its CRC included; 0 when
// the function's length is not known here.
int requestLength(const QByteArray &frame)
{
    if (frame.size() < 2)
        return 0;
    const quint8 function = quint8(frame.at(1));
    if (function >= 1 && function <= 6)
        return 8;
    if ((function == 15 || function == writeMultipleRegisters) && frame.size() > 6)
        return 9 + quint8(frame.at(6));
    if (function == maskWriteRegister)
        return 10;
    if (function == readWriteRegisters && frame.size() > 10)
        return 13 + quint8(frame.at(10));
    return 0;
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

GateAnswer WriteGate::judgeFrame(WriteOrigin origin, const QByteArray &bytes, const WriteConsent &consent) const
{
    // Typed frames one after another reach a driver as so many requests.
    GateAnswer strictest;
    for (int at = 0; at < bytes.size();) {
        const QByteArray frame = bytes.mid(at);
        const GateAnswer answer = judgeOneFrame(origin, frame, consent);
        if (int(answer.kind) > int(strictest.kind))
            strictest = answer;
        const int length = requestLength(frame);
        if (length <= 0)
            break;
        at += length;
    }
    return strictest;
}

GateAnswer WriteGate::judgeOneFrame(WriteOrigin origin, const QByteArray &frame, const WriteConsent &consent) const
{
    const auto wordAt = [&frame](int at) {
        return at + 1 < frame.size() ? quint16(quint8(frame.at(at)) << 8 | quint8(frame.at(at + 1))) : quint16(0);
    };
    const quint8 function = frame.size() > 1 ? quint8(frame.at(1)) : 0;
    // Where the written address stands, where its words begin and how many
    // there are. A frame whose byte count promises more words than its
    // count is judged for all of them: a driver may go by either.
    int addressAt = 2;
    int wordsAt = 4;
    int count = 0;
    if (function == writeSingleRegister && frame.size() >= 6) {
        count = 1;
    } else if (function == writeMultipleRegisters && frame.size() >= 7) {
        wordsAt = 7;
        count = qMax(int(wordAt(4)), quint8(frame.at(6)) / 2);
    } else if (function == readWriteRegisters && frame.size() >= 11) {
        addressAt = 6;
        wordsAt = 11;
        count = qMax(int(wordAt(8)), quint8(frame.at(10)) / 2);
    } else if (function == maskWriteRegister && frame.size() >= 8) {
        count = 1;
    }
    const quint16 address = wordAt(addressAt);
    QList<quint16> words;
    for (int i = 0; i < count && wordsAt + 2 * i + 1 < frame.size(); ++i)
        words << wordAt(wordsAt + 2 * i);
    if (function == maskWriteRegister && !words.isEmpty())
        words[0] = maskedWord(address, wordAt(4), wordAt(6));
    GateAnswer strictest;
    for (int i = 0; i < words.size(); ++i) {
        const quint16 at = quint16(address + i);
        const RegisterInfo *line = linesAt(registers, at).value(0);
        const RegisterInfo *before = at > 0 ? linesAt(registers, quint16(at - 1)).value(0) : nullptr;
        GateAnswer answer;
        // A 32-bit row's two words are one value of its type.
        if (line && line->format.wordCount() == 2 && i + 1 < words.size()) {
            const qint64 raw = RegisterValue(line->format).fromWords(words.at(i), words.at(i + 1));
            answer = judgeWord(origin, at, raw, true, consent);
            ++i;
        } else if (!line && before && before->format.wordCount() == 2) {
            // The second word of a 32-bit row is that row, half written.
            answer = judgeWord(origin, quint16(at - 1), words.at(i), false, consent);
        } else {
            answer = judgeWord(origin, at, words.at(i), false, consent);
        }
        if (int(answer.kind) > int(strictest.kind))
            strictest = answer;
    }
    return strictest;
}

// A mask write leaves (current AND andMask) OR (orMask AND NOT andMask): the
// bits outside andMask are set by the frame, the rest are the driver's. When
// a danger value can come out of it, that value is what it writes.
quint16 WriteGate::maskedWord(quint16 address, quint16 andMask, quint16 orMask) const
{
    const quint16 forced = orMask & quint16(~andMask);
    for (quint16 danger : addressRules(registers, address).dangerValues) {
        if ((danger & quint16(~andMask)) == forced)
            return danger;
    }
    return forced;
}

QByteArray WriteGate::rowFrame(quint8 slave, const RegisterInfo &row, int writeFunction)
{
    return writeRowCmd(slave, row, writeFunction);
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
    if (!rules.inMap() && !byHand)
        return refused(rules.label() + QStringLiteral(" is not in the map"));
    if (rules.identity && !byHand)
        return refused(rules.label() + QStringLiteral(" names the driver (identity or serial number): it is never "
                                                      "written"));
    if (rules.identity && !consent.identity)
        return needs(Confirmation::Identity, rules.label() + QStringLiteral(" names the driver (identity or serial "
                                                                          "number)"));
    if (rules.readOnly && !byHand)
        return refused(rules.label() + QStringLiteral(" is read-only"));
    // Only the test run keeps a moving motor under its dead-man.
    if (rules.startsMotion && raw != 0 && origin != WriteOrigin::TestMove)
        return refused(rules.label() + QStringLiteral(" sets the motor going: only the Test run panel starts it"));
    if (rules.writeOnly && isFile(origin) && !consent.writeOnly)
        return needs(Confirmation::WriteOnly, rules.label() + QStringLiteral(" is write-only (a command register)"));
    // A hand-typed word to a register that only unusable lines name: their
    // danger still counts, their format and range do not.
    const quint16 word = !rules.inMap() ? quint16(raw) : typed ? firstWord(rules, raw) : quint16(raw);
    if (rules.isDangerValue(word) && origin == WriteOrigin::SaveQuestion)
        return refused(rules.label() + QStringLiteral(": %1 is the danger command \"%2\", never sent as the save")
                           .arg(valueText(word), dangerName(rules, word)));
    if (rules.isDangerValue(word) && !consent.danger)
        return needs(Confirmation::Danger, rules.label() + QStringLiteral(": %1 is the danger command \"%2\"")
                                               .arg(valueText(word), dangerName(rules, word)));
    if (!rules.inMap())
        return GateAnswer();
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

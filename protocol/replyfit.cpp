#include "replyfit.h"

#include "protocol/modbusmaster.h"

namespace {

constexpr int exceptionReplyLength = 5;
constexpr int writeEchoLength = 8;

quint16 wordAt(const QByteArray &bytes, int index)
{
    return quint16((uchar(bytes.at(index)) << 8) | uchar(bytes.at(index + 1)));
}

RequestOutcome outcome(OutcomeKind kind)
{
    RequestOutcome result;
    result.kind = kind;
    result.frameSent = true;
    return result;
}

RequestOutcome judgeRead(const PendingCommand &request, const QByteArray &block, QString *logText)
{
    const QList<quint16> values = ModbusMaster::instance()->readReplyValues(block);
    if (values.size() != request.count || block.size() != 5 + 2 * request.count) {
        *logText = QStringLiteral("Read Data Parsing Error!");
        return outcome(OutcomeKind::Garbled);
    }
    RequestOutcome answered = outcome(OutcomeKind::Answered);
    answered.values = values;
    return answered;
}

RequestOutcome judgeWriteEcho(const PendingCommand &request, const QByteArray &block, QString *logText)
{
    if (block.size() != writeEchoLength || request.frame.size() < 6) {
        *logText = QStringLiteral("Write Data Parsing Error!");
        return outcome(OutcomeKind::Garbled);
    }
    // Address and value (function 6) or address and count (function 16).
    if (block.mid(2, 4) != request.frame.mid(2, 4)) {
        *logText = QStringLiteral("Write echo 0x%1 <- %2 does not match the write: ignored")
                       .arg(wordAt(block, 2), 4, 16, QLatin1Char('0'))
                       .arg(wordAt(block, 4));
        return outcome(OutcomeKind::Garbled);
    }
    RequestOutcome answered = outcome(OutcomeKind::Answered);
    answered.values.append(wordAt(request.frame, 4));
    return answered;
}

} // namespace

RequestOutcome judgeReply(const PendingCommand &request, const QByteArray &block, QString *logText)
{
    logText->clear();
    if (!ModbusMaster::instance()->checkCrc(block)) {
        *logText = QStringLiteral("Data CRC Error!");
        return outcome(OutcomeKind::Garbled);
    }
    if (block.size() < exceptionReplyLength) {
        *logText = QStringLiteral("Reply too short: ignored");
        return outcome(OutcomeKind::Garbled);
    }
    const quint8 slave = quint8(block.at(0));
    const quint8 function = quint8(block.at(1));
    if (slave != request.slave()) {
        *logText = QStringLiteral("Reply from slave %1 ignored: the request went to slave %2")
                       .arg(slave)
                       .arg(request.slave());
        return outcome(OutcomeKind::Garbled);
    }
    if (function == (request.function() | 0x80) && block.size() == exceptionReplyLength) {
        const quint8 code = quint8(block.at(2));
        // The gateway answers for a driver that did not: no answer of its own.
        const bool gateway = code == 0x0A || code == 0x0B;
        RequestOutcome refused = outcome(gateway ? OutcomeKind::TimedOut : OutcomeKind::Refused);
        refused.exceptionCode = code;
        *logText = exceptionText(code);
        return refused;
    }
    if (function != request.function()) {
        *logText = QStringLiteral("Reply of function %1 ignored: the request was function %2")
                       .arg(function)
                       .arg(request.function());
        return outcome(OutcomeKind::Garbled);
    }
    return request.isWrite() ? judgeWriteEcho(request, block, logText) : judgeRead(request, block, logText);
}

#include "paramsets/commandrun.h"

#include "protocol/requestscheduler.h"
#include "registermap/registerframes.h"

CommandRun::CommandRun(RequestScheduler *scheduler, QObject *parent)
    : QObject(parent)
    , scheduler(scheduler)
{
    connect(scheduler, &RequestScheduler::completed, this, &CommandRun::onCompleted);
    connect(scheduler, &RequestScheduler::unaskedReply, this, [this](const QByteArray &block) {
        if (running && !doubtful)
            firstUnaskedFrom = block.isEmpty() ? 0 : quint8(block.at(0));
        doubtful |= running;
    });
}

QByteArray CommandRun::frame(const DriverCommand &command, quint8 slave, int writeFunction)
{
    RegisterInfo row;
    row.address = command.address;
    row.value = command.value;
    return writeRowCmd(slave, row, writeFunction);
}

bool CommandRun::send(const DriverCommand &command, int writeFunction, quint8 slave, WriteOrigin origin,
                      const WriteConsent &consent)
{
    if (running)
        return false;
    current = command;
    running = true;
    doubtful = false;
    if (!scheduler->isRunning()) {
        finish(CommandResult::NotSent, QStringLiteral("the port is not open"));
        return true;
    }
    const quint8 driver = slave ? slave : scheduler->slaveAddress();
    const QByteArray bytes = frame(command, driver, writeFunction);
    const GateAnswer answer = gate.judgeFrame(origin, bytes, consent);
    if (!answer.allowed()) {
        finish(CommandResult::NotSent, answer.reason);
        return true;
    }
    // The refresh waits until the echo has had its whole reply wait: a
    // second device's echo then comes alone, not merged with a read reply.
    doubtsAtSend = scheduler->doubtCount();
    scheduler->holdOthers(this);
    scheduler->enqueueFirst({bytes, command.address, 1, this, 0});
    return true;
}

void CommandRun::onCompleted(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (request.owner != this || !running)
        return;
    if (outcome.heldForDoubt)
        return finish(CommandResult::NotSent, outcome.reason());
    if (outcome.kind == OutcomeKind::Cancelled && !outcome.frameSent)
        return finish(CommandResult::NotSent, QStringLiteral("the port closed before it was sent"));
    // The echo may be the late reply of a request before it, or a second
    // device's: it counts once no further reply has come in a whole reply
    // wait, however fast the driver has answered so far.
    if (outcome.answered()) {
        scheduler->afterWholeReplyWait(this, [this] {
            const bool doubted = doubtful || scheduler->doubtCount() > doubtsAtSend;
            finish(doubted ? CommandResult::Doubtful : CommandResult::Confirmed, QString());
        });
        return;
    }
    if (doubtful)
        return finish(CommandResult::Doubtful, outcome.reason());
    if (outcome.refusedUndone())
        return finish(CommandResult::Refused, outcome.reason());
    finish(CommandResult::NoAnswer, outcome.reason());
}

// A doubtful command names whose reply made it so.
void CommandRun::finish(CommandResult result, const QString &reason)
{
    running = false;
    scheduler->releaseOthers();
    const QString unasked = QStringLiteral("a reply from %1 %2 came that no request asked for")
                                .arg(scheduler->addressWord())
                                .arg(firstUnaskedFrom);
    emit finished(current, result, result == CommandResult::Doubtful ? unasked : reason);
}

QString commandResultText(CommandResult result, const QString &reason)
{
    switch (result) {
    case CommandResult::Confirmed: return QStringLiteral("confirmed by the driver's echo");
    case CommandResult::Refused: return QStringLiteral("refused (%1); not applied").arg(reason);
    case CommandResult::NoAnswer:
        return QStringLiteral("not confirmed (%1); it may have been applied").arg(reason);
    case CommandResult::Doubtful:
        return QStringLiteral("not confirmed: %1 (another master, or a second device at that address?); it may or "
                              "may not have been applied").arg(reason);
    case CommandResult::NotSent: return QStringLiteral("not sent (%1)").arg(reason);
    }
    return QString();
}

QString commandValueText(quint16 value)
{
    if (value < 10)
        return QString::number(value);
    return QStringLiteral("%1 (0x%2)").arg(value).arg(QString::number(value, 16).toUpper().rightJustified(4, QLatin1Char('0')));
}

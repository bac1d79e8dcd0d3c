#include "ui/commands/drivercommands.h"
#include "ui/language/corewording.h"

#include "ui/commands/commandpanel.h"
#include "ui/log/logcolours.h"
#include "ui/log/trafficlogview.h"
#include "paramsets/parameterfile.h"
#include "paramsets/unsavedwrites.h"
#include "protocol/requestscheduler.h"
#include "registermap/registerstore.h"
#include "util/hextext.h"

#include <QMessageBox>

DriverCommands::DriverCommands(const DriverCommandsParts &parts)
    : QObject(parts.window)
    , parts(parts)
    , commandPanel(new CommandPanel(parts.window))
    , run(new CommandRun(parts.scheduler, this))
    , unsaved(new UnsavedWrites(parts.scheduler, this))
{
    connect(parts.store, &RegisterStore::rowsReplaced, this, &DriverCommands::useMap);
    connect(commandPanel, &CommandPanel::commandPressed, this, &DriverCommands::ask);
    connect(run, &CommandRun::finished, unsaved, &UnsavedWrites::commandFinished);
    connect(run, &CommandRun::finished, this, &DriverCommands::showOutcome);
    connect(run, &CommandRun::finished, this, &DriverCommands::finished);
    useMap();
}

void DriverCommands::useMap()
{
    profile = driverProfile(parts.store->rows());
    run->setMap(parts.store->rows());
    commandPanel->setCommands(profile.commands);
    unsaved->setCommands(profile.commands);
    unsaved->setTestMoveRows(profile);
    showLineState();
}

bool DriverCommands::canSend() const
{
    return portOpen && !lineTaken && !runBusy && !run->isRunning();
}

void DriverCommands::setPortOpen(bool open)
{
    portOpen = open;
    lineTaken = false;
    // The next connection may lead to another driver, or to this one after
    // a restart that lost what was not saved.
    if (!open) {
        unsaved->forget();
        commandPanel->clearTick();
    }
    showLineState();
}

void DriverCommands::setLineTaken()
{
    lineTaken = true;
    showLineState();
}

void DriverCommands::setRunBusy(bool busy)
{
    runBusy = busy;
    showLineState();
}

void DriverCommands::noteHandSent(const QByteArray &bytes)
{
    unsaved->noteHandSent(bytes);
}

void DriverCommands::showLineState()
{
    commandPanel->setLineFree(canSend());
}

// The question names the command and shows the very frame it sends; No is
// the default, so that Enter sends nothing.
void DriverCommands::ask(const DriverCommand &command)
{
    const QByteArray frame = CommandRun::frame(command, parts.scheduler->slaveAddress(), parts.store->writeFunction());
    QMessageBox box(command.danger ? QMessageBox::Warning : QMessageBox::Question, tr("发送命令"),
                    command.confirm.isEmpty() ? tr("发送命令“%1”？").arg(command.name) : command.confirm,
                    QMessageBox::Yes | QMessageBox::No, parts.window);
    box.setInformativeText(tr("%1\n驱动器地址 %2，寄存器 %3 ← %4\n将发送的帧：%5")
                               .arg(command.name, QString::number(quint8(frame.at(0))), addressText(command.address),
                                    commandValueText(command.value), byteArrayToHexString(frame).trimmed()));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    const bool yes = box.exec() == QMessageBox::Yes;
    commandPanel->clearTick();
    // The panel lets a danger command be pressed only once its tick is set:
    // the tick and this Yes are its confirmation.
    WriteConsent consent;
    consent.danger = command.danger;
    if (yes)
        send(command, 0, WriteOrigin::Command, consent);
}

bool DriverCommands::send(const DriverCommand &command, quint8 slave, WriteOrigin origin, const WriteConsent &consent)
{
    if (!canSend()) {
        emit notice(portOpen ? tr("线路正忙，命令“%1”未发送").arg(command.name)
                             : tr("串口未打开，命令“%1”未发送").arg(command.name));
        return false;
    }
    run->send(command, parts.store->writeFunction(), slave, origin, consent);
    showLineState();
    return true;
}

namespace {

QString heldBackReason()
{
    RequestOutcome held;
    held.heldForDoubt = true;
    return held.reason();
}

} // namespace

void DriverCommands::showOutcome(const DriverCommand &command, CommandResult result, const QString &reason)
{
    showLineState();
    const QString logLine = QStringLiteral("Command \"%1\": %2").arg(command.name, commandResultText(result, reason));
    parts.log->append(result == CommandResult::Confirmed ? LogColour::Normal : LogColour::Error, logLine);
    switch (result) {
    case CommandResult::Confirmed: return emit notice(tr("命令“%1”已由驱动器确认").arg(command.name));
    case CommandResult::Refused: return emit notice(tr("命令“%1”被拒绝（%2），未执行").arg(command.name, wordRequestReason(reason)));
    case CommandResult::NoAnswer:
        return emit notice(tr("命令“%1”未得到确认（%2），可能已执行").arg(command.name, wordRequestReason(reason)));
    case CommandResult::Doubtful:
        return emit notice(tr("命令“%1”未得到确认：收到无人请求的应答（此地址可能有两台设备），可能已执行，也可能未执行")
                               .arg(command.name));
    case CommandResult::NotSent:
        // Held back after a reply that fit no request, or refused by the
        // write gate: the port is open, and the reason says why.
        if (portOpen || reason == heldBackReason())
            return emit notice(tr("命令“%1”未发送：%2").arg(command.name, wordRequestReason(reason)));
        return emit notice(tr("命令“%1”未发送：串口已关闭").arg(command.name));
    }
}

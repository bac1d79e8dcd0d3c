#include "cli/commandsend.h"

#include "cli/mapnotread.h"
#include "paramsets/parameterfile.h"
#include "protocol/requestscheduler.h"
#include "serial/serial.h"
#include "util/hextext.h"

#include <QSerialPort>

CommandSend::CommandSend(const CommandLine &options, QObject *parent)
    : LineHoldingRun(parent)
    , options(options)
{
}

void CommandSend::start()
{
    if (!chooseCommand())
        return finish(BadInput);
    if (!openLine())
        return finish(NotConfirmed);
    const quint8 slave = scheduler->slaveAddress();
    // Nothing else leaves on this line: the next frame's form is the one sent.
    const Serial *serial = Serial::instance();
    const QByteArray wire = serial->wireForm(CommandRun::frame(command, slave, map.writeFunction));
    out << "command \"" << command.name << "\": sending " << byteArrayToHexString(wire).trimmed() << " (register "
        << addressText(command.address) << " <- " << commandValueText(command.value) << ", "
        << addressWord(serial->numbersTransactions()) << ' ' << slave << ')' << Qt::endl;
    WriteConsent consent;
    consent.danger = options.assumeYes;
    run->send(command, map.writeFunction, 0, WriteOrigin::Command, consent);
}

// Nothing is sent for a name the map lacks, nor, without --yes, for a
// command that changes the driver's settings.
bool CommandSend::chooseCommand()
{
    if (!loadRegisterMap(options.mapPath, &map)) {
        err << "steppertool: " << mapNotReadText(options.mapPath) << "; nothing was sent" << Qt::endl;
        return false;
    }
    for (const QString &problem : qAsConst(map.problems))
        err << "steppertool: " << options.mapPath << ": " << problem << Qt::endl;
    // The map's problems above include the commands'.
    profile = driverProfile(map.registers);
    const QList<const DriverCommand *> chosen = profile.commandsMatching(options.commandName);
    if (chosen.isEmpty()) {
        if (options.commandName.simplified().isEmpty())
            err << "steppertool: --command needs the name, or part of it, of a command of the map " << options.mapPath
                << "; ";
        else
            err << "steppertool: the map " << options.mapPath << " has no command \"" << options.commandName << "\"; ";
        err << (profile.commands.isEmpty() ? QStringLiteral("it names no commands")
                                           : QStringLiteral("its commands: ") + commandList(profile.commands))
            << "; nothing was sent" << Qt::endl;
        return false;
    }
    // Guessing among several could send a command the user did not mean.
    if (chosen.size() > 1) {
        QList<DriverCommand> candidates;
        for (const DriverCommand *each : chosen)
            candidates << *each;
        err << "steppertool: \"" << options.commandName << "\" may mean any of "
            << commandList(candidates) << "; give more of the name; nothing was sent" << Qt::endl;
        return false;
    }
    command = *chosen.first();
    if (command.danger && !options.assumeYes) {
        err << "steppertool: \"" << command.name << "\" changes the driver's settings";
        if (!command.confirm.isEmpty())
            err << " (" << command.confirm << ')';
        err << "; give --yes to send it; nothing was sent" << Qt::endl;
        return false;
    }
    if (!map.slaveAddressValid && options.slaveAddress == 0) {
        err << "steppertool: the register map's slaveAddress is faulty; give the driver's address with --address; "
               "nothing was sent" << Qt::endl;
        return false;
    }
    return true;
}

QString CommandSend::commandList(const QList<DriverCommand> &commands)
{
    QStringList names;
    for (const DriverCommand &each : commands)
        names << QLatin1Char('"') + each.name + QLatin1Char('"') + (each.danger ? QStringLiteral(" (needs --yes)") : QString());
    return names.join(QLatin1String(", "));
}

bool CommandSend::openLine()
{
    const quint8 slave = quint8(options.slaveAddress ? quint32(options.slaveAddress) : map.slaveAddress);
    Serial *serial = Serial::instance();
    if (!options.openLine(serial)) {
        err << "steppertool: cannot open " << options.lineName() << ": " << serial->openFailure().text()
            << "; nothing was sent" << Qt::endl;
        return false;
    }
    scheduler = new RequestScheduler(serial, this);
    scheduler->setSlaveAddress(slave);
    scheduler->setTiming(map.txTime, map.rxOutTime);
    scheduler->setGap(options.gapMs);
    connect(serial, &Serial::haveReceive, scheduler, &RequestScheduler::takeBlock);
    connect(serial, &Serial::portLost, this, &CommandSend::onLineLost);
    run = new CommandRun(scheduler, this);
    run->setMap(map.registers);
    connect(run, &CommandRun::finished, this, &CommandSend::onFinished);
    scheduler->start();
    return true;
}

// Killed by the signal, the tool would leave without a word after "sending":
// a command that went out may have been applied, and the user is told so.
void CommandSend::interrupt()
{
    if (finishedOnce)
        return;
    if (!run) {
        Serial::instance()->abandonOpening();
        return;
    }
    if (!run->isRunning())
        return;
    interrupted = true;
    // The request in flight ends as cancelled, its frame sent or not.
    scheduler->stop();
    // Its echo was in, the wait for a late reply was not over.
    if (run->isRunning())
        onFinished(command, CommandResult::NoAnswer, QStringLiteral("echoed, interrupted before a late reply could "
                                                                    "be ruled out"));
}

void CommandSend::onFinished(const DriverCommand &sent, CommandResult result, const QString &reason)
{
    if (finishedOnce)
        return;
    if (interrupted)
        err << "steppertool: interrupted" << Qt::endl;
    out << "command \"" << sent.name << "\": " << commandResultText(result, reason) << Qt::endl;
    finish(result == CommandResult::Confirmed ? Confirmed : NotConfirmed);
}

// The command's outcome follows: its request is cancelled with the session.
void CommandSend::onLineLost(const QString &reason)
{
    err << "steppertool: the line to " << options.lineName() << " failed: " << reason << Qt::endl;
    scheduler->stop();
    Serial::instance()->closeLine();
}

#include "cli/batchrun.h"

#include "cli/progressline.h"
#include "paramsets/parameterrun.h"
#include "protocol/modbusmaster.h"
#include "protocol/requestscheduler.h"
#include "serial/serial.h"

#include <QSerialPort>
#include <QSet>


BatchRun::BatchRun(const CommandLine &options, QObject *parent)
    : QObject(parent)
    , options(options)
    , out(stdout)
    , err(stderr)
{
    // Register names are Chinese whatever the locale of the terminal.
    out.setCodec("UTF-8");
    err.setCodec("UTF-8");
}

BatchRun::~BatchRun()
{
    if (scheduler)
        scheduler->stop();
    if (Serial::instance()->serialPort->isOpen())
        Serial::instance()->serialPort->close();
}

void BatchRun::start()
{
    if (!loadInputs())
        return finish(BadInput);
    if (!openLine())
        return finish(NoDriver);
    run->readRegisters(mapAddresses(map.registers));
}

void BatchRun::interrupt()
{
    interrupted = true;
    if (run && run->isRunning())
        run->cancel();
}

bool BatchRun::loadInputs()
{
    if (!loadRegisterMap(options.mapPath, &map)) {
        err << "steppertool: cannot read the register map " << options.mapPath << Qt::endl;
        return false;
    }
    for (const QString &problem : qAsConst(map.problems))
        err << "steppertool: " << options.mapPath << ": " << problem << Qt::endl;
    if (mapIndex(map.registers).isEmpty()) {
        err << "steppertool: the register map " << options.mapPath << " names no register" << Qt::endl;
        return false;
    }
    if (options.action() == CommandLine::Action::Backup)
        return true;
    readParameterFile(options.parameterFile, &file);
    if (options.action() == CommandLine::Action::Restore)
        file.problems += restoreProblems(file.entries, map.registers);
    for (const QString &problem : qAsConst(file.problems))
        err << options.parameterFile << ": " << problem << Qt::endl;
    if (!file.problems.isEmpty() && options.action() == CommandLine::Action::Restore)
        err << "steppertool: nothing was written" << Qt::endl;
    return file.problems.isEmpty();
}

bool BatchRun::openLine()
{
    const quint8 slave = quint8((options.slaveAddress ? quint32(options.slaveAddress) : map.slaveAddress) & 0xFF);
    Serial *serial = Serial::instance();
    if (!serial->openPort(options.port, options.baud, options.parity, options.stopBits)) {
        err << "steppertool: cannot open " << options.port << ": " << serial->serialPort->errorString() << Qt::endl;
        return false;
    }
    ModbusMaster::instance()->slaveAddress = slave;
    scheduler = new RequestScheduler(serial, this);
    scheduler->setTiming(map.txTime, map.rxOutTime);
    scheduler->setSlaveAddress(slave);
    connect(serial, &Serial::haveReceive, scheduler, &RequestScheduler::takeBlock);
    connect(serial, &Serial::portLost, this, &BatchRun::onLineLost);
    run = new ParameterRun(scheduler, this);
    new ProgressLine(run, this);
    connect(run, &ParameterRun::readFinished, this, &BatchRun::onRead);
    connect(run, &ParameterRun::writeOutcome, this, &BatchRun::onWriteOutcome);
    connect(run, &ParameterRun::writeFinished, this, &BatchRun::onWritesFinished);
    scheduler->start();
    return true;
}

void BatchRun::onRead(const QHash<quint16, quint16> &values)
{
    driver = values;
    if (interrupted) {
        err << "steppertool: interrupted; nothing was written" << Qt::endl;
        return finish(NotEqual);
    }
    if (driver.isEmpty()) {
        err << "steppertool: the driver on " << options.port << " did not answer" << Qt::endl;
        return finish(NoDriver);
    }
    switch (options.action()) {
    case CommandLine::Action::Backup: return backup();
    case CommandLine::Action::Compare: return compare();
    default: return restore();
    }
}

void BatchRun::backup()
{
    QStringList silent;
    const QList<ParameterEntry> entries = answeredEntries(map.registers, driver, &silent);
    for (const ParameterEntry &entry : entries)
        out << addressText(entry.address) << '\t' << entry.value << '\t' << entry.permission << '\t' << entry.name << '\n';
    for (const QString &label : qAsConst(silent))
        err << "steppertool: no answer from " << label << ", not saved" << Qt::endl;
    QString error;
    const QStringList comments = parameterFileComments(options.port, ModbusMaster::instance()->slaveAddress, options.mapPath);
    if (!writeParameterFile(options.parameterFile, comments, entries, &error)) {
        err << "steppertool: cannot write " << options.parameterFile << ": " << error << Qt::endl;
        return finish(BadInput);
    }
    out << "backup: " << entries.size() << " registers saved to " << options.parameterFile;
    if (!silent.isEmpty())
        out << ", " << silent.size() << " did not answer";
    out << Qt::endl;
    finish(Done);
}

void BatchRun::printRow(const CompareRow &row, const QString &word)
{
    out << addressText(row.entry.address) << '\t' << word << "\tfile " << row.entry.value << "\tdriver ";
    if (row.answered)
        out << row.driverValue;
    else
        out << '-';
    out << '\t' << row.info.permission << '\t' << row.name() << '\n';
}

void BatchRun::compare()
{
    int differences = 0;
    int notWritable = 0;
    const QList<CompareRow> rows = compareParameters(file.entries, map.registers, driver);
    for (const CompareRow &row : rows) {
        printRow(row, stateWord(row.state));
        if (row.state == CompareState::NotWritable)
            ++notWritable;
        else if (row.state != CompareState::Same)
            ++differences;
    }
    out << "compare: " << rows.size() << " registers, " << differences << " differ";
    if (notWritable)
        out << " (and " << notWritable << " read-only or write-only ones differ)";
    out << Qt::endl;
    finish(differences ? NotEqual : Done);
}

void BatchRun::restore()
{
    const QSet<quint16> skip(options.skipped.cbegin(), options.skipped.cend());
    QSet<quint16> planned;
    for (const CompareRow &row : compareParameters(file.entries, map.registers, driver)) {
        if (skip.contains(row.entry.address)) {
            printRow(row, QStringLiteral("skipped"));
        } else if (row.state == CompareState::Differs) {
            if (!planned.contains(row.entry.address)) {
                planned.insert(row.entry.address);
                ParameterEntry write = row.entry;
                write.name = row.info.name;
                writes.append(write);
            }
            printRow(row, options.dryRun ? QStringLiteral("would write") : QStringLiteral("to write"));
        } else if (row.state == CompareState::NoAnswer && isWritable(row.info.permission)) {
            failed.append(registerLabel(row.entry.address, row.info.name) + QStringLiteral(" (no answer)"));
            printRow(row, stateWord(row.state));
        } else {
            printRow(row, stateWord(row.state));
        }
    }
    if (options.dryRun) {
        out << "dry run: " << writes.size() << " registers would be written, nothing was written";
        if (!failed.isEmpty())
            out << "; unknown: " << failed.join(QLatin1String(", "));
        out << Qt::endl;
        return finish(writes.isEmpty() && failed.isEmpty() ? Done : NotEqual);
    }
    if (writes.isEmpty())
        return onWritesFinished(false);
    QString error;
    undoPath = saveUndoFile(answeredEntries(map.registers, driver, nullptr), options.port,
                            ModbusMaster::instance()->slaveAddress, options.mapPath, &error);
    if (undoPath.isEmpty()) {
        err << "steppertool: cannot save the undo file: " << error << "; nothing was written" << Qt::endl;
        return finish(BadInput);
    }
    out << "undo file: " << undoPath << Qt::endl;
    startWrites();
}

void BatchRun::startWrites()
{
    if (interrupted)
        return onWritesFinished(true);
    writing = true;
    run->writeValues(writes);
}

// An adapter pulled mid-run: nothing more can be read or written. A restore
// still says which registers it wrote and which it did not.
void BatchRun::onLineLost(const QString &reason)
{
    err << "steppertool: the line to " << options.port << " failed: " << reason << Qt::endl;
    Serial::instance()->serialPort->close();
    if (writing)
        run->abandon();
    else
        finish(NoDriver);
}

void BatchRun::onWriteOutcome(const ParameterEntry &write, bool ok, const QString &reason)
{
    out << addressText(write.address) << '\t' << (ok ? "written" : "FAILED") << '\t' << write.value;
    if (!ok)
        out << '\t' << reason;
    out << '\t' << write.name << Qt::endl;
    ++attempted;
    if (ok)
        ++confirmed;
    else
        failed.append(registerLabel(write.address, write.name) + QStringLiteral(" (") + reason + QLatin1Char(')'));
}

void BatchRun::onWritesFinished(bool cancelled)
{
    out << "restore: " << confirmed << " of " << writes.size() << " registers written and confirmed";
    if (cancelled) {
        QStringList unsent;
        for (const ParameterEntry &write : writes.mid(attempted))
            unsent.append(registerLabel(write.address, write.name));
        out << "; interrupted, not written: " << unsent.join(QLatin1String(", "));
    }
    if (!failed.isEmpty())
        out << "; failed: " << failed.join(QLatin1String(", "));
    if (!undoPath.isEmpty())
        out << "; undo with --restore " << undoPath;
    out << Qt::endl;
    finish(failed.isEmpty() && !cancelled ? Done : NotEqual);
}

void BatchRun::finish(int status)
{
    if (finishedOnce)
        return;
    finishedOnce = true;
    out.flush();
    err.flush();
    if (scheduler)
        scheduler->stop();
    emit finished(status);
}

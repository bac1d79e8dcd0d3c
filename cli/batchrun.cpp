#include "cli/batchrun.h"
#include "registermap/addressrules.h"

#include "cli/mapnotread.h"
#include "cli/progressline.h"
#include "paramsets/backupnames.h"
#include "paramsets/identitycheck.h"
#include "paramsets/linesettings.h"
#include "paramsets/parameterrun.h"
#include "paramsets/restoreplan.h"
#include "protocol/modbusmaster.h"
#include "protocol/requestscheduler.h"
#include "registermap/registervalue.h"
#include "serial/serial.h"
#include "util/messagewords.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QSet>

#include <algorithm>

namespace {

// "1 register would be written", "3 registers would be written"
QString wouldBeWritten(int count)
{
    return countOf(count, QStringLiteral("register")) + QStringLiteral(" would be written");
}

} // namespace

BatchRun::BatchRun(const CommandLine &options, int slave, QObject *parent)
    : LineHoldingRun(parent)
    , options(options)
    , slave(slave ? slave : options.slaveAddress)
{
}

void BatchRun::start()
{
    if (!loadInputs())
        return finish(BadInput);
    if (!openLine()) {
        unopened = true;
        return finish(NoDriver);
    }
    run->readMap();
}

void BatchRun::interrupt()
{
    ++interrupts;
    if (!run)
        Serial::instance()->abandonOpening();
    if (!run || !run->isRunning())
        return;
    if (interrupts == 1)
        run->cancel();
    else
        scheduler->stop();
}

bool BatchRun::loadInputs()
{
    if (!loadRegisterMap(options.mapPath, &map)) {
        err << "steppertool: " << mapNotReadText(options.mapPath) << Qt::endl;
        return false;
    }
    for (const QString &problem : quietInputs ? QStringList() : map.problems)
        err << "steppertool: " << options.mapPath << ": " << problem << Qt::endl;
    if (mapRows(map.registers).isEmpty()) {
        err << "steppertool: the register map " << options.mapPath << " names no register" << Qt::endl;
        return false;
    }
    // Another address than the map's would be another driver's registers.
    if (!map.slaveAddressValid && slave == 0) {
        err << "steppertool: the register map's slaveAddress is faulty; give the driver's address with --address; "
               "nothing was read or written" << Qt::endl;
        return false;
    }
    if (options.action() == CommandLine::Action::Backup)
        return true;
    readParameterFile(options.parameterFile, &file);
    // A compare still shows what it can of a file the map refuses; a
    // restore writes none of it.
    const QStringList mapProblems = restoreProblems(file.entries, map.registers);
    if (options.action() == CommandLine::Action::Restore)
        file.problems += mapProblems + optionProblems();
    else
        for (const QString &problem : quietInputs ? QStringList() : mapProblems)
            err << options.parameterFile << ": " << problem << Qt::endl;
    for (const QString &problem : qAsConst(file.problems))
        err << options.parameterFile << ": " << problem << Qt::endl;
    if (!file.problems.isEmpty() && options.action() == CommandLine::Action::Restore)
        err << "steppertool: nothing was written" << Qt::endl;
    return file.problems.isEmpty();
}

// --skip names a row of the map or of the file (either word of a 32-bit
// row stands for the row); --include-write-only a write-only row the file
// sets. A typo would otherwise protect, or write, nothing it seemed to.
QStringList BatchRun::optionProblems()
{
    QSet<quint16> inFile;
    for (const ParameterEntry &entry : qAsConst(file.entries))
        inFile.insert(entry.address);
    QStringList problems;
    const QList<RegisterInfo> rows = mapRows(map.registers);
    for (quint16 address : options.skipped) {
        const auto holder = std::find_if(rows.cbegin(), rows.cend(), [address](const RegisterInfo &info) {
            return address >= info.address && address < info.address + info.format.wordCount();
        });
        if (holder != rows.cend())
            skipped.insert(holder->address);
        else if (inFile.contains(address))
            skipped.insert(address);
        else
            problems.append(QStringLiteral("--skip %1 names no register of the map or of the file").arg(addressText(address)));
    }
    for (quint16 address : options.includedWriteOnly) {
        const AddressRules rules = addressRules(map.registers, address);
        if (!rules.writeOnly || !inFile.contains(address))
            problems.append(QStringLiteral("--include-write-only %1 names no write-only register that the file sets")
                                .arg(addressText(address)));
    }
    return problems;
}

bool BatchRun::openLine()
{
    // Both are 1..247: the command line and the map loader refuse others.
    const quint8 address = quint8(slave ? quint32(slave) : map.slaveAddress);
    Serial *serial = Serial::instance();
    if (!options.openLine(serial)) {
        err << "steppertool: cannot open " << options.lineName() << ": " << serial->openFailure().text() << Qt::endl;
        return false;
    }
    scheduler = new RequestScheduler(serial, this);
    scheduler->setSlaveAddress(address);
    scheduler->setTiming(map.txTime, map.rxOutTime);
    scheduler->setGap(options.gapMs);
    connect(serial, &Serial::haveReceive, scheduler, &RequestScheduler::takeBlock);
    connect(serial, &Serial::portLost, this, &BatchRun::onLineLost);
    run = new ParameterRun(scheduler, this);
    run->setLineSpeed(!options.useMapTiming);
    run->setMap(map.registers, map.blockRead, map.writeFunction);
    new ProgressLine(run, this);
    connect(run, &ParameterRun::readFinished, this, &BatchRun::onRead);
    connect(run, &ParameterRun::writeOutcome, this, &BatchRun::onWriteOutcome);
    connect(run, &ParameterRun::writeFinished, this, &BatchRun::onWritesFinished);
    scheduler->start();
    return true;
}

void BatchRun::onRead(const RowValues &values, RunEnd end)
{
    driver = values;
    if (end == RunEnd::Stopped)
        return finish(NoDriver);
    if (end == RunEnd::Cancelled) {
        err << "steppertool: interrupted; nothing was written to or saved from " << addressWord(options.network.isModbusTcp())
            << ' ' << scheduler->slaveAddress() << Qt::endl;
        return finish(NotEqual);
    }
    if (end == RunEnd::UnaskedReply) {
        err << unaskedReplyText() << " No value read is trusted; nothing was written to or saved from "
            << addressWord(options.network.isModbusTcp()) << ' ' << scheduler->slaveAddress() << Qt::endl;
        return finish(NoDriver);
    }
    if (end == RunEnd::DriverAbsent && run->answeredLate()) {
        err << "steppertool: " << addressWord(options.network.isModbusTcp()) << ' ' << scheduler->slaveAddress()
            << " on " << lineSettingsText(*Serial::instance()) << " answered, but only after its reply wait (rxOutTime "
            << scheduler->rxOutTime() << " ms, asked twice): a slow gateway or driver; raise rxOutTime in the map"
            << Qt::endl;
        return finish(NoDriver);
    }
    if (end == RunEnd::DriverAbsent) {
        absent = true;
        err << "steppertool: " << absentDriverText(*Serial::instance(), scheduler->slaveAddress())
            << gatewayWord() << Qt::endl;
        return finish(NoDriver);
    }
    // Replies that fitted no request are no silence: the driver answered,
    // late or wrongly, and every register it did not answer is named.
    if (driver.isEmpty() && driverSilent()) {
        err << "steppertool: the driver on " << options.lineName() << " did not answer" << Qt::endl;
        return finish(NoDriver);
    }
    switch (options.action()) {
    case CommandLine::Action::Backup: return backup();
    case CommandLine::Action::Compare: return compare();
    default: return restore();
    }
}

// Nothing came back at all: no reply of any kind, not even a garbled one.
bool BatchRun::driverSilent() const
{
    for (const RequestOutcome &outcome : run->readFailures()) {
        if (outcome.kind != OutcomeKind::TimedOut)
            return false;
    }
    return scheduler->statistics().crcErrors + scheduler->statistics().unmatched == 0;
}

// Each register that brought no value, and why: "no answer", "no valid
// reply", or the driver's exception.
bool BatchRun::reportUnread()
{
    // A row its map line leaves unusable is not in the backup either: the
    // backup is not whole.
    for (const RegisterInfo &info : qAsConst(map.registers)) {
        const QString label = info.addressValid ? registerLabel(info.address, info.name)
                                                : info.addressText + QLatin1Char(' ') + info.name;
        if (isWriteOnly(info.permission) || (info.addressValid && driver.contains(info.address))
            || unread.contains(label))
            continue;
        unread.append(label);
        err << "steppertool: " << unread.last() << " unread: "
            << (info.addressValid ? unreadWord(info.address) : QStringLiteral("its map line has a problem"))
            << Qt::endl;
    }
    return !unread.isEmpty();
}

QString BatchRun::unreadWord(quint16 address) const
{
    return run->readFailures().value(address, RequestOutcome{OutcomeKind::TimedOut}).reason();
}

void BatchRun::backup()
{
    const QList<ParameterEntry> entries = answeredEntries(map.registers, driver, nullptr);
    for (const ParameterEntry &entry : entries)
        out << addressText(entry.address) << '\t' << entry.shown << '\t' << entry.permission << '\t' << entry.name << '\n';
    reportUnread();
    if (entries.isEmpty()) {
        err << "steppertool: no register was read; nothing was saved" << Qt::endl;
        return finish(NotEqual);
    }
    QString error;
    const QString path = backupPath();
    if (path != backupTarget())
        err << "steppertool: " << backupTarget() << " is kept as it was, as registers were unread; "
            << "this backup goes to " << path << Qt::endl;
    // The command line allowed only the one folder of a FOLDER/ to be made.
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder)) {
        err << "steppertool: cannot make the folder " << folder << Qt::endl;
        return finish(BadInput);
    }
    QStringList comments = parameterFileComments(Serial::instance()->lineName(), scheduler->slaveAddress(), options.mapPath,
                                                 readIdentity(map.registers, driver));
    if (!unread.isEmpty())
        comments << partialComment(unread);
    if (!writeParameterFile(path, comments, entries, &error)) {
        err << "steppertool: cannot write " << path << ": " << error << Qt::endl;
        return finish(BadInput);
    }
    out << "backup: " << countOf(entries.size(), QStringLiteral("register")) << " saved to " << path;
    if (!unread.isEmpty())
        out << ", " << unread.size() << " unread and not saved";
    out << Qt::endl;
    finish(unread.isEmpty() ? Done : NotEqual);
}

QString BatchRun::backupPath() const
{
    return backupPathKeepingWhole(backupTarget(), unread.isEmpty());
}

// A folder (an existing one, or a path ending in "/") takes one file per
// driver, named by its address and, where the map names them, its model
// and serial number: addr03-m2304-s81234.csv.
QString BatchRun::backupTarget() const
{
    const QString &path = options.parameterFile;
    if (!path.endsWith(QLatin1Char('/')) && !QFileInfo(path).isDir())
        return path;
    return QDir(path).filePath(driverFileName(scheduler->slaveAddress(), map.registers, driver));
}

void BatchRun::printRow(const CompareRow &row, const QString &word)
{
    const QString shown = row.state == CompareState::NoAnswer ? unreadWord(row.entry.address) : word;
    out << addressText(row.entry.address) << '\t' << shown << "\tfile " << row.fileText() << "\tdriver ";
    if (row.answered)
        out << row.driverText();
    else
        out << '-';
    out << '\t' << row.info.permission << '\t' << row.name() << '\n';
}

QString BatchRun::shownValue(quint16 address, qint64 raw) const
{
    const RegisterInfo *info = linesAt(map.registers, address).value(0);
    return info ? RegisterValue(info->format).text(raw) : QString::number(raw);
}

// "the file is for 型号 Model 0x2304 · ... but the driver is 型号 Model
// 0x2305 · ... (型号 Model 0x2304 ≠ 0x2305)"; empty when they match.
QString BatchRun::identityMismatch() const
{
    const IdentityCheck check = checkIdentity(fileIdentity(file, map.registers), map.registers, driver);
    if (!check.differs())
        return QString();
    return QStringLiteral("the file is for %1 but the driver is %2 (%3)")
        .arg(check.fileText, check.driverText, check.differences.join(QLatin1String("; ")));
}

void BatchRun::compare()
{
    const QString identity = identityMismatch();
    if (!identity.isEmpty())
        out << "identity differs: " << identity << '\n';
    int differences = 0;
    int notWritable = 0;
    int writeOnly = 0;
    const QList<CompareRow> rows = compareParameters(file.entries, map.registers, driver);
    for (const CompareRow &row : rows) {
        printRow(row, row.stateWord());
        if (row.state == CompareState::NotWritable)
            ++notWritable;
        else if (row.state == CompareState::WriteOnly)
            ++writeOnly;
        else if (row.state != CompareState::Same)
            ++differences;
    }
    out << "compare: " << countOf(rows.size(), QStringLiteral("register")) << ", " << differences
        << (differences == 1 ? " differs" : " differ");
    if (notWritable)
        out << " (and " << countOf(notWritable, QStringLiteral("read-only one")) << (notWritable == 1 ? " differs)" : " differ)");
    if (writeOnly)
        out << " (" << writeOnly << " write-only, not read)";
    if (!identity.isEmpty())
        out << "; the identity differs";
    out << Qt::endl;
    finish(differences || !identity.isEmpty() ? NotEqual : Done);
}

// A file of another model or firmware, or one that names no driver, is
// refused before anything is written; a dry run still lists what it would
// write.
bool BatchRun::identityRefused(const RestorePlan &plan)
{
    const QString identity = plan.identityProblem();
    if (identity.isEmpty())
        return false;
    if (options.ignoreIdentity) {
        err << "steppertool: " << identity << "; writing anyway (--ignore-identity)" << Qt::endl;
        return false;
    }
    err << "steppertool: " << identity << "; nothing written (--ignore-identity writes anyway)" << Qt::endl;
    return true;
}

RestoreChoices BatchRun::restoreChoices() const
{
    RestoreChoices choices;
    choices.skip = skipped;
    choices.includeWriteOnly = QSet<quint16>(options.includedWriteOnly.cbegin(), options.includedWriteOnly.cend());
    choices.allowOutOfRange = options.allowOutOfRange;
    choices.confirmDanger = options.assumeYes;
    choices.ignoreIdentity = options.ignoreIdentity;
    return choices;
}

void BatchRun::printPlanned(const PlanRow &planned)
{
    const CompareRow &row = planned.row;
    switch (planned.step) {
    case PlanStep::Skipped: return printRow(row, QStringLiteral("skipped"));
    case PlanStep::WriteOnlyLeft:
        writeOnlyLeft.append(registerLabel(row.entry.address, row.info.name));
        return printRow(row, QStringLiteral("skipped, write-only"));
    case PlanStep::Write:
        return printRow(row, options.dryRun ? QStringLiteral("would write") : QStringLiteral("to write"));
    case PlanStep::Blocked: return printRow(row, row.stateWord());
    case PlanStep::Refused:
        notWritten.append(planned.answer.reason);
        return printRow(row, QStringLiteral("refused"));
    case PlanStep::Leave: break;
    }
    if (row.state == CompareState::NoAnswer && isWritable(row.info.permission))
        unread.append(registerLabel(row.entry.address, row.info.name) + QStringLiteral(" (")
                      + unreadWord(row.entry.address) + QLatin1Char(')'));
    printRow(row, row.stateWord());
}

// Every write that waits for a confirmation stops the whole restore before
// anything is written: half a file is worse than none.
bool BatchRun::confirmationsMissing(const RestorePlan &plan)
{
    const QList<CompareRow> outOfRange = plan.blockedRows(Confirmation::OutOfRange);
    if (!outOfRange.isEmpty())
        err << "steppertool: outside the map's range: " << outOfRangeLabels(outOfRange).join(QLatin1String(", "))
            << "; nothing was written; give --allow-out-of-range to write them" << Qt::endl;
    const QStringList danger = plan.blockedReasons(Confirmation::Danger);
    if (!danger.isEmpty())
        err << "steppertool: " << danger.join(QLatin1String("; "))
            << "; nothing was written; give --yes to send a danger command's value" << Qt::endl;
    return plan.anyBlocked();
}

void BatchRun::restore()
{
    const RestorePlan plan(map.registers, file, driver, restoreChoices());
    wrongDriver = identityRefused(plan);
    if (wrongDriver && !options.dryRun)
        return finish(BadInput);
    writeOrigin = plan.origin();
    writeConsent = plan.consent();
    for (const PlanRow &planned : plan.rows())
        printPlanned(planned);
    writes = plan.writes();
    if (confirmationsMissing(plan))
        return finish(BadInput);
    if (options.dryRun && wrongDriver) {
        out << "dry run: " << (plan.identityVerdict() == IdentityVerdict::NotRecorded ? "the file records no identity"
                                                                                     : "the identity differs")
            << ": a restore writes nothing without --ignore-identity (" << wouldBeWritten(writes.size())
            << " with it)" << Qt::endl;
        return finish(BadInput);
    }
    if (options.dryRun) {
        out << "dry run: " << wouldBeWritten(writes.size()) << ", nothing was written";
        if (!unread.isEmpty())
            out << "; unknown: " << unread.join(QLatin1String(", "));
        out << Qt::endl;
        return finish(writes.isEmpty() && unread.isEmpty() ? Done : NotEqual);
    }
    if (writes.isEmpty())
        return onWritesFinished(RunEnd::Completed);
    QString error;
    undoPath = plan.saveUndo(Serial::instance()->lineName(), scheduler->slaveAddress(), options.mapPath, &error);
    if (undoPath.isEmpty()) {
        err << "steppertool: cannot save the undo file: " << error << "; nothing was written" << Qt::endl;
        return finish(BadInput);
    }
    out << "undo file: " << undoPath << Qt::endl;
    startWrites();
}

void BatchRun::startWrites()
{
    writing = true;
    run->writeValues(writes, writeOrigin, writeConsent);
}

// An adapter pulled mid-run: nothing more can be read or written. A restore
// still says which registers it wrote and which it did not.
void BatchRun::onLineLost(const QString &reason)
{
    err << "steppertool: the line to " << options.lineName() << " failed: " << reason << Qt::endl;
    if (!writing)
        finish(NoDriver);
    scheduler->stop();
    Serial::instance()->closeLine();
}

void BatchRun::onWriteOutcome(const ParameterEntry &write, WriteResult result, const QString &reason)
{
    const QString label = registerLabel(write.address, write.name);
    const QString because = QStringLiteral(" (") + reason + QLatin1Char(')');
    switch (result) {
    case WriteResult::Confirmed:
        // Said once the run has listened for late replies, which may still
        // withdraw it.
        ++confirmed;
        confirmedWrites.append(write);
        return;
    case WriteResult::Unconfirmed:
        unconfirmed.append(label + because);
        out << addressText(write.address) << "\tUNCONFIRMED\t" << shownValue(write.address, write.value) << '\t' << reason << '\t' << write.name << Qt::endl;
        return;
    case WriteResult::Failed:
        failed.append(label + because);
        out << addressText(write.address) << "\tFAILED\t" << shownValue(write.address, write.value) << '\t' << reason << '\t' << write.name << Qt::endl;
        return;
    case WriteResult::NotSent:
        notSent.append(reason.isEmpty() ? label : label + because);
        return;
    }
}

// Which write a read back confirmed cannot be told once a reply came that
// no request asked for: every write sent is only possibly applied.
void BatchRun::onWritesFinished(RunEnd end)
{
    const bool doubtful = end == RunEnd::UnaskedReply;
    for (const ParameterEntry &write : qAsConst(confirmedWrites))
        out << addressText(write.address) << (doubtful ? "\tUNCONFIRMED\t" : "\twritten\t")
            << shownValue(write.address, write.value) << '\t' << write.name << Qt::endl;
    if (doubtful) {
        err << unaskedReplyText() << " No write is confirmed" << Qt::endl;
        unconfirmed.clear();
        for (const ParameterEntry &write : qAsConst(writes)) {
            const QString label = registerLabel(write.address, write.name);
            const auto named = [&label](const QString &each) { return each.startsWith(label); };
            if (std::none_of(notSent.cbegin(), notSent.cend(), named)
                && std::none_of(unconfirmed.cbegin(), unconfirmed.cend(), named))
                unconfirmed.append(label);
        }
        failed.clear();
        confirmed = 0;
    }
    out << "restore: " << confirmed << " of " << countOf(writes.size(), QStringLiteral("register"))
        << " written and confirmed";
    if (end == RunEnd::Cancelled)
        out << "; interrupted";
    else if (end == RunEnd::DriverSilent)
        out << "; the driver stopped answering";
    else if (end == RunEnd::Stopped)
        out << "; the line was lost";
    if (!unconfirmed.isEmpty())
        out << "; unconfirmed, may have been applied: " << unconfirmed.join(QLatin1String(", "));
    if (!failed.isEmpty())
        out << "; failed: " << failed.join(QLatin1String(", "));
    if (!notSent.isEmpty())
        out << "; not written: " << notSent.join(QLatin1String(", "));
    if (!notWritten.isEmpty())
        out << "; refused: " << notWritten.join(QLatin1String(", "));
    if (!writeOnlyLeft.isEmpty())
        out << "; write-only, not written (name them with --include-write-only): "
            << writeOnlyLeft.join(QLatin1String(", "));
    if (!unread.isEmpty())
        out << "; unread: " << unread.join(QLatin1String(", "));
    if (!undoPath.isEmpty())
        out << "; undo with --restore " << undoPath;
    out << Qt::endl;
    const bool clean = end == RunEnd::Completed && confirmed == writes.size() && unread.isEmpty();
    finish(doubtful ? NoDriver : clean ? Done : NotEqual);
}

// A gateway that answered for its driver says where the silence lies.
QString BatchRun::gatewayWord() const
{
    for (const RequestOutcome &outcome : run->readFailures()) {
        if (outcome.driverUnreached())
            return QStringLiteral(" (the gateway answered: %1)").arg(outcome.reason());
    }
    return QString();
}

// After a timeout the likeliest cause is the driver's own late reply.
QString BatchRun::unaskedReplyText() const
{
    const QString slow = scheduler->statistics().timeouts > 0
                             ? QStringLiteral(", or a driver slower than its reply wait (rxOutTime %1 ms)")
                                   .arg(scheduler->rxOutTime())
                             : QString();
    const QString word = addressWord(options.network.isModbusTcp());
    return QStringLiteral("steppertool: a reply from %1 %2 came that no request asked for: another master, or a "
                          "second device at that %1%3?")
        .arg(word)
        .arg(run->unaskedFrom())
        .arg(slow);
}

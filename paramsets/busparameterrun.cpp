#include "paramsets/busparameterrun.h"

#include "paramsets/restoreplan.h"

#include "paramsets/backupnames.h"
#include "paramsets/identitycheck.h"
#include "paramsets/parametercompare.h"
#include "protocol/requestscheduler.h"

#include <QDir>
#include <QSet>

BusParameterRun::BusParameterRun(RequestScheduler *scheduler, QObject *parent)
    : QObject(parent)
    , scheduler(scheduler)
    , run(new ParameterRun(scheduler, this))
{
    connect(run, &ParameterRun::readFinished, this, &BusParameterRun::onRead);
    connect(run, &ParameterRun::readProgress, this,
            [this](int done, int total) { emit rowProgress(done, total, false); });
    connect(run, &ParameterRun::writeProgress, this,
            [this](int done, int total) { emit rowProgress(done, total, true); });
    connect(run, &ParameterRun::writeOutcome, this, &BusParameterRun::onWriteOutcome);
    connect(run, &ParameterRun::writeFinished, this, &BusParameterRun::onWritesFinished);
}

void BusParameterRun::backup(const DriverContext &context, const QList<int> &addresses, const QString &folder)
{
    restoring = false;
    this->folder = folder;
    start(context, addresses);
}

void BusParameterRun::restore(const DriverContext &context, const QList<int> &addresses, const ParameterFile &file)
{
    restoring = true;
    this->file = file;
    start(context, addresses);
}

void BusParameterRun::start(const DriverContext &context, const QList<int> &addresses)
{
    this->context = context;
    run->setMap(context.registers, context.blockRead, context.writeFunction);
    waiting = addresses;
    count = addresses.size();
    results.clear();
    stopRest = false;
    doubtsAtStart = scheduler->doubtCount();
    running = true;
    startNext();
}

void BusParameterRun::cancel()
{
    stopRest = true;
    run->cancel();
}

// The run takes its driver's address when it starts and keeps it for its
// writes; the scheduler's own goes back at once, so the window's refresh
// never reads another driver.
void BusParameterRun::startNext()
{
    if (waiting.isEmpty() || stopRest) {
        for (int address : qAsConst(waiting)) {
            BusDriverResult notBegun;
            notBegun.address = address;
            notBegun.restore = restoring;
            results.append(notBegun);
            emit driverFinished(notBegun);
        }
        waiting.clear();
        running = false;
        return emit finished(results);
    }
    current = BusDriverResult();
    current.address = waiting.takeFirst();
    current.restore = restoring;
    writes.clear();
    emit driverStarted(results.size(), count, current.address);
    const quint8 own = scheduler->slaveAddress();
    scheduler->setSlaveAddress(quint8(current.address));
    run->readMap();
    scheduler->setSlaveAddress(own);
}

void BusParameterRun::onRead(const RowValues &values, RunEnd end)
{
    switch (end) {
    case RunEnd::Cancelled: return finishDriver(BusDriverResult::End::Cancelled);
    case RunEnd::Stopped:
        stopRest = true;
        return finishDriver(BusDriverResult::End::LineLost);
    case RunEnd::UnaskedReply: return finishDriver(BusDriverResult::End::Doubtful);
    case RunEnd::DriverAbsent: return finishDriver(BusDriverResult::End::Absent);
    default: break;
    }
    if (values.isEmpty())
        return finishDriver(BusDriverResult::End::NoAnswer);
    if (restoring)
        restoreDriver(values);
    else
        saveBackup(values);
}

void BusParameterRun::saveBackup(const RowValues &values)
{
    const QList<ParameterEntry> entries = answeredEntries(context.registers, values, &current.unread);
    const QString path = backupPathKeepingWhole(
        QDir(folder).filePath(driverFileName(current.address, context.registers, values)), current.unread.isEmpty());
    QStringList comments = parameterFileComments(context.port, quint32(current.address), context.mapPath,
                                                 readIdentity(context.registers, values));
    if (!current.unread.isEmpty())
        comments << partialComment(current.unread);
    if (!writeParameterFile(path, comments, entries, &current.error))
        return finishDriver(BusDriverResult::End::Failed);
    current.path = path;
    current.saved = entries.size();
    finishDriver(current.unread.isEmpty() ? BusDriverResult::End::Done : BusDriverResult::End::Partial);
}

// As the command line's restore without options: no write for another
// model or a file that names none, and nothing of a driver written when one
// of its values waits for a confirmation (out of range, a danger value).
void BusParameterRun::restoreDriver(const RowValues &values)
{
    const RestorePlan plan(context.registers, file, values, RestoreChoices(), WriteOrigin::BusRestore);
    if (plan.identityBlocks()) {
        current.identity = plan.identityVerdict() == IdentityVerdict::Differs ? plan.identity().differences
                                                                               : QStringList{plan.identityProblem()};
        return finishDriver(BusDriverResult::End::OtherModel);
    }
    noteUnread(plan);
    writes = plan.writes();
    current.outOfRange = outOfRangeLabels(plan.blockedRows(Confirmation::OutOfRange))
                         + plan.blockedReasons(Confirmation::Danger);
    if (!current.outOfRange.isEmpty())
        return finishDriver(BusDriverResult::End::Failed);
    current.writes = writes.size();
    if (writes.isEmpty())
        return finishDriver(current.unread.isEmpty() ? BusDriverResult::End::Done : BusDriverResult::End::Partial);
    // A reply that fit no request came since the run began, at an earlier
    // driver or in this one's reads: nothing more is written.
    if (scheduler->doubtCount() > doubtsAtStart) {
        for (const ParameterEntry &write : qAsConst(writes))
            current.notSent.append(registerLabel(write.address, write.name));
        return finishDriver(BusDriverResult::End::Doubtful);
    }
    current.path = plan.saveUndo(context.port, quint32(current.address), context.mapPath, &current.error);
    if (current.path.isEmpty())
        return finishDriver(BusDriverResult::End::Failed);
    run->writeValues(writes, plan.origin(), plan.consent());
}

void BusParameterRun::noteUnread(const RestorePlan &plan)
{
    for (const PlanRow &planned : plan.rows()) {
        const CompareRow &row = planned.row;
        if (planned.step != PlanStep::Leave || row.state != CompareState::NoAnswer || !isWritable(row.info.permission))
            continue;
        const RequestOutcome why = run->readFailures().value(row.entry.address, RequestOutcome{OutcomeKind::TimedOut});
        current.unread.append(registerLabel(row.entry.address, row.info.name) + QStringLiteral(" (") + why.reason()
                              + QLatin1Char(')'));
    }
}

// A confirmation counts only once the run has listened for late replies.
void BusParameterRun::onWriteOutcome(const ParameterEntry &write, WriteResult result, const QString &reason)
{
    const QString label = registerLabel(write.address, write.name);
    const QString because = label + QStringLiteral(" (") + reason + QLatin1Char(')');
    switch (result) {
    case WriteResult::Confirmed: ++current.confirmed; return;
    case WriteResult::Unconfirmed: current.unconfirmed.append(because); return;
    case WriteResult::Failed: current.failed.append(because); return;
    case WriteResult::NotSent: current.notSent.append(label); return;
    }
}

void BusParameterRun::onWritesFinished(RunEnd end)
{
    using End = BusDriverResult::End;
    switch (end) {
    case RunEnd::UnaskedReply:
        // Which reply confirmed which write cannot be told: every write
        // sent may have been applied, none is confirmed.
        current.confirmed = 0;
        current.failed.clear();
        current.unconfirmed.clear();
        for (const ParameterEntry &write : qAsConst(writes)) {
            const QString label = registerLabel(write.address, write.name);
            if (!current.notSent.contains(label))
                current.unconfirmed.append(label);
        }
        return finishDriver(End::Doubtful);
    case RunEnd::Cancelled: return finishDriver(End::Cancelled);
    case RunEnd::Stopped:
        stopRest = true;
        return finishDriver(End::LineLost);
    case RunEnd::DriverSilent:
    case RunEnd::DriverAbsent:
        current.stoppedAnswering = true;
        return finishDriver(End::Failed);
    case RunEnd::Completed: break;
    }
    if (!current.failed.isEmpty())
        return finishDriver(End::Failed);
    const bool whole = current.confirmed == current.writes && current.unread.isEmpty();
    finishDriver(whole ? End::Done : End::Partial);
}

// The next driver starts from the event loop, once this one's outcome has
// been shown.
void BusParameterRun::finishDriver(BusDriverResult::End end)
{
    current.end = end;
    results.append(current);
    emit driverFinished(current);
    QMetaObject::invokeMethod(this, &BusParameterRun::startNext, Qt::QueuedConnection);
}

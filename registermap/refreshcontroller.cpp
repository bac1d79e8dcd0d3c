#include "registermap/refreshcontroller.h"

#include "protocol/requestscheduler.h"
#include "registermap/registerstore.h"
#include "registermap/rowvalue.h"

#include <algorithm>

RefreshController::RefreshController(RegisterStore *store, RequestScheduler *scheduler, QObject *parent)
    : QObject(parent)
    , store(store)
    , scheduler(scheduler)
{
    connect(scheduler, &RequestScheduler::completed, this, &RefreshController::onCompleted);
    connect(scheduler, &RequestScheduler::idle, this, &RefreshController::onIdle);
    connect(store, &RegisterStore::rowsReplaced, this, &RefreshController::takeRoleRows);
    connect(scheduler, &RequestScheduler::unaskedReply, this, &RefreshController::distrustRecentReads);
}

void RefreshController::refreshAll()
{
    QList<int> rows = allRows();
    if (identityFirst) {
        for (int row : identityRows)
            rows.removeOne(row);
        rows = identityRows + rows;
    }
    identityFirst = false;
    start(rows);
}

void RefreshController::takeRoleRows()
{
    plan.setBlockSize(store->blockRead());
    identityRows.clear();
    alarmRows.clear();
    const QList<RegisterInfo> &rows = store->rows();
    const DriverProfile profile = driverProfile(rows);
    for (int row = 0; row < rows.size(); ++row) {
        if (!rows.at(row).addressValid)
            continue;
        const quint16 address = rows.at(row).address;
        if (profile.identity.contains(address))
            identityRows << row;
        if (address == profile.alarmAddress || address == profile.statusAddress)
            alarmRows << row;
    }
    identityFirst = true;
}

QList<int> RefreshController::withAlarmRows(QList<int> rows) const
{
    for (int row : alarmRows) {
        if (!rows.contains(row))
            rows << row;
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void RefreshController::start(const QList<int> &rows)
{
    emit refreshAvailable(false);
    inProgress = true;
    answeredBefore.swap(answeredNow);
    answeredNow.clear();
    doubtful = false;
    queue(rows);
}

void RefreshController::queue(const QList<int> &rows)
{
    for (const PendingCommand &command : plan.requests(store->rows(), rows, scheduler->slaveAddress(), this))
        scheduler->enqueue(command);
}

QList<int> RefreshController::allRows() const
{
    QList<int> rows;
    rows.reserve(store->rows().size());
    for (int row = 0; row < store->rows().size(); ++row)
        rows.append(row);
    return rows;
}

void RefreshController::write(int row, const QByteArray &frame)
{
    const RegisterInfo &info = store->rows().at(row);
    scheduler->enqueueFirst(PendingCommand{frame, info.address, quint16(info.format.wordCount()), this, row});
}

void RefreshController::stop()
{
    plan.forgetRefusals();
    identityFirst = true;
    inProgress = false;
    answeredNow.clear();
    answeredBefore.clear();
}

// The values those reads showed are no longer live, and the rest of this
// refresh brings none. Long after a refresh, a stray says nothing of it.
void RefreshController::distrustRecentReads()
{
    if (!inProgress && sinceRefreshEnded.isValid()
        && double(sinceRefreshEnded.elapsed()) > scheduler->lateReplyWindowMs())
        return;
    for (const QList<PendingCommand> *reads : {&answeredBefore, &answeredNow}) {
        for (const PendingCommand &read : *reads)
            store->markReadFailed(read);
    }
    answeredBefore.clear();
    answeredNow.clear();
    if (inProgress && !doubtful)
        emit lineNote(QStringLiteral("A reply came that no request asked for (another master or a second device at "
                                     "address %1?): the values of this refresh are not live")
                          .arg(scheduler->slaveAddress()));
    doubtful = inProgress;
}

void RefreshController::resetCount()
{
    refreshCount = 0;
    emit countChanged(refreshCount);
}

// The line has nothing queued and nothing awaited: the refresh has ended,
// and with continuous refresh the next one starts at once.
void RefreshController::onIdle()
{
    if (inProgress) {
        inProgress = false;
        sinceRefreshEnded.start();
        emit refreshFinished();
        emit countChanged(++refreshCount);
    }
    if (continuous) {
        const QList<int> chosen = continuousRows ? continuousRows() : QList<int>();
        return start(chosen.isEmpty() ? allRows() : withAlarmRows(chosen));
    }
    emit refreshesStopped();
    emit refreshAvailable(true);
}

// A write the driver echoed shows, whoever sent it; everything else only
// concerns our own reads.
void RefreshController::onCompleted(const PendingCommand &request, const RequestOutcome &outcome)
{
    // Queued for the driver chosen before: its values are not the rows of
    // the driver shown now.
    if (request.slave() != scheduler->slaveAddress())
        return;
    if (request.isWrite() && outcome.answered())
        return showConfirmedWrite(request.address, writtenWords(request.frame));
    if (request.function() == 0x10 && outcome.kind == OutcomeKind::Refused && request.owner == this)
        return emit multipleWriteRefused(request.address, outcome.exceptionCode);
    if (request.owner != this || request.isWrite())
        return;
    switch (outcome.kind) {
    case OutcomeKind::Answered:
        if (doubtful)
            return store->markReadFailed(request);
        answeredNow.append(request);
        return storeReadValues(request, outcome.values);
    case OutcomeKind::Refused: return onBlockRefused(request, outcome.exceptionCode);
    case OutcomeKind::Cancelled: return;
    default: return store->markReadFailed(request);
    }
}

// An answered read carries its request's registers, in order.
void RefreshController::storeReadValues(const PendingCommand &request, const QList<quint16> &values)
{
    store->storeReadValues(request, values);
}

void RefreshController::showConfirmedWrite(quint16 address, const QVector<quint16> &words)
{
    store->confirmWrite(address, words);
}

// A driver that refuses a block read may still answer its registers one by
// one; they are read singly until the port is closed.
void RefreshController::onBlockRefused(const PendingCommand &request, quint8 code)
{
    store->markReadFailed(request);
    const QList<int> rows = RefreshPlan::rowsOf(store->rows(), request);
    if (rows.size() < 2)
        return;
    plan.readSingly(rows);
    emit lineNote(QStringLiteral("Block read of %1 registers at 0x%2 refused (exception %3): reading them one by one")
                      .arg(request.count)
                      .arg(request.address, 4, 16, QLatin1Char('0'))
                      .arg(code));
    queue(rows);
}

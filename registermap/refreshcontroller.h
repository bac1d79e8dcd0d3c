#ifndef REFRESHCONTROLLER_H
#define REFRESHCONTROLLER_H

#include <QElapsedTimer>
#include <QList>
#include <QObject>

#include <functional>

#include "protocol/pendingcommand.h"
#include "protocol/requestoutcome.h"
#include "registermap/refreshplan.h"

class RegisterStore;
class RequestScheduler;

// Reads the store's registers through the scheduler: one refresh on
// request, or one after another while continuous refresh is on. Answers go
// into the store; a block read the driver refuses is read register by
// register until the line closes. Counts the refreshes that finished.
class RefreshController : public QObject
{
    Q_OBJECT

public:
    RefreshController(RegisterStore *store, RequestScheduler *scheduler, QObject *parent = nullptr);

    // The first refresh of a line or a map reads the identity rows first,
    // so the window can name the driver before the rest arrives.
    void refreshAll();
    void setContinuous(bool on) { continuous = on; }
    // The rows a continuous refresh reads; all rows when it gives none. The
    // alarm and status rows are read with them, so no alarm goes unseen.
    void setContinuousRows(std::function<QList<int>()> chooser) { continuousRows = std::move(chooser); }
    // Queues a write of `row` ahead of the reads.
    void write(int row, const QByteArray &frame);
    // The line closed or is taken over: no refresh is under way, and
    // refused blocks may be tried again on the next line.
    void stop();
    // The line is taken over for a while: the refresh under way ends uncounted.
    void abandon() { inProgress = false; }
    void resetCount();
    int count() const { return refreshCount; }

    // The seams where a request's words become row values.
    void storeReadValues(const PendingCommand &request, const QList<quint16> &values);
    void showConfirmedWrite(quint16 address, const QVector<quint16> &words);

signals:
    // False while a refresh is under way, true when the line fell idle.
    void refreshAvailable(bool available);
    void refreshFinished();
    // The finished refreshes since the start or the last reset.
    void countChanged(int count);
    // No further refresh follows the one that finished.
    void refreshesStopped();
    void lineNote(const QString &text);
    // The driver refused a function-16 write of ours; it is never retried as
    // single writes, which would let the driver see half a value.
    void multipleWriteRefused(quint16 address, quint8 exceptionCode);

private:
    void onCompleted(const PendingCommand &request, const RequestOutcome &outcome);
    void onIdle();
    void onBlockRefused(const PendingCommand &request, quint8 code);
    void start(const QList<int> &rows);
    void distrustRecentReads();
    void queue(const QList<int> &rows);
    QList<int> allRows() const;
    QList<int> withAlarmRows(QList<int> rows) const;
    void takeRoleRows();

    RegisterStore *store;
    RequestScheduler *scheduler;
    RefreshPlan plan;
    std::function<QList<int>()> continuousRows;
    bool continuous = false;
    QList<int> identityRows;
    QList<int> alarmRows;
    bool identityFirst = true;
    // A refresh counts once its reads have all been sent and answered or
    // timed out.
    bool inProgress = false;
    int refreshCount = 0;
    // The reads answered in this refresh and the one before: a reply that
    // no request asked for may mean any of them had another's reply.
    QList<PendingCommand> answeredNow;
    QList<PendingCommand> answeredBefore;
    bool doubtful = false;
    QElapsedTimer sinceRefreshEnded;
};

#endif // REFRESHCONTROLLER_H

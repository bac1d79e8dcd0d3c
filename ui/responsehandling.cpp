#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/table/registertableview.h"

#include "ui/log/trafficlogview.h"
#include "ui/monitor/livemonitor.h"
#include "registermap/rowvalue.h"


// A write the driver echoed shows, whoever sent it; everything else only
// concerns the window's own requests.
void MainWindow::onRequestCompleted(const PendingCommand &request, const RequestOutcome &outcome)
{
    if (request.isWrite() && outcome.answered())
        return showConfirmedWrite(request.address, writtenWords(request.frame));
    // Refused function 16 is never retried as single writes: the driver would
    // see half a value.
    if (request.function() == 0x10 && outcome.kind == OutcomeKind::Refused && request.owner == this)
        return logView->showRefusedMultipleWrite(request.address, outcome.exceptionCode);
    if (request.owner != this || request.isWrite())
        return;
    switch (outcome.kind) {
    case OutcomeKind::Answered: return storeReadValues(request, outcome.values);
    case OutcomeKind::Refused: return onBlockRefused(request, outcome.exceptionCode);
    case OutcomeKind::Cancelled: return;
    default: return onReadFailed(request);
    }
}

// An answered read carries its request's registers, in order.
void MainWindow::storeReadValues(const PendingCommand &request, const QList<quint16> &values)
{
    for (int row : RefreshPlan::storeWords(registerList, request, values))
        showReadValue(row);
}

void MainWindow::showReadValue(int row)
{
    RegisterInfo &info = registerList[row];
    setRowWords(info, info.value, info.nextWord);
    tableView->showReadValue(row);
    liveMonitor->valueArrived(row, rowRaw(info));
}

// A write echo names its registers: every row they cover shows the
// confirmed value in green.
void MainWindow::showConfirmedWrite(quint16 address, const QVector<quint16> &words)
{
    for (int row = 0; row < registerList.size(); ++row) {
        if (registerList.at(row).addressValid && takeWrittenWords(registerList[row], address, words))
            tableView->showConfirmedValue(row);
    }
}

// A read that brought no value (no answer, a garbled one, another slave's)
// leaves its rows marked as not live.
void MainWindow::onReadFailed(const PendingCommand &request)
{
    for (int row : RefreshPlan::rowsOf(registerList, request))
        tableView->setLamp(row, QStringLiteral("stale"));
}

// A driver that refuses a block read may still answer its registers one by
// one; they are read singly until the port is closed.
void MainWindow::onBlockRefused(const PendingCommand &request, quint8 code)
{
    onReadFailed(request);
    const QList<int> rows = RefreshPlan::rowsOf(registerList, request);
    if (rows.size() < 2)
        return;
    refreshPlan.readSingly(rows);
    onLineError(QStringLiteral("Block read of %1 registers at 0x%2 refused (exception %3): reading them one by one")
                    .arg(request.count)
                    .arg(request.address, 4, 16, QLatin1Char('0'))
                    .arg(code));
    queueRefresh(rows);
}

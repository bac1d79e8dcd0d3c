#include "statisticslabel.h"
#include "ui/language/followlanguage.h"

#include "protocol/requestscheduler.h"

#include <QMenu>

namespace {

constexpr int refreshIntervalMs = 250;

} // namespace

StatisticsLabel::StatisticsLabel(RequestScheduler *scheduler, QWidget *parent)
    : QLabel(parent)
    , scheduler(scheduler)
{
    setObjectName(QStringLiteral("label_statistics"));
    setContextMenuPolicy(Qt::CustomContextMenu);
    setToolTip(toolTipText());
    followLanguage(this, [this] {
        setToolTip(toolTipText());
        showCounts();
    });
    coalesce.setSingleShot(true);
    coalesce.setInterval(refreshIntervalMs);
    connect(&coalesce, &QTimer::timeout, this, &StatisticsLabel::showCounts);
    connect(scheduler, &RequestScheduler::statisticsChanged, this, [this] {
        if (!coalesce.isActive())
            coalesce.start();
    });
    connect(this, &QWidget::customContextMenuRequested, this, &StatisticsLabel::showMenu);
    showCounts();
}

QString StatisticsLabel::toolTipText()
{
    return tr("请求、有效应答、超时、CRC错误与无效应答（不属于任何请求或与请求不符）的次数，以及最近一次往返时间；右键清零");
}

QString StatisticsLabel::text(const LineStatistics &statistics)
{
    const QString roundTrip = statistics.lastRoundTripMs < 0 ? QStringLiteral("-")
                                                             : QString::number(statistics.lastRoundTripMs);
    return tr("  请求 : %1  应答 : %2  超时 : %3  CRC错误 : %4  无效 : %5  往返 : %6 ms  ")
        .arg(statistics.requests)
        .arg(statistics.validReplies)
        .arg(statistics.timeouts)
        .arg(statistics.crcErrors)
        .arg(statistics.unmatched)
        .arg(roundTrip);
}

void StatisticsLabel::showCounts()
{
    setText(text(scheduler->statistics()));
}

void StatisticsLabel::showMenu(const QPoint &position)
{
    QMenu menu(this);
    connect(menu.addAction(tr("统计清零")), &QAction::triggered, this, [this] {
        scheduler->resetStatistics();
        emit countsReset();
    });
    menu.exec(mapToGlobal(position));
}

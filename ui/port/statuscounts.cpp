#include "ui/port/statuscounts.h"

#include "ui/language/followlanguage.h"
#include "ui/monitor/statisticslabel.h"
#include "registermap/refreshcontroller.h"

#include <QLabel>
#include <QStatusBar>

StatusCounts::StatusCounts(QStatusBar *bar, RefreshController *refresh, RequestScheduler *scheduler)
    : QObject(bar)
    , refreshCount(new QLabel)
{
    showRefreshCount(0);
    bar->addWidget(refreshCount, 0);
    connect(refresh, &RefreshController::countChanged, this, &StatusCounts::showRefreshCount);
    followLanguage(refreshCount, [this, refresh] { showRefreshCount(refresh->count()); });
    auto *statistics = new StatisticsLabel(scheduler);
    bar->addWidget(statistics, 0);
    connect(statistics, &StatisticsLabel::countsReset, refresh, &RefreshController::resetCount);
    bar->setSizeGripEnabled(false);
}

void StatusCounts::showRefreshCount(int count)
{
    refreshCount->setText(tr("    数据刷新次数 : %1    ").arg(count));
}

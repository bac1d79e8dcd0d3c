#include "ui/alarm/alarmbanner.h"
#include "ui_alarmbanner.h"

#include "ui/alarm/alarmhistorydialog.h"
#include "ui/styles.h"
#include "monitor/alarmwatch.h"

AlarmBanner::AlarmBanner(const AlarmWatch *watch, QWidget *parent)
    : QFrame(parent)
    , ui(new Ui::AlarmBanner)
    , watch(watch)
{
    ui->setupUi(this);
    setCursor(Qt::PointingHandCursor);
    connect(ui->pushButton_history, &QPushButton::clicked, this, &AlarmBanner::showHistory);
    connect(watch, &AlarmWatch::changed, this, &AlarmBanner::follow);
    follow();
}

AlarmBanner::~AlarmBanner()
{
    delete ui;
}

void AlarmBanner::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        follow();
    }
    QFrame::changeEvent(event);
}

void AlarmBanner::showHistory()
{
    if (!history) {
        history = new AlarmHistoryDialog(watch, window());
        history->setAttribute(Qt::WA_DeleteOnClose);
    }
    history->show();
    history->raise();
    history->activateWindow();
}

void AlarmBanner::mouseReleaseEvent(QMouseEvent *event)
{
    QFrame::mouseReleaseEvent(event);
    showHistory();
}

void AlarmBanner::follow()
{
    const AlarmWatch::State state = watch->state();
    setVisible(state != AlarmWatch::State::None);
    if (state == AlarmWatch::State::None)
        return;
    const bool live = state == AlarmWatch::State::Active;
    setStyleSheet(live ? alarmBannerStyle : staleAlarmBannerStyle);
    const QString seen = watch->lastSeen().toString(QStringLiteral("HH:mm:ss"));
    if (live)
        ui->label_alarm->setText(tr("⚠ %1").arg(watch->text()));
    else if (watch->seenOnBus())
        ui->label_alarm->setText(tr("⚠ %1（总线于 %2 读到）").arg(watch->text(), seen));
    else
        ui->label_alarm->setText(tr("⚠ %1 — 当前状态未知：最后读到于 %2，之后没有有效读数").arg(watch->text(), seen));
}

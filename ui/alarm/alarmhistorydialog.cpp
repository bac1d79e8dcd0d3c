#include "ui/alarm/alarmhistorydialog.h"
#include "ui_alarmhistorydialog.h"

#include "monitor/alarmwatch.h"

#include <QHeaderView>

namespace {

QString clockText(const QDateTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

AlarmHistoryDialog::AlarmHistoryDialog(const AlarmWatch *watch, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AlarmHistoryDialog)
    , watch(watch)
{
    ui->setupUi(this);
    ui->tableWidget_history->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->tableWidget_history->horizontalHeader()->setStretchLastSection(true);
    connect(watch, &AlarmWatch::changed, this, &AlarmHistoryDialog::fill);
    fill();
}

AlarmHistoryDialog::~AlarmHistoryDialog()
{
    delete ui;
}

void AlarmHistoryDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        fill();
    }
    QDialog::changeEvent(event);
}

void AlarmHistoryDialog::fill()
{
    const QList<AlarmEntry> &entries = watch->history();
    QTableWidget *table = ui->tableWidget_history;
    table->setRowCount(entries.size());
    for (int row = 0; row < entries.size(); ++row) {
        const AlarmEntry &entry = entries.at(row);
        QString cleared = clockText(entry.cleared);
        // The standing alarm is always the newest entry.
        const bool standing = row == entries.size() - 1 && watch->state() != AlarmWatch::State::None;
        if (entry.cleared.isNull())
            cleared = standing ? (watch->state() == AlarmWatch::State::Active ? tr("报警中") : tr("未知（无有效读数）"))
                               : tr("未读到");
        const QStringList cells{clockText(entry.raised), QString::number(entry.code), AlarmWatch::textOf(entry), cleared,
                                QString::number(entry.driver), entry.line};
        for (int column = 0; column < cells.size(); ++column)
            table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
}

#ifndef ALARMHISTORYDIALOG_H
#define ALARMHISTORYDIALOG_H

#include <QDialog>

class AlarmWatch;

QT_BEGIN_NAMESPACE
namespace Ui { class AlarmHistoryDialog; }
QT_END_NAMESPACE

// The session's alarms, newest last: when each was raised, its code and
// text, and when it cleared. Follows the watch while it is open.
class AlarmHistoryDialog : public QDialog
{
    Q_OBJECT

public:
    AlarmHistoryDialog(const AlarmWatch *watch, QWidget *parent = nullptr);
    ~AlarmHistoryDialog() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void fill();

    Ui::AlarmHistoryDialog *ui;
    const AlarmWatch *watch;
};

#endif // ALARMHISTORYDIALOG_H

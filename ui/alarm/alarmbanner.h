#ifndef ALARMBANNER_H
#define ALARMBANNER_H

#include <QFrame>
#include <QPointer>

class AlarmHistoryDialog;
class AlarmWatch;

QT_BEGIN_NAMESPACE
namespace Ui { class AlarmBanner; }
QT_END_NAMESPACE

// The alarm the driver stands in, in the error colour; while no live value
// confirms it, it says the state is unknown and when it was last seen. A
// click or its button opens the session's alarm history. Hidden when no
// alarm stands.
class AlarmBanner : public QFrame
{
    Q_OBJECT

public:
    AlarmBanner(const AlarmWatch *watch, QWidget *parent = nullptr);
    ~AlarmBanner() override;

    void showHistory();

protected:
    void changeEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void follow();

    Ui::AlarmBanner *ui;
    const AlarmWatch *watch;
    QPointer<AlarmHistoryDialog> history;
};

#endif // ALARMBANNER_H

#ifndef DRIVERWATCHVIEWS_H
#define DRIVERWATCHVIEWS_H

#include <QObject>

class AlarmBanner;
class AlarmWatch;
class IdentityLine;
class PortSession;
class QBoxLayout;
class QMenu;
class QWidget;
class RegisterStore;
class TrafficLogView;

// Where the window shows who the driver is and whether it is in alarm.
struct DriverWatchParts
{
    QWidget *window;
    // The column of the register table: the alarm banner goes right above
    // `table`.
    QBoxLayout *tableColumn;
    QWidget *table;
    // The identity line goes into the row of `identityAfter`, after it, where
    // it takes no height of the table's.
    QBoxLayout *identityRow;
    QWidget *identityAfter;
    const RegisterStore *store;
    PortSession *session;
    TrafficLogView *log;
    // Gets the entry that opens the alarm history, which the banner offers
    // only while an alarm stands.
    QMenu *viewMenu;
};

// The identity line and the alarm banner, with the watch behind the banner;
// the alarm history goes into the exported log.
class DriverWatchViews : public QObject
{
    Q_OBJECT

public:
    explicit DriverWatchViews(const DriverWatchParts &parts);

    AlarmWatch *alarmWatch() const { return watch; }

private:
    AlarmWatch *watch;
    IdentityLine *identity;
    AlarmBanner *banner;
};

#endif // DRIVERWATCHVIEWS_H

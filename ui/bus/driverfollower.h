#ifndef DRIVERFOLLOWER_H
#define DRIVERFOLLOWER_H

#include <QObject>
#include <QTimer>

class AlarmWatch;
class BusView;
class PortSession;
class QAbstractButton;
class RefreshController;
class RegisterStore;

// What the window does when another driver becomes its own (from the bus
// panel, the address field or a scan's hit): the alarm the bus watch last
// saw on it shows at once, and the driver is read as Read all reads it.
// Typing an address reads only once the typing pauses, so that "12" does not
// read driver 1 on the way.
class DriverFollower : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        PortSession *session;
        RefreshController *refresh;
        QAbstractButton *readAll;
        const RegisterStore *store;
        const BusView *bus;
        AlarmWatch *alarms;
    };

    explicit DriverFollower(const Parts &parts);

    static constexpr int typingPauseMs = 300;

private:
    void follow();
    void readWhenFree();

    Parts parts;
    QTimer typingPause;
    bool readOwed = false;
};

#endif // DRIVERFOLLOWER_H

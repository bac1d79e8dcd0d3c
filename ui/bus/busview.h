#ifndef BUSVIEW_H
#define BUSVIEW_H

#include <QObject>

class BusPanel;
class BusWatch;
struct BusDriver;
class QComboBox;
class QLineEdit;
class QMainWindow;
class QMenu;
class RegisterStore;
class RequestScheduler;

// The window's bus: the watch over every driver of the line and its panel,
// docked at the window's bottom. The panel shows itself when the port has a
// remembered list or a scan finds drivers; the View menu shows and hides
// it. Choosing a driver puts its address into the
// address field, so the table, editor, monitor and parameter sets follow
// it as they follow a typed address.
class BusView : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        QMainWindow *window;
        RequestScheduler *scheduler;
        RegisterStore *store;
        QComboBox *port;
        QLineEdit *address;
        // The panel's show/hide entry goes here.
        QMenu *viewMenu;
    };

    explicit BusView(const Parts &parts);

    BusPanel *panel() const { return busPanel; }
    // What the watch last read of the driver at `address`.
    BusDriver knownDriver(int address) const;
    // Drivers a scan found join the list.
    void addDrivers(const QList<int> &addresses);

private:
    void usePort(const QString &port);

    Parts parts;
    BusWatch *watch;
    BusPanel *busPanel;
};

#endif // BUSVIEW_H

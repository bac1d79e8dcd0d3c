#ifndef BUSVIEW_H
#define BUSVIEW_H

#include <QObject>

class BusPanel;
class BusWatch;
class QComboBox;
class QLineEdit;
class QMainWindow;
class RegisterStore;
class RequestScheduler;

// The window's bus: the watch over every driver of the line and its panel,
// docked at the window's bottom. Choosing a driver puts its address into the
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
    };

    explicit BusView(const Parts &parts);

    BusPanel *panel() const { return busPanel; }
    // Drivers a scan found join the list.
    void addDrivers(const QList<int> &addresses);

private:
    Parts parts;
    BusWatch *watch;
    BusPanel *busPanel;
};

#endif // BUSVIEW_H

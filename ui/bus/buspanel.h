#ifndef BUSPANEL_H
#define BUSPANEL_H

#include <QDockWidget>
#include <QList>

QT_BEGIN_NAMESPACE
namespace Ui { class BusPanel; }
QT_END_NAMESPACE

class BusWatch;
struct BusDriver;

// The drivers of the line, one row each: address, alarm state and when
// each last answered, as the bus watch reads them; the identity is the
// row's tooltip. The list comes from a scan or is typed ("1-4,7"), and is
// remembered per port. Clicking a row makes that driver the window's; several
// selected rows are what batch work goes over.
class BusPanel : public QDockWidget
{
    Q_OBJECT

public:
    explicit BusPanel(BusWatch *watch, QWidget *parent = nullptr);
    ~BusPanel() override;

    // The remembered list of this port, if any.
    void usePort(const QString &port);
    // Adds drivers a scan found.
    void addDrivers(const QList<int> &addresses);
    // The row of the window's driver is shown selected.
    void showCurrent(int address);
    // The selected drivers, in list order; the current one alone when no
    // row or one row is selected.
    QList<int> selectedDrivers() const;

signals:
    void driverChosen(int address);
    void refused(const QString &text);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyTypedList();
    void setDrivers(const QList<int> &addresses);
    void showDriver(int address);
    void onRowClicked(int row);
    int rowOf(int address) const;
    QString alarmSummary(const BusDriver &driver) const;

    Ui::BusPanel *ui;
    BusWatch *watch;
    QString port;
    int current = 0;
};

#endif // BUSPANEL_H

#ifndef PORTSESSION_H
#define PORTSESSION_H

#include <QObject>

#include <functional>

class LiveMonitor;
class ParameterSetsPanel;
class PortPanel;
class QCheckBox;
class QPushButton;
class QWidget;
class RefreshController;
class RegisterStore;
class RegisterTableView;
class RequestScheduler;
class TrafficLogView;
class ValueEditWin;
struct ScanHit;

// What a session of the line touches in the window.
struct PortSessionParts
{
    QWidget *window;
    PortPanel *panel;
    RequestScheduler *scheduler;
    RefreshController *refresh;
    RegisterStore *store;
    RegisterTableView *table;
    ValueEditWin *editor;
    LiveMonitor *monitor;
    ParameterSetsPanel *parameterSets;
    TrafficLogView *log;
    QCheckBox *continuous;
    QPushButton *dataRefresh;
    QPushButton *saveParams;
    QPushButton *loadParams;
};

// Opening, closing and losing the port, the scan that borrows the line, the
// device address in use, and the writes the editor asks for: the controls
// that work only on an open port follow the line's state.
class PortSession : public QObject
{
    Q_OBJECT

public:
    explicit PortSession(const PortSessionParts &parts);

    bool isOpen() const;
    // Opens the port with the panel's settings, unless it is open.
    void open();
    // The open button: opens a closed port, closes an open one.
    void toggle();
    // Requests still queued, and the reply awaited, belong to the line being
    // closed: none of them may reach a device opened later.
    void close();
    void lost(const QString &errorText);
    void applyAddress(const QString &text);
    void write(int row, const QByteArray &frame);
    void scan();
    void showRefreshAvailable(bool enabled);
    // Asked before a scan's hit closes the open port to open it again: true
    // to go ahead now; otherwise `leave` runs later, or never.
    void setLeaveGate(std::function<bool(std::function<void()>)> gate) { leaveGate = std::move(gate); }

signals:
    void refused(const QString &text);
    // The port opened or closed, or came back from a scan.
    void portStateShown(bool open);
    // A scan has the line until the port state is shown again.
    void lineTakenByScan();
    void driverFound(int address);
    // Another address is the window's driver from now on.
    void driverChanged();
    // The values read so far no longer describe the driver: the port closed,
    // a scan took the line, or another driver became the window's.
    void valuesStale();

private:
    bool passesGate(const QByteArray &frame);
    void showState(bool open);
    bool openSerialPort();
    bool connectNetwork();
    void useScanHit(const ScanHit &hit);
    void resumeAfterScan();

    PortSessionParts parts;
    std::function<bool(std::function<void()>)> leaveGate;
};

#endif // PORTSESSION_H

#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>

#include "ui/editor/valueeditwin.h"
#include "registermap/registerinfo.h"

class LiveMonitor;
class TrafficLogView;
class ManualSendBox;
class MapOpener;
class RegisterTableView;
class RegisterStore;
class RefreshController;
class PortPanel;
class PortSession;
class ParameterSetsPanel;
class RequestScheduler;
class SaveBeforeLeave;
struct StartOptions;

QT_BEGIN_NAMESPACE
namespace Ui { class MainWindow; }
class QLabel;
QT_END_NAMESPACE

// Builds the window's parts and wires them to the register store, the
// refresh and the line; each of its own members only hands on to a part.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void showToast(QWidget *parent, QString text, QString fontSize,
                   QString textColor, QString backgroundColor);
    void readRegisterInfo(const QString &fileName);
    RegisterInfo parseRegisterLine(const QString &line);
    void setTableRow(RegisterInfo info, int row);
    void appendLogLine(const QColor &color, const QString &text);
    void exportLog();
    // Port, framing, map and address from the command line; `open` opens
    // the port once the event loop runs, as 打开串口 does.
    void applyStartOptions(const StartOptions &options);
    // Replaces the map, closing the port first; a file that cannot be read
    // leaves the current map in place and returns false.
    bool loadRegisterMap(const QString &fileName);

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void on_pushButton_open_clicked();
    void on_pushButton_send_clicked();
    void on_pushButton_refresh_clicked();
    void on_textClean(const QPoint &pos);
    void on_clickTabWidget(int row, int column);
    void on_sendDataShow(QString data, bool isOk);
    void on_sendWriteCmd(int row, QByteArray cmd);
    void on_serialReceive(const QByteArray &data);
    void on_pushButton_dataRefresh_clicked();
    void on_lineEdit_deviceAddr_textChanged(const QString &arg1);
    void on_portLost(QString errorText);
    void on_pushButton_scan_clicked();
    void on_pushButton_openMap_clicked();

private:
    void buildViews();
    void connectParameterSets();
    void connectRefresh();
    void connectCommands();
    void showRefusal(const QString &text);

    Ui::MainWindow *ui;
    ValueEditWin valueEditWin;
    RegisterStore *store = nullptr;
    RequestScheduler *scheduler = nullptr;
    RefreshController *refresh = nullptr;
    TrafficLogView *logView = nullptr;
    ManualSendBox *sendBox = nullptr;
    RegisterTableView *tableView = nullptr;
    PortPanel *portPanel = nullptr;
    PortSession *session = nullptr;
    MapOpener *mapOpener = nullptr;
    ParameterSetsPanel *parameterSets = nullptr;
    LiveMonitor *liveMonitor = nullptr;
    QLabel *refreshCountLabel = nullptr;
    SaveBeforeLeave *saveBeforeLeave = nullptr;

    // Lets the tests look at the state that the window keeps to itself.
    friend struct MainWindowInspector;
};

#endif // MAINWINDOW_H

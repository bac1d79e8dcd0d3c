#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QList>
#include <QVector>
#include <QMainWindow>

#include "ui/editor/valueeditwin.h"
#include "protocol/pendingcommand.h"
#include "registermap/refreshplan.h"
#include "protocol/requestoutcome.h"
#include "registermap/registerinfo.h"

class LiveMonitor;
class TrafficLogView;
class ManualSendBox;
class RegisterTableView;
class PortPanel;
struct RegisterMap;
class ParameterSetsPanel;
class RequestScheduler;
struct StartOptions;
struct ScanHit;

QT_BEGIN_NAMESPACE
namespace Ui { class MainWindow; }
class QLabel;
QT_END_NAMESPACE

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
    void initUi();
    void useMapSettings(const QString &fileName);
    void reportMapProblems(const QString &fileName, const RegisterMap &map);
    void resumeAfterScan();
    void useScanHit(const ScanHit &hit);
    void showRefusal(const QString &text);
    void setDataRefreshEnabled(bool enabled);
    void showPortState(bool open);
    void closePort();
    void countFinishedRefresh();
    void connectScheduler();
    void connectParameterSets();
    void queueRefresh(const QList<int> &rows);
    QList<int> allRows() const;
    QList<int> continuousRows() const;
    void onLineIdle();
    void onLineError(const QString &text);
    void onRequestCompleted(const PendingCommand &request, const RequestOutcome &outcome);
    void storeReadValues(const PendingCommand &request, const QList<quint16> &values);
    void showConfirmedWrite(quint16 address, const QVector<quint16> &words);
    void onReadFailed(const PendingCommand &request);
    void onBlockRefused(const PendingCommand &request, quint8 code);
    void showReadValue(int row);
    void connectLiveMonitor();

    Ui::MainWindow *ui;
    ValueEditWin valueEditWin;
    QList<RegisterInfo> registerList;
    QList<quint16> registerAddrs;
    TrafficLogView *logView = nullptr;
    ManualSendBox *sendBox = nullptr;
    RegisterTableView *tableView = nullptr;
    PortPanel *portPanel = nullptr;
    RequestScheduler *scheduler = nullptr;
    ParameterSetsPanel *parameterSets = nullptr;
    RefreshPlan refreshPlan;
    LiveMonitor *liveMonitor = nullptr;
    quint32 slaveAddress = 1;
    int txTime = 100;
    quint32 rxOutTime = 1000;
    QLabel *refreshCountLabel = nullptr;
    // A refresh counts once its reads have all been sent and answered or
    // timed out.
    bool refreshInProgress = false;
    int refreshCount = 0;

    // Lets the tests look at the state that the window keeps to itself.
    friend struct MainWindowInspector;
};

#endif // MAINWINDOW_H

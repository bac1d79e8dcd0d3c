#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/windowsettings.h"
#include "ui/mapopener.h"
#include "ui/alarm/driverwatchviews.h"
#include "ui/problemlist.h"
#include "ui/toast.h"
#include "ui/windowmenus.h"
#include "ui/windowshortcuts.h"
#include "ui/language/followlanguage.h"
#include "ui/bus/buspanel.h"
#include "ui/bus/busview.h"
#include "ui/bus/driverfollower.h"
#include "ui/commands/commandwiring.h"
#include "ui/commands/savebeforeleave.h"
#include "ui/log/logpaneaction.h"
#include "ui/log/manualsendbox.h"
#include "ui/log/trafficlogview.h"
#include "ui/paramsets/parametersetspanel.h"
#include "ui/port/portpanel.h"
#include "ui/port/portsession.h"
#include "ui/port/statuscounts.h"
#include "ui/table/registertableview.h"
#include "ui/capture/captureview.h"
#include "ui/testrun/testrundock.h"
#include "monitor/capturerun.h"
#include "motion/testrun.h"
#include "ui/monitor/livemonitor.h"
#include "cli/startoptions.h"
#include "registermap/refreshcontroller.h"
#include "registermap/registermap.h"
#include "registermap/registerstore.h"
#include "protocol/requestscheduler.h"
#include "serial/serial.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenu>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    store = new RegisterStore(this);
    scheduler = new RequestScheduler(Serial::instance(), this);
    connect(scheduler, &RequestScheduler::received, this, &MainWindow::on_serialReceive);
    connect(scheduler, &RequestScheduler::lineError, this,
            [this](const QString &text) { logView->showLineError(text); });
    refresh = new RefreshController(store, scheduler, this);
    connectParameterSets();
    buildViews();
    connectCommands();
    refreshCountLabel = (new StatusCounts(ui->statusBar, refresh, scheduler))->refreshCountLabel();
    connectRefresh();
    readRegisterInfo(QStringLiteral("RegisterInfo"));
    mapOpener->useSettings(QStringLiteral("RegisterInfo"));
    WindowSettings::restore(this, ui);
    setAcceptDrops(true);
    // The table has its laid-out width only once the event loop runs.
    QTimer::singleShot(10, this, [this] { tableView->adjustColumnWidths(); });

    Serial *serial = Serial::instance();
    connect(serial, &Serial::haveReceive, scheduler, &RequestScheduler::takeBlock);
    connect(serial, SIGNAL(sendDataShow(QString,bool)), this, SLOT(on_sendDataShow(QString,bool)));
    connect(serial, SIGNAL(portLost(QString)), this, SLOT(on_portLost(QString)));
    scheduler->setSlaveAddress(quint8(store->slaveAddress() & 0xFF));
    connect(&valueEditWin, SIGNAL(writeCurrentValue(int,QByteArray)), this, SLOT(on_sendWriteCmd(int,QByteArray)));
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!saveBeforeLeave->allowsLeaving([this] { close(); }))
        return event->ignore();
    WindowSettings::save(this, ui);
    QMainWindow::closeEvent(event);
}

void MainWindow::connectParameterSets()
{
    parameterSets = new ParameterSetsPanel(scheduler, this);
    connect(parameterSets, &ParameterSetsPanel::notice, this, &MainWindow::showRefusal);
    // A scan takes the line from a backup, compare or restore: they wait for
    // each other.
    connect(parameterSets, &ParameterSetsPanel::busyChanged, ui->pushButton_scan,
            [this](bool busy) { ui->pushButton_scan->setEnabled(!busy); });
    connect(parameterSets, &ParameterSetsPanel::fileRefused, this, [this](const QString &path, const QStringList &problems) {
        showProblemList(this, tr("参数文件 %1 无法使用，未比较也未写入任何参数。").arg(QFileInfo(path).fileName()), problems);
    });
    // A run works on a snapshot of the map, taken when the button is pressed.
    auto driver = [this] {
        return DriverContext{store->rows(), Serial::instance()->lineName(), store->slaveAddress(),
                             store->fileName(), store->blockRead(), store->writeFunction()};
    };
    connect(ui->pushButton_saveParams, &QPushButton::clicked, this, [this, driver] { parameterSets->backup(driver()); });
    connect(ui->pushButton_loadParams, &QPushButton::clicked, this, [this, driver] { parameterSets->load(driver()); });
    ui->pushButton_saveParams->setEnabled(false);
    ui->pushButton_loadParams->setEnabled(false);
}

void MainWindow::buildViews()
{
    setWindowTitle(WindowMenus::title());
    setWindowIcon(QIcon(QStringLiteral(":/new/prefix1/picture/mainlog.png")));
    valueEditWin.hide();
    setDockOptions(AnimatedDocks | AllowNestedDocks | AllowTabbedDocks);
    QMenu *viewMenu = (new WindowMenus(this))->viewMenu();
    liveMonitor = new LiveMonitor(this, viewMenu);
    connect(liveMonitor, &LiveMonitor::recordingFailed, this,
            [this](const QString &reason) { showRefusal(tr("\n录制已停止 : %1\n").arg(reason)); });
    logView = new TrafficLogView(ui->textBrowser_show, ui->checkBox_2);
    connect(logView, &TrafficLogView::refused, this, &MainWindow::showRefusal);
    sendBox = new ManualSendBox(ui->textEdit_send, ui->checkBox, scheduler, store);
    connect(sendBox, &ManualSendBox::refused, this, &MainWindow::showRefusal);

    tableView = new RegisterTableView(ui->tableWidget, store, liveMonitor);
    connect(ui->tableWidget, SIGNAL(cellDoubleClicked(int , int )), this, SLOT(on_clickTabWidget(int , int )));
    connect(tableView, &RegisterTableView::refused, this, &MainWindow::showRefusal);
    connect(tableView, &RegisterTableView::editRequested, this,
            [this](int row) {
                valueEditWin.setWriteFunction(store->writeFunction());
                valueEditWin.showRegister(store->rows().at(row), row, scheduler->slaveAddress());
            });

    portPanel = new PortPanel({ui->comboBox_port, ui->comboBox_buad, ui->comboBox_parity, ui->comboBox_stopBits,
                               ui->lineEdit_deviceAddr, ui->pushButton_open, ui->pushButton_refresh,
                               ui->comboBox_lineKind, ui->label, ui->lineEdit_host, ui->spinBox_tcpPort, ui->label_3},
                              ui->statusBar);
    session = new PortSession({this, portPanel, scheduler, refresh, store, tableView, &valueEditWin, liveMonitor,
                               parameterSets, logView, ui->checkBox_continuous, ui->pushButton_dataRefresh,
                               ui->pushButton_saveParams, ui->pushButton_loadParams});
    connect(session, &PortSession::refused, this, &MainWindow::showRefusal);
    auto *bus = new BusView({this, scheduler, store, ui->comboBox_port, ui->lineEdit_deviceAddr, viewMenu});
    connect(session, &PortSession::driverFound, bus, [bus](int address) { bus->addDrivers({address}); });
    parameterSets->setSelection([bus] { return bus->panel()->selectedDrivers(); });
    mapOpener = new MapOpener(store, this, windowTitle());
    mapOpener->setLine(session, portPanel, scheduler, logView);
    connect(mapOpener, &MapOpener::refused, this, &MainWindow::showRefusal);
    followLanguage(this, [this] { mapOpener->setTitle(WindowMenus::title()); });
    auto *watchViews = new DriverWatchViews({this, ui->verticalLayout_3, ui->tableWidget, ui->horizontalLayout_params,
                                             ui->checkBox_watchedOnly, store, session, logView, viewMenu});
    new DriverFollower({session, refresh, ui->pushButton_dataRefresh, store, bus, watchViews->alarmWatch()});
    auto *capture = new CaptureView(this, viewMenu, scheduler, store);
    auto *testRun = new TestRunDock({this, scheduler, store, session, viewMenu});
    connect(testRun, &TestRunDock::notice, this, &MainWindow::showRefusal);
    connect(testRun->testRun(), &TestRun::moveStarted, capture->run(), &CaptureRun::triggerAt);
    viewMenu->addAction(logPaneAction(ui->verticalLayout_2, this));
    ui->checkBox_2->setChecked(true);
    new WindowShortcuts(this, ui->pushButton_dataRefresh, ui->label_dataRefresh, ui->pushButton_open);
}

void MainWindow::connectCommands()
{
    auto *commands = new CommandWiring({this, scheduler, store, logView, session, parameterSets, sendBox, refresh,
                                        ui->pushButton_dataRefresh, ui->verticalLayout_3, ui->tableWidget});
    connect(commands, &CommandWiring::notice, this, &MainWindow::showRefusal);
    saveBeforeLeave = commands->saveBeforeLeave();
}

// The refresh reads into the store; the window shows the count, the button
// and the plot's curves follow it.
void MainWindow::connectRefresh()
{
    session->showRefreshAvailable(false);
    connect(refresh, &RefreshController::refreshAvailable, session, &PortSession::showRefreshAvailable);
    connect(refresh, &RefreshController::refreshFinished, liveMonitor, &LiveMonitor::refreshFinished);
    connect(refresh, &RefreshController::refreshesStopped, liveMonitor, &LiveMonitor::refreshesStopped);
    connect(refresh, &RefreshController::lineNote, logView, &TrafficLogView::showLineError);
    connect(refresh, &RefreshController::multipleWriteRefused, logView, &TrafficLogView::showRefusedMultipleWrite);
    connect(ui->checkBox_continuous, &QCheckBox::toggled, refresh, &RefreshController::setContinuous);
    liveMonitor->setSamplingSwitch(ui->checkBox_continuous);
    refresh->setContinuous(ui->checkBox_continuous->isChecked());
    // Narrowed to the plotted rows when the user asks for it.
    refresh->setContinuousRows([this] {
        return ui->checkBox_watchedOnly->isChecked() ? liveMonitor->watchedRows() : QList<int>();
    });
    connect(store, &RegisterStore::valueRead, liveMonitor, &LiveMonitor::valueArrived);
    // The register being edited and the rows watched belong to the map
    // being replaced.
    connect(store, &RegisterStore::aboutToClear, this, [this] {
        valueEditWin.hide();
        liveMonitor->clear();
    });
}

// Refused user actions all end in the same dark notice.
void MainWindow::showRefusal(const QString &text)
{
    showToast(nullptr, text, QStringLiteral("16px"), QStringLiteral("#ffffff"), QStringLiteral("#202020"));
}

void MainWindow::showToast(QWidget *parent, QString text, QString fontSize,
                           QString textColor, QString backgroundColor)
{
    ::showToast(parent, text, fontSize, textColor, backgroundColor, this);
}

void MainWindow::readRegisterInfo(const QString &fileName)
{
    mapOpener->read(fileName);
}

RegisterInfo MainWindow::parseRegisterLine(const QString &line)
{
    return ::parseRegisterLine(line);
}

bool MainWindow::loadRegisterMap(const QString &fileName)
{
    return mapOpener->load(fileName);
}

// Another map closes the port.
void MainWindow::on_pushButton_openMap_clicked()
{
    if (!saveBeforeLeave->allowsLeaving([this] { mapOpener->askForFile(); }))
        return;
    mapOpener->askForFile();
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    mapOpener->dragEnter(event);
}

// A dropped map closes the port like 打开映射 does, so it asks alike; only
// once the drop is over, which a question box must not hold up.
void MainWindow::dropEvent(QDropEvent *event)
{
    const QString fileName = mapOpener->takeDrop(event);
    if (fileName.isEmpty())
        return;
    QTimer::singleShot(0, this, [this, fileName] {
        auto load = [this, fileName] { mapOpener->load(fileName); };
        if (saveBeforeLeave->allowsLeaving(load))
            load();
    });
}

// The map goes first: it brings its own device address, which a given
// address then overrides.
void MainWindow::applyStartOptions(const StartOptions &options)
{
    if (!options.mapFile.isEmpty())
        loadRegisterMap(options.mapFile);
    portPanel->select(options);
    if (options.open)
        QTimer::singleShot(0, session, &PortSession::open);
}

void MainWindow::setTableRow(RegisterInfo info, int row)
{
    tableView->setRow(info, row);
}

void MainWindow::on_clickTabWidget(int row, int column)
{
    tableView->activate(row, column);
}

void MainWindow::appendLogLine(const QColor &color, const QString &text)
{
    logView->append(color, text);
}

void MainWindow::exportLog()
{
    logView->exportToFile();
}

void MainWindow::on_sendDataShow(QString data, bool isOk)
{
    logView->showSent(data, isOk);
}

void MainWindow::on_textClean(const QPoint &pos)
{
    logView->showMenu(pos);
}

// Writes the send box at once, outside the request queue.
void MainWindow::on_pushButton_send_clicked()
{
    sendBox->send();
}

void MainWindow::on_serialReceive(const QByteArray &data)
{
    logView->showReceived(data);
}

void MainWindow::on_pushButton_open_clicked()
{
    if (session->isOpen() && !saveBeforeLeave->allowsLeaving([this] { session->close(); }))
        return;
    session->toggle();
}

void MainWindow::on_pushButton_refresh_clicked()
{
    portPanel->refreshPorts();
}

void MainWindow::on_pushButton_dataRefresh_clicked()
{
    refresh->refreshAll();
}

void MainWindow::on_sendWriteCmd(int row, QByteArray cmd)
{
    session->write(row, cmd);
}

void MainWindow::on_lineEdit_deviceAddr_textChanged(const QString &arg1)
{
    session->applyAddress(arg1);
}

void MainWindow::on_portLost(QString errorText)
{
    session->lost(errorText);
}

void MainWindow::on_pushButton_scan_clicked()
{
    session->scan();
}

// The form's texts; the parts re-set those they set in code themselves.
void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QMainWindow::changeEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent *)
{
    tableView->adjustColumnWidths();
}

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/windowsettings.h"
#include "protocol/modbusmaster.h"
#include "protocol/requestscheduler.h"
#include "ui/log/manualsendbox.h"
#include "ui/log/trafficlogview.h"
#include "ui/port/portpanel.h"
#include "ui/table/registertableview.h"
#include "ui/monitor/livemonitor.h"
#include "ui/monitor/statisticslabel.h"
#include "serial/serial.h"

#include <QIcon>
#include <QLabel>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    connectScheduler();
    connectLiveMonitor();
    connectParameterSets();
    initUi();
    readRegisterInfo(QStringLiteral("RegisterInfo"));
    useMapSettings(QStringLiteral("RegisterInfo"));
    WindowSettings::restore(this, ui);
    setAcceptDrops(true);
    // The table has its laid-out width only once the event loop runs.
    QTimer::singleShot(10, this, [this] { tableView->adjustColumnWidths(); });

    Serial *serial = Serial::instance();
    connect(serial, &Serial::haveReceive, scheduler, &RequestScheduler::takeBlock);
    connect(serial, SIGNAL(sendDataShow(QString,bool)), this, SLOT(on_sendDataShow(QString,bool)));
    connect(serial, SIGNAL(portLost(QString)), this, SLOT(on_portLost(QString)));
    scheduler->setSlaveAddress(quint8(slaveAddress & 0xFF));
    connect(&valueEditWin, SIGNAL(writeCurrentValue(int,QByteArray)), this, SLOT(on_sendWriteCmd(int,QByteArray)));
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    WindowSettings::save(this, ui);
    QMainWindow::closeEvent(event);
}

void MainWindow::initUi()
{
    setWindowTitle(tr("开闭环步进驱动器-上位机调试软件 v1.0"));
    setWindowIcon(QIcon(QStringLiteral(":/new/prefix1/picture/mainlog.png")));
    valueEditWin.hide();

    logView = new TrafficLogView(ui->textBrowser_show, ui->checkBox_2);
    connect(logView, &TrafficLogView::refused, this, &MainWindow::showRefusal);
    sendBox = new ManualSendBox(ui->textEdit_send, ui->checkBox, scheduler);
    connect(sendBox, &ManualSendBox::refused, this, &MainWindow::showRefusal);

    tableView = new RegisterTableView(ui->tableWidget, registerList, liveMonitor);
    connect(ui->tableWidget, SIGNAL(cellDoubleClicked(int , int )), this, SLOT(on_clickTabWidget(int , int )));
    connect(tableView, &RegisterTableView::refused, this, &MainWindow::showRefusal);
    connect(tableView, &RegisterTableView::editRequested, this,
            [this](int row) { valueEditWin.showRegister(registerList.at(row), row, scheduler->slaveAddress()); });

    portPanel = new PortPanel({ui->comboBox_port, ui->comboBox_buad, ui->comboBox_parity, ui->comboBox_stopBits,
                               ui->lineEdit_deviceAddr, ui->pushButton_open, ui->pushButton_refresh},
                              ui->statusBar);
    refreshCountLabel = new QLabel(tr("    数据刷新次数 : 0    "));
    ui->statusBar->addWidget(refreshCountLabel, 0);
    auto *statistics = new StatisticsLabel(scheduler);
    ui->statusBar->addWidget(statistics, 0);
    connect(statistics, &StatisticsLabel::countsReset, this, [this] {
        refreshCount = 0;
        refreshCountLabel->setText(tr("    数据刷新次数 : %1    ").arg(refreshCount));
    });
    ui->statusBar->setSizeGripEnabled(false);

    ui->checkBox_2->setChecked(true);
    setDataRefreshEnabled(false);
}

// Refused user actions all end in the same dark notice.
void MainWindow::showRefusal(const QString &text)
{
    showToast(nullptr, text, QStringLiteral("16px"), QStringLiteral("#ffffff"), QStringLiteral("#202020"));
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

void MainWindow::onLineError(const QString &text)
{
    logView->showLineError(text);
}

void MainWindow::resizeEvent(QResizeEvent *)
{
    tableView->adjustColumnWidths();
}

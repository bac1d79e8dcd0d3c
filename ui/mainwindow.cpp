#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/windowsettings.h"
#include "protocol/modbusmaster.h"
#include "protocol/requestscheduler.h"
#include "ui/log/logbuffer.h"
#include "ui/monitor/livemonitor.h"
#include "ui/monitor/statisticslabel.h"
#include "serial/serial.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QScrollBar>

#include <algorithm>

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
    QTimer::singleShot(10, this, [this] { adjustColumnWidths(); });

    Serial *serial = Serial::instance();
    connect(serial, &Serial::haveReceive, scheduler, &RequestScheduler::takeBlock);
    connect(serial, SIGNAL(sendDataShow(QString,bool)), this, SLOT(on_sendDataShow(QString,bool)));
    connect(serial, SIGNAL(portLost(QString)), this, SLOT(on_portLost(QString)));
    ModbusMaster::instance()->slaveAddress = quint8(slaveAddress & 0xFF);
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
    on_pushButton_refresh_clicked();

    trafficLog = new LogBuffer(ui->textBrowser_show);
    ui->textBrowser_show->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->textBrowser_show, SIGNAL(customContextMenuRequested(QPoint)), this, SLOT(on_textClean(QPoint)));

    // An invisible 1 x 30 icon makes every drop-down row 30 pixels high.
    QPixmap spacer(1, 30);
    spacer.fill(Qt::transparent);
    const QIcon spacerIcon(spacer);
    ui->comboBox_buad->clear();
    ui->comboBox_buad->setIconSize(QSize(1, 30));
    const QStringList bauds = {"1200", "4800", "9600", "19200", "38400", "57600", "115200"};
    for (const QString &baud : bauds)
        ui->comboBox_buad->addItem(spacerIcon, baud);
    ui->comboBox_buad->setCurrentIndex(2);
    initFramingChoices();

    QTableWidget *table = ui->tableWidget;
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->verticalHeader()->setHidden(true);
    table->horizontalHeader()->setFixedHeight(30);
    table->horizontalHeader()->setStyleSheet(QStringLiteral(
        "QHeaderView::section{background-color:rgb(235,235,235);font:10pt '宋体';color: black;};"));
    connect(table, SIGNAL(cellDoubleClicked(int , int )), this, SLOT(on_clickTabWidget(int , int )));
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this, &MainWindow::showTableMenu);
    connectEditorKeys();

    portStateLabel = new QLabel(tr("  串口状态 : 未连接    "));
    ui->statusBar->addWidget(portStateLabel, 0);
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

// Shares the table width out in fortieths; the last column takes the
// remainder, so the six widths always add up to the usable width. The short
// columns never go below what their header and visible cells need, which
// differs by language and font.
void MainWindow::adjustColumnWidths()
{
    QTableWidget *table = ui->tableWidget;
    // QTableView hides the measure of the visible cells that its base offers.
    const QAbstractItemView *cells = table;
    const int width = table->width() - 20;
    const int unit = width / 40;
    const int headerSpare = 2 * table->fontMetrics().averageCharWidth();
    const int shares[] = {3, 6, 3, 3, 8};
    int used = 0;
    for (int column = 0; column < 5; ++column) {
        int columnWidth = shares[column] * unit;
        // The header's style sheet draws its captions in a font of its own,
        // which its size hint does not know: a little room to spare.
        if (column < 4)
            columnWidth = std::max({columnWidth, table->horizontalHeader()->sectionSizeHint(column) + headerSpare,
                                    cells->sizeHintForColumn(column)});
        table->setColumnWidth(column, columnWidth);
        used += columnWidth;
    }
    table->setColumnWidth(5, std::max(width - used, shares[4] * unit / 2));
}

void MainWindow::resizeEvent(QResizeEvent *)
{
    adjustColumnWidths();
}

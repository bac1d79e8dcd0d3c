#include <QtTest>

#include <QApplication>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextBrowser>

#include "paramsets/backupnames.h"
#include "paramsets/parametercompare.h"
#include "protocol/modbusmaster.h"
#include "support/lamps.h"
#include "support/windowinternals.h"
#include "support/toasts.h"
#include "support/workfolder.h"
#include "ui/editor/valueeditwin.h"
#include "ui/paramsets/comparedialog.h"

using Inspect = MainWindowInspector;

namespace {

const char sampleMap[] =
    "slaveAddress:5,txTime:100,rxOutTime:1000\n"
    "indexes:0x10,permission:RW,defaultValue:0x64,rangeValue:0~1000,name:Run current,remarks:mA\n";

// A plain row whose default the map writes in lower case, a bits row, a
// 32-bit row and a row whose address is fine but whose type is not.
const char detailsMap[] =
    "slaveAddress:1,txTime:100,rxOutTime:1000\n"
    "indexes:0x0010,permission:RW,defaultValue:0bb8,rangeValue:0~6000,name:Run current,remarks:mA\n"
    "indexes:0x0000,permission:RW,defaultValue:0x0000,rangeValue:0~65535,name:Status,remarks:,"
    "bits:0=使能;2=报警\n"
    "indexes:0x0018,permission:RW,defaultValue:0x00013D52,rangeValue:0~100000,name:Position,remarks:,type:s32\n"
    "indexes:0x0021,permission:RW,defaultValue:0x0000,rangeValue:0~1,name:Broken,remarks:,type:s33\n";

QAction *viewAction(MainWindow &window, const QString &text)
{
    for (QAction *menu : window.menuBar()->actions()) {
        if (menu->text() != QStringLiteral("视图(&V)"))
            continue;
        for (QAction *action : menu->menu()->actions()) {
            if (action->text() == text)
                return action;
        }
    }
    return nullptr;
}

QList<quint16> refreshedAddresses(MainWindow &window)
{
    Inspect::cmdQueue(window).clear();
    Inspect::clickDataRefresh(window);
    QList<quint16> addresses;
    for (const PendingCommand &command : Inspect::cmdQueue(window))
        addresses << command.address;
    Inspect::cmdQueue(window).clear();
    return addresses;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void initialState();
    void formKeepsItsShape();
    void columnWidths_data();
    void columnWidths();
    void resizingRecomputesWidths();
    void missingMapShowsToastAndRunsOnDefaults();
    void toastLooksAsAsked();
    void toastsFadeIndependentlyAndLeaveNothing();
    void detailsReadAtAGlance();
    void portKeyOutlastsTheButtonsText();
};

// A toast's fade belongs to the window; a test that shows one waits for it
// to end while the window still lives, so no frame is left for the next.
void TestMainWindow::cleanup()
{
    QVERIFY(toastFrames().isEmpty());
}

void TestMainWindow::initialState()
{
    WorkFolder folder{QByteArray(sampleMap)};
    MainWindow window;
    QCOMPARE(window.windowTitle(), QStringLiteral("开闭环步进驱动器-上位机调试软件 v" STEPPERTOOL_VERSION " - RegisterInfo"));
    QVERIFY(!window.windowIcon().isNull());

    auto *bauds = window.findChild<QComboBox *>("comboBox_buad");
    QStringList baudTexts;
    for (int i = 0; i < bauds->count(); ++i)
        baudTexts << bauds->itemText(i);
    QCOMPARE(baudTexts, (QStringList{"1200", "4800", "9600", "19200", "38400", "57600", "115200"}));
    QCOMPARE(bauds->currentText(), QStringLiteral("9600"));
    QCOMPARE(bauds->iconSize(), QSize(1, 30));

    QCOMPARE(window.findChild<QLineEdit *>("lineEdit_deviceAddr")->text(), QStringLiteral("5"));
    auto *dataRefresh = window.findChild<QPushButton *>("pushButton_dataRefresh");
    QVERIFY(!dataRefresh->isEnabled());
    QCOMPARE(dataRefresh->styleSheet(),
             QStringLiteral("border-image: url(:/new/prefix1/picture/dataRefresh2.png)"));
    QVERIFY(window.findChild<QCheckBox *>("checkBox_2")->isChecked());
    QVERIFY(!window.findChild<QCheckBox *>("checkBox")->isChecked());
    QVERIFY(Inspect::isDisplayOn(window));
    QVERIFY(!Inspect::pollTimer(window).isActive());
    QCOMPARE(Inspect::pollTimer(window).interval(), 100);

    auto *statusBar = window.findChild<QStatusBar *>("statusBar");
    QStringList statusTexts;
    for (QLabel *label : statusBar->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly))
        statusTexts << label->text();
    QVERIFY(statusTexts.contains(QStringLiteral("  串口状态 : 未连接    ")));
    QVERIFY(statusTexts.contains(QStringLiteral("    数据刷新次数 : 0    ")));
    QVERIFY(!statusBar->isSizeGripEnabled());

    auto *table = window.findChild<QTableWidget *>("tableWidget");
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(table->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(table->verticalHeader()->isHidden());
    QCOMPARE(table->horizontalHeader()->height(), 30);
    QCOMPARE(window.findChild<QTextBrowser *>("textBrowser_show")->contextMenuPolicy(),
             Qt::CustomContextMenu);
}

void TestMainWindow::formKeepsItsShape()
{
    WorkFolder folder{QByteArray(sampleMap)};
    MainWindow window;
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    const QStringList headers = {"地址(HEX)", "值", "参考范围", "权限", "名称", "备注"};
    QCOMPARE(table->columnCount(), 6);
    for (int column = 0; column < 6; ++column)
        QCOMPARE(table->horizontalHeaderItem(column)->text(), headers.at(column));

    window.resize(1365, 953);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *refresh = window.findChild<QPushButton *>("pushButton_refresh");
    QCOMPARE(refresh->size(), QSize(20, 20));
    QCOMPARE(window.findChild<QPushButton *>("pushButton_dataRefresh")->size(), QSize(30, 35));
    QCOMPARE(window.findChild<QLabel *>("label_name")->height(), 50);
    QVERIFY(window.findChild<QWidget *>("textEdit_send")->height() <= 100);

    // Left (port bar and table) to right (log and send box) is 3 : 1.
    const double ratio = double(table->width()) / window.findChild<QWidget *>("textBrowser_show")->width();
    QVERIFY2(ratio > 2.5 && ratio < 3.5, qPrintable(QString::number(ratio)));
}

void TestMainWindow::columnWidths_data()
{
    QTest::addColumn<int>("tableWidth");
    QTest::addColumn<QList<int>>("widths");
    // Wide enough that no share falls below its header's text.
    QTest::newRow("1620") << 1620 << QList<int>{120, 240, 120, 120, 320, 680};
    QTest::newRow("2000, rounding goes to the last column") << 2000 << QList<int>{147, 294, 147, 147, 392, 853};
    QTest::newRow("2021, truncated unit") << 2021 << QList<int>{150, 300, 150, 150, 400, 851};
}

void TestMainWindow::columnWidths()
{
    QFETCH(int, tableWidth);
    QFETCH(QList<int>, widths);
    WorkFolder folder{QByteArray(sampleMap)};
    MainWindow window;
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    table->resize(tableWidth, 500);
    Inspect::adjustColumnWidths(window);
    QList<int> actual;
    for (int column = 0; column < 6; ++column)
        actual << table->columnWidth(column);
    QCOMPARE(actual, widths);
}

void TestMainWindow::resizingRecomputesWidths()
{
    WorkFolder folder{QByteArray(sampleMap)};
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    auto sumOfWidths = [table] {
        int sum = 0;
        for (int column = 0; column < 6; ++column)
            sum += table->columnWidth(column);
        return sum;
    };
    QTRY_COMPARE(sumOfWidths(), table->width() - 20);

    table->setColumnWidth(4, 5); // a width the user dragged by hand
    window.resize(window.width() + 200, window.height());
    QTRY_COMPARE(sumOfWidths(), table->width() - 20);
    QCOMPARE(table->columnWidth(4), 8 * ((table->width() - 20) / 40));
}

void TestMainWindow::missingMapShowsToastAndRunsOnDefaults()
{
    WorkFolder emptyFolder;
    MainWindow window;
    const QList<QFrame *> frames = toastFrames();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(toastText(frames.first()), QStringLiteral("文件读取失败，请检查文件是否存在!"));
    QCOMPARE(Inspect::slaveAddress(window), 1u);
    QCOMPARE(Inspect::txTime(window), 100);
    QCOMPARE(Inspect::rxOutTime(window), 1000u);
    QCOMPARE(window.findChild<QLineEdit *>("lineEdit_deviceAddr")->text(), QStringLiteral("1"));
    QCOMPARE(window.findChild<QTableWidget *>("tableWidget")->rowCount(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);
}

void TestMainWindow::toastLooksAsAsked()
{
    WorkFolder folder{QByteArray(sampleMap)};
    MainWindow window;
    window.showToast(nullptr, QStringLiteral("\n串口未打开 !\n"), QStringLiteral("16px"),
                     QStringLiteral("#ffffff"), QStringLiteral("#202020"));
    const QList<QFrame *> frames = toastFrames();
    QCOMPARE(frames.size(), 1);
    QFrame *frame = frames.first();
    auto *label = frame->findChild<QLabel *>();
    QCOMPARE(label->styleSheet(),
             QStringLiteral("QLabel{background:#202020;color:#ffffff;font:16px SimHei;border-radius:5px;}"));
    QCOMPARE(label->alignment(), Qt::AlignCenter);
    QCOMPARE(label->text(), QStringLiteral("\n串口未打开 !\n"));
    QVERIFY(frame->isVisible());
    QCOMPARE(frame->size(), label->size());
    QCOMPARE(label->size(), label->sizeHint() + QSize(120, 120));
    QVERIFY(frame->testAttribute(Qt::WA_TranslucentBackground));

    auto *fade = window.findChild<QPropertyAnimation *>();
    QVERIFY(fade);
    QCOMPARE(fade->targetObject(), frame);
    QCOMPARE(fade->propertyName(), QByteArray("windowOpacity"));
    QCOMPARE(fade->duration(), 2500);
    QCOMPARE(fade->easingCurve().type(), QEasingCurve::InCirc);
    QCOMPARE(fade->state(), QAbstractAnimation::Running);
    QTest::qWait(1250);
    QVERIFY(frame->windowOpacity() > 0.8); // InCirc: about 0.87 at half time
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);
}

void TestMainWindow::toastsFadeIndependentlyAndLeaveNothing()
{
    WorkFolder folder{QByteArray(sampleMap)};
    MainWindow window;
    const auto show = [&window](const QString &text) {
        const QList<QFrame *> before = toastFrames();
        window.showToast(nullptr, text, QStringLiteral("16px"), QStringLiteral("#ffffff"),
                         QStringLiteral("#202020"));
        for (QFrame *frame : toastFrames()) {
            if (!before.contains(frame))
                return QPointer<QFrame>(frame);
        }
        return QPointer<QFrame>();
    };
    QElapsedTimer clock;
    clock.start();
    QPointer<QFrame> first = show(QStringLiteral("first"));
    QTest::qWait(1000);
    QPointer<QFrame> second = show(QStringLiteral("second"));
    QCOMPARE(toastFrames().size(), 2);
    QCOMPARE(toastText(first), QStringLiteral("first"));
    QCOMPARE(toastText(second), QStringLiteral("second"));

    // The animation timer may end a fade up to a frame early: allow 100 ms.
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 5000);
    QVERIFY(clock.elapsed() >= 2400);
    QVERIFY(!second.isNull());
    QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), 5000);
    QVERIFY(clock.elapsed() >= 3400);
    QVERIFY(window.findChildren<QPropertyAnimation *>().isEmpty());
    QVERIFY(toastFrames().isEmpty());
}

// One hexadecimal form in the table, the editor and the compare dialog; a
// row the map left unusable says why; the View menu brings back what was
// closed, and closing changes nothing that is read; backups are proposed
// by driver and time.
void TestMainWindow::detailsReadAtAGlance()
{
    WorkFolder folder{QByteArray(detailsMap)};
    MainWindow window;
    window.resize(1366, 768);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    QCOMPARE(table->rowCount(), 4);
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("0x0BB8"));
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("0x0000"));
    QCOMPARE(table->item(2, 1)->text(), QStringLiteral("0x00013D52"));

    // The bits row as read: its named bits and its value in the same form.
    Inspect::awaitRow(window, 1);
    QByteArray reply = QByteArray::fromHex("0103020005");
    ModbusMaster::instance()->appendCrc(reply);
    Inspect::receive(window, reply);
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("使能|报警 (0x0005)"));

    // The faulty row: no value, no lamp, its problem in the tooltip and in
    // the refusal, and no claim that its address is wrong.
    QCOMPARE(table->item(3, 1)->text(), QStringLiteral("—"));
    QCOMPARE(lampColour(table, 3), QString());
    const QString problem = table->item(3, 1)->toolTip();
    QVERIFY2(problem.contains(QStringLiteral("s33")), qPrintable(problem));
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);
    const QPoint cell = table->visualRect(table->model()->index(3, 1)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    QCOMPARE(toastFrames().size(), 1);
    const QString refusal = toastText(toastFrames().first());
    QVERIFY2(refusal.contains(problem) && !refusal.contains(QStringLiteral("无效")), qPrintable(refusal));
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);

    const QList<RegisterInfo> rows = Inspect::registerList(window);
    ValueEditWin editor;
    auto *hex = editor.findChild<QLineEdit *>("lineEdit_hex");
    editor.showRegister(rows.at(0), 0, 1);
    QCOMPARE(editor.findChild<QLineEdit *>("lineEdit_dec")->text(), QStringLiteral("3000"));
    QCOMPARE(hex->text(), QStringLiteral("0x0BB8"));
    editor.showRegister(rows.at(1), 1, 1);
    QCOMPARE(hex->text(), QStringLiteral("0x0005"));

    CompareDialog dialog;
    const QList<ParameterEntry> entries{{2, 0x0010, 100, "u16", "100", "Run current", "RW", ""},
                                        {3, 0x0000, 1, "u16", "使能 (0x0001)", "Status", "RW", ""}};
    const RowValues driver{{0x0010, 3000}, {0x0000, 5}};
    dialog.showComparison(QStringLiteral("saved.csv"), compareParameters(entries, rows, driver), {});
    dialog.resize(900, 560);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *compared = dialog.findChild<QTableWidget *>("tableWidget_compare");
    for (int column = 0; column < compared->columnCount(); ++column) {
        const QTableWidgetItem *item = compared->item(1, column);
        if (!item || item->text().isEmpty())
            continue;
        QCOMPARE(item->toolTip(), item->text());
        if (column != 2) // the name column takes what the others leave
            QVERIFY2(compared->columnWidth(column) > compared->fontMetrics().horizontalAdvance(item->text()),
                     qPrintable(item->text()));
    }
    QVERIFY(compared->item(1, 4)->text().contains(QStringLiteral("(0x0005)")));
    auto *progress = dialog.findChild<QProgressBar *>("progressBar");
    dialog.showProgress(2, 2);
    dialog.showComparison(QStringLiteral("saved.csv"), compareParameters(entries, rows, driver), {});
    QCOMPARE(progress->value(), 0);

    // Closing the log and the bus panel changes nothing that is read; both
    // come back from the View menu.
    const QList<quint16> refreshed = refreshedAddresses(window);
    QVERIFY(!refreshed.isEmpty());
    auto *log = window.findChild<QWidget *>("textBrowser_show");
    auto *bus = window.findChild<QDockWidget *>("busPanel");
    QAction *logEntry = viewAction(window, QStringLiteral("通讯日志"));
    QVERIFY(logEntry && logEntry->isCheckable() && bus);
    QVERIFY(viewAction(window, QStringLiteral("报警历史…")));
    bus->show();
    QVERIFY(bus->isVisible());
    bus->close();
    logEntry->trigger();
    QVERIFY(!bus->isVisible() && !log->isVisible());
    QCOMPARE(refreshedAddresses(window), refreshed);
    logEntry->trigger();
    QAction *busEntry = viewAction(window, bus->toggleViewAction()->text());
    QCOMPARE(busEntry, bus->toggleViewAction());
    busEntry->trigger();
    QVERIFY(bus->isVisible() && log->isVisible());

    // The same for the trend dock while only the plotted rows are read.
    Inspect::liveMonitor(window).toggleRows({0}, rows);
    window.findChild<QCheckBox *>("checkBox_watchedOnly")->setChecked(true);
    auto *trend = window.findChild<QDockWidget *>("monitorDock");
    QVERIFY(trend && trend->isVisible());
    const QList<quint16> plotted = refreshedAddresses(window);
    QVERIFY(plotted.contains(0x0010));
    trend->close();
    QCOMPARE(refreshedAddresses(window), plotted);
    QAction *trendEntry = viewAction(window, trend->toggleViewAction()->text());
    QCOMPARE(trendEntry, trend->toggleViewAction());
    trendEntry->trigger();
    QVERIFY(trend->isVisible());

    QCOMPARE(datedDriverFileName(3, rows, driver, QDateTime(QDate(2026, 12, 8), QTime(9, 41))),
             QStringLiteral("addr03-20261208-0941.csv"));
}

// Ctrl+K still opens or closes once the button reads otherwise (连接 for the
// network line, 关闭串口 once open, another language).
void TestMainWindow::portKeyOutlastsTheButtonsText()
{
    WorkFolder folder{QByteArray(sampleMap)};
    MainWindow window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto *open = window.findChild<QPushButton *>("pushButton_open");
    const QString serialText = open->text();
    window.findChild<QComboBox *>("comboBox_lineKind")->setCurrentIndex(1);
    QVERIFY(open->text() != serialText);
    QSignalSpy pressed(open, &QPushButton::clicked);
    QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(pressed.count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

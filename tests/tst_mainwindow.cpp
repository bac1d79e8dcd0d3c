#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextBrowser>

#include "support/windowinternals.h"
#include "support/toasts.h"
#include "support/workfolder.h"

using Inspect = MainWindowInspector;

namespace {

const char sampleMap[] =
    "slaveAddress:5,txTime:100,rxOutTime:1000\n"
    "indexes:0x10,permission:RW,defaultValue:0x64,rangeValue:0~1000,name:Run current,remarks:mA\n";

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
    QCOMPARE(window.windowTitle(), QStringLiteral("开闭环步进驱动器-上位机调试软件 v1.0 - RegisterInfo"));
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

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

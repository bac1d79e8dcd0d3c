#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <qwt_text.h>

#include "app/translation.h"
#include "ui/editor/valueeditwin.h"
#include "ui/language/languagemenu.h"
#include "ui/language/corewording.h"
#include "protocol/requestoutcome.h"
#include "registermap/registermap.h"
#include "ui/monitor/monitordock.h"
#include "ui/monitor/trendplot.h"
#include "ui/scan/scandialog.h"
#include "ui/paramsets/comparedialog.h"
#include "paramsets/parametercompare.h"
#include "paramsets/parameterrun.h"
#include "support/temporarysettings.h"
#include "support/windowinternals.h"
#include "support/workfolder.h"

namespace {

const char sampleMap[] =
    "slaveAddress:1,txTime:100,rxOutTime:1000\n"
    "indexes:0x0010,permission:RW,defaultValue:0x64,rangeValue:100~6000,name:运行电流 Run current,remarks:mA\n"
    "indexes:0x0000,permission:R,defaultValue:0x0,rangeValue:0~65535,name:状态字 Status word,remarks:bit0\n";

QStringList menuTitles(QMainWindow &window)
{
    QStringList titles;
    for (const QAction *action : window.menuBar()->actions())
        titles << action->text();
    return titles;
}

QString headerText(const QTableWidget *table, int column)
{
    return table->horizontalHeaderItem(column)->text();
}

// The status bar's port state, set in code rather than by the form.
QString portStateText(QMainWindow &window)
{
    for (const QLabel *label : window.statusBar()->findChildren<QLabel *>()) {
        if (label->text().contains(QStringLiteral("串口状态")) || label->text().contains(QStringLiteral("Port:")))
            return label->text();
    }
    return QString();
}

QString plotValueTitle(MonitorDock *dock)
{
    return dock->findChild<TrendPlot *>()->axisTitle(QwtPlot::yLeft).text();
}

// A line 1 and rows with one fault of each common kind, and two nested.
const char faultyMap[] =
    "slaveAddress:300,txTime:abc,blockRead:0,writeFunction:7,bogus:1\n"
    "indexes:0xZZ,permission:RW,defaultValue:0,rangeValue:0~10,name:A\n"
    "indexes:0x10,permission:RW,defaultValue:0,rangeValue:0~10,name:B\n"
    "indexes:0x10,permission:RW,defaultValue:0,rangeValue:0~10,name:C\n"
    "indexes:0x11,permission:RW,defaultValue:0,rangeValue:abc,name:D\n"
    "foo:1,bar\n"
    "indexes:0x12,permission:RW,defaultValue:0,rangeValue:0~10,name:E,type:u8\n"
    "indexes:0x13,permission:RW,defaultValue:0,rangeValue:0~10,name:F,enum:1=a;1=b\n"
    "indexes:0x14,permission:W,defaultValue:0,rangeValue:0~10,name:G,command:Go=1;Bad,danger:Nope\n"
    "indexes:0x15,permission:RW,defaultValue:0,rangeValue:0~10,name:H,role:boss,scale:-1\n";

const QRegularExpression chinese(QStringLiteral("[\\x{3400}-\\x{9fff}]"));

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void menuSwitchesTheOpenWindowAndIsRemembered();
    void coreTextsAreWordedInTheWindowsLanguage();
    void openComparisonFollowsTheLanguage();
};

// Everything already on screen changes language from the menu, without the
// window losing what it shows; the choice is kept for the next start.
void TestLanguage::menuSwitchesTheOpenWindowAndIsRemembered()
{
    switchLanguage(*qApp, QStringLiteral("zh"));
    WorkFolder folder{QByteArray(sampleMap)};
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    MainWindowInspector::liveMonitor(window).toggleRows({0}, MainWindowInspector::registerList(window));
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    // The editor as a double click opens it on an open port.
    ValueEditWin *editor = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        editor = editor ? editor : qobject_cast<ValueEditWin *>(widget);
    QVERIFY(editor);
    editor->showRegister(MainWindowInspector::registerList(window).at(0), 0, 1);
    auto *editorValue = editor->findChild<QLineEdit *>(QStringLiteral("lineEdit_dec"));
    editorValue->clear();
    QTest::keyClicks(editorValue, QStringLiteral("1234"));
    auto *editorWrite = editor->findChild<QPushButton *>(QStringLiteral("pushButton_Write"));
    window.findChild<QPushButton *>(QStringLiteral("pushButton_scan"))->click();
    auto *scan = window.findChild<ScanDialog *>();
    QVERIFY(scan && scan->isVisible());
    auto *scanParity = scan->findChild<QComboBox *>(QStringLiteral("comboBox_parity"));
    auto *openMap = window.findChild<QPushButton *>(QStringLiteral("pushButton_openMap"));
    auto *dock = window.findChild<MonitorDock *>();
    auto *languages = window.findChild<LanguageMenu *>();
    QVERIFY(dock && languages);

    const QString valueBefore = table->item(0, 1)->text();
    const QString typedValue = editorValue->text();
    QCOMPARE(typedValue, QStringLiteral("1234"));
    const auto showsChinese = [&] {
        QVERIFY(menuTitles(window).startsWith({QStringLiteral("视图(&V)")}));
        QVERIFY(menuTitles(window).contains(QStringLiteral("帮助(&H)")));
        QCOMPARE(openMap->text(), QStringLiteral("打开映射"));
        QCOMPARE(headerText(table, 4), QStringLiteral("名称"));
        QCOMPARE(portStateText(window), QStringLiteral("  串口状态 : 未连接    "));
        QCOMPARE(dock->windowTitle(), QStringLiteral("趋势图"));
        QCOMPARE(plotValueTitle(dock), QStringLiteral("值"));
        QCOMPARE(editorWrite->text(), QStringLiteral("写入"));
        QCOMPARE(scan->windowTitle(), QStringLiteral("扫描总线"));
        QCOMPARE(scanParity->itemText(0), QStringLiteral("无校验"));
        QVERIFY(window.windowTitle().startsWith(QStringLiteral("开闭环步进驱动器")));
        QVERIFY(languages->findChild<QAction *>(QStringLiteral("language_zh"))->isChecked());
    };
    showsChinese();

    languages->findChild<QAction *>(QStringLiteral("language_en"))->trigger();
    QTRY_COMPARE(portStateText(window), QStringLiteral("  Port: not connected    "));
    QCOMPARE(menuTitles(window).first(), QStringLiteral("&View"));
    QVERIFY(menuTitles(window).contains(QStringLiteral("&Help")));
    QCOMPARE(openMap->text(), QStringLiteral("Open map"));
    QCOMPARE(headerText(table, 4), QStringLiteral("Name"));
    QCOMPARE(dock->windowTitle(), QStringLiteral("Trend plot"));
    QCOMPARE(plotValueTitle(dock), QStringLiteral("Value"));
    QCOMPARE(editorWrite->text(), QStringLiteral("Write"));
    QCOMPARE(scan->windowTitle(), QStringLiteral("Scan the bus"));
    QCOMPARE(scanParity->itemText(0), QStringLiteral("None"));
    // The title still names the map; the table, the editor and the curve stay.
    QCOMPARE(window.windowTitle(), QStringLiteral("Open/Closed-Loop Stepper Driver - Debugging Tool v" STEPPERTOOL_VERSION " - RegisterInfo"));
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 1)->text(), valueBefore);
    QVERIFY(editor->isVisible());
    QCOMPARE(editorValue->text(), typedValue);
    QCOMPARE(MainWindowInspector::liveMonitor(window).watchedRows(), QList<int>{0});
    QVERIFY(languages->findChild<QAction *>(QStringLiteral("language_en"))->isChecked());
    QCOMPARE(rememberedLanguage(), QStringLiteral("en"));

    languages->findChild<QAction *>(QStringLiteral("language_zh"))->trigger();
    QTRY_COMPARE(portStateText(window), QStringLiteral("  串口状态 : 未连接    "));
    showsChinese();
    QCOMPARE(QSettings().value(QStringLiteral("window/language")).toString(), QStringLiteral("zh"));
    // The next start takes it, unless --lang says otherwise.
    QCOMPARE(startLanguage(QString()), QStringLiteral("zh"));
    QCOMPARE(startLanguage(QStringLiteral("en")), QStringLiteral("en"));
}

// The core's English, which the command line prints, becomes the window's
// wording; values and nested faults keep their place.
void TestLanguage::coreTextsAreWordedInTheWindowsLanguage()
{
    switchLanguage(*qApp, QStringLiteral("zh"));
    WorkFolder folder{QByteArray(faultyMap)};
    RegisterMap map;
    loadRegisterMap(QStringLiteral("RegisterInfo"), &map);
    QVERIFY(map.problems.size() >= 12);
    for (const QString &problem : qAsConst(map.problems)) {
        const QString worded = wordMapProblem(problem);
        QVERIFY2(worded != problem && worded.contains(chinese), qPrintable(problem));
        QVERIFY2(!worded.contains(QLatin1String("line ")) && !worded.contains(QLatin1String(" is ")),
                 qPrintable(worded));
    }
    QCOMPARE(wordMapProblem(QStringLiteral("line 4: address 0x10 is already on line 3; values written there are "
                                           "checked against both lines")),
             QStringLiteral("第 4 行：地址 0x10 已在第 3 行；写入该地址的值按两行检查"));
    QCOMPARE(wordMapProblem(QStringLiteral("line 9: enum \"1=a;1=b\" is malformed: 1 is named twice; the row is "
                                           "neither read nor written")),
             QStringLiteral("第 9 行：enum“1=a;1=b”格式有误：1 被命名了两次；此行不读不写"));
    QCOMPARE(wordMapProblem(QStringLiteral("line 7 skipped: no register (five fields or more, one of them name); "
                                           "unknown key 'foo' (did you mean 'role'?)")),
             QStringLiteral("第 7 行已跳过：不是寄存器（须有五个或更多字段，其中一个为 name）；未知的键“foo”（是否应为“role”？）"));
    // What is no known problem is shown as it came.
    QCOMPARE(wordMapProblem(QStringLiteral("a; %1 b")), QStringLiteral("a; %1 b"));
    // So is a problem quoting megabytes of a hostile map, rather than
    // holding the window while it is matched.
    const QString huge = QStringLiteral("line 2: range \"%1\" is no min~max of two whole numbers, the first not above "
                                        "the second; no range is checked").arg(QString(1000000, QLatin1Char(';')));
    QCOMPARE(wordMapProblem(huge), huge);
    // Why a command or a write came to nothing, told in a notice.
    QCOMPARE(wordRequestReason(exceptionText(2)), QStringLiteral("Modbus 异常 02：非法数据地址"));
    QCOMPARE(wordRequestReason(QStringLiteral("echoed; read back: no answer")), QStringLiteral("已回显；读回：无应答"));
    RequestOutcome held;
    held.heldForDoubt = true;
    QCOMPARE(wordRequestReason(held.reason()), QStringLiteral("已暂缓发送：此前收到了不属于任何请求的应答"));

    // The window's log words them so.
    MainWindow window;
    const QString log = MainWindowInspector::trafficLog(window).plainText();
    QVERIFY2(log.contains(QStringLiteral("RegisterInfo 第 4 行：地址 0x10 已在第 3 行")), qPrintable(log));
    QVERIFY(!log.contains(QLatin1String("is already on line")));
}

// An open comparison rewords its states and identity lines; a state that a
// write reported keeps its words, as the run's summary does.
void TestLanguage::openComparisonFollowsTheLanguage()
{
    switchLanguage(*qApp, QStringLiteral("zh"));
    WorkFolder folder{QByteArray(sampleMap)};
    RegisterMap map;
    loadRegisterMap(QStringLiteral("RegisterInfo"), &map);
    const QList<ParameterEntry> entries{{2, 0x0010, 100, "u16", "100", "Run current", "RW", ""},
                                        {3, 0x0000, 5, "u16", "5", "Status", "R", ""}};
    const RowValues driver{{0x0010, 3000}, {0x0000, 5}};
    CompareDialog dialog;
    dialog.showComparison(QStringLiteral("saved.csv"), compareParameters(entries, map.registers, driver), {});
    IdentityCheck identity;
    identity.fileText = QStringLiteral("0x2304");
    identity.driverText = QStringLiteral("0x2304");
    dialog.showIdentity(identity);
    auto *table = dialog.findChild<QTableWidget *>(QStringLiteral("tableWidget_compare"));
    const int stateColumn = table->columnCount() - 1;
    QCOMPARE(table->item(1, stateColumn)->text(), QStringLiteral("相同"));
    dialog.showOutcome(entries.at(0), WriteResult::Confirmed, QString());
    QCOMPARE(table->item(0, stateColumn)->text(), QStringLiteral("已写入"));

    switchLanguage(*qApp, QStringLiteral("en"));
    QTRY_COMPARE(table->item(1, stateColumn)->text(), QStringLiteral("same"));
    QCOMPARE(table->item(0, stateColumn)->text(), QStringLiteral("已写入"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label_fileIdentity"))->text(), QStringLiteral("File: 0x2304"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label_driverIdentity"))->text(),
             QStringLiteral("Driver: 0x2304"));
    switchLanguage(*qApp, QStringLiteral("zh"));
}

QTEST_MAIN_WITH_TEMPORARY_SETTINGS(TestLanguage)
#include "tst_language.moc"

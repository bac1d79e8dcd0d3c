#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QScreen>
#include <QSettings>
#include <QTableWidget>
#include <QTextCodec>

#include "app/settings.h"
#include "cli/startoptions.h"
#include "serial/serial.h"
#include "support/logview.h"
#include "support/ptypair.h"
#include "support/simulator.h"
#include "support/temporarysettings.h"
#include "support/toolprocess.h"
#include "support/toasts.h"
#include "support/windowinternals.h"
#include "support/workfolder.h"

using Inspect = MainWindowInspector;

namespace {

const QByteArray firstMap(
    "slaveAddress:3,txTime:20,rxOutTime:100\n"
    "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:100~6000,name:Run current,remarks:mA\n"
    "indexes:0x0012,permission:RW,defaultValue:0x0010,rangeValue:1~256,name:Microsteps,remarks:\n");

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool toastSays(const QString &text)
{
    for (QFrame *frame : toastFrames()) {
        if (toastText(frame).contains(text))
            return true;
    }
    return false;
}

void closeToasts()
{
    for (QFrame *frame : toastFrames())
        delete frame;
}

} // namespace

// How the window connects: remembered settings, start options, the reason
// a port will not open, and maps loaded while it runs.
class TestConnection : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void settingsSurviveARestart();
    void startOptionsOpenThePortAndLoadTheirMap();
    void portThatWillNotOpenSaysWhy();
    void anotherMapReplacesTheTableAndABadOneLeavesIt();
    void gb18030MapReadsItsChineseNames();
    void misspeltMapKeyReachesNoDriverNorBackup();

private:
    template<typename T> T *child(MainWindow &window, const char *name) { return window.findChild<T *>(name); }

    WorkFolder *folder = nullptr;
};

void TestConnection::init()
{
    folder = new WorkFolder(firstMap);
}

void TestConnection::cleanup()
{
    Serial::instance()->serialPort->close();
    closeToasts();
    delete folder;
}

void TestConnection::settingsSurviveARestart()
{
    QVERIFY(QSettings().fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
    QSize remembered;
    {
        MainWindow window;
        window.show();
        child<QComboBox>(window, "comboBox_port")->setCurrentText(QStringLiteral("/dev/ttyUSB9"));
        child<QComboBox>(window, "comboBox_buad")->setCurrentText(QStringLiteral("19200"));
        child<QComboBox>(window, "comboBox_parity")->setCurrentIndex(2);
        child<QComboBox>(window, "comboBox_stopBits")->setCurrentIndex(1);
        child<QCheckBox>(window, "checkBox_2")->setChecked(false);
        child<QCheckBox>(window, "checkBox")->setChecked(true);
        child<QLineEdit>(window, "lineEdit_deviceAddr")->setText(QStringLiteral("9"));
        // A size the test screen holds, as far as the window's least width
        // allows.
        window.resize(window.minimumSizeHint().width(), window.minimumSizeHint().height() + 77);
        remembered = window.size();
        rememberFolder(QStringLiteral("export"), folder->path() + QStringLiteral("/log.txt"));
        window.close();
    }
    MainWindow window;
    window.show();
    // The port no longer exists and is shown all the same, nothing opened.
    QCOMPARE(child<QComboBox>(window, "comboBox_port")->currentText(), QStringLiteral("/dev/ttyUSB9"));
    QVERIFY(!Serial::instance()->serialPort->isOpen());
    QCOMPARE(child<QComboBox>(window, "comboBox_buad")->currentText(), QStringLiteral("19200"));
    QCOMPARE(child<QComboBox>(window, "comboBox_parity")->currentData().toInt(), int(QSerialPort::OddParity));
    QCOMPARE(child<QComboBox>(window, "comboBox_stopBits")->currentData().toInt(), int(QSerialPort::TwoStop));
    QVERIFY(!child<QCheckBox>(window, "checkBox_2")->isChecked());
    QVERIFY(child<QCheckBox>(window, "checkBox")->isChecked());
    QCOMPARE(window.size(), remembered);
    QCOMPARE(lastFolder(QStringLiteral("export")), folder->path());
    // The device address comes from the map.
    QCOMPARE(child<QLineEdit>(window, "lineEdit_deviceAddr")->text(), QStringLiteral("3"));

    // Parity is kept whatever the language; what earlier versions kept, the
    // shown text in either language, is still read.
    QCOMPARE(QSettings().value(QStringLiteral("line/parity")).toString(), QStringLiteral("odd"));
    for (const QString &legacy : {QStringLiteral("偶校验"), QStringLiteral("Even")}) {
        QSettings().setValue(QStringLiteral("line/parity"), legacy);
        MainWindow reopened;
        QCOMPARE(child<QComboBox>(reopened, "comboBox_parity")->currentData().toInt(), int(QSerialPort::EvenParity));
    }
    // Showing the plot once made the window taller than the screen, and that
    // was remembered: it opens inside the screen all the same.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    window.setGeometry(available.left() + 40, available.bottom() - 100, window.width(), available.height() + 145);
    window.close();
    MainWindow grown;
    QVERIFY(grown.geometry().top() >= available.top() && grown.geometry().left() >= available.left());
    QVERIFY2(grown.geometry().bottom() <= available.bottom(), qPrintable(QStringLiteral("%1").arg(grown.geometry().bottom())));
    QSettings().clear();
}

void TestConnection::startOptionsOpenThePortAndLoadTheirMap()
{
    const QString secondMap = folder->path() + QStringLiteral("/Drive42.map");
    QVERIFY(writeFile(secondMap, "slaveAddress:1,txTime:20,rxOutTime:200\n"
                                 "indexes:0x0012,permission:RW,defaultValue:0x0000,rangeValue:1~256,name:Microsteps,remarks:\n"));
    Simulator simulator;
    QVERIFY(simulator.start(folder->path() + QStringLiteral("/RegisterInfo"), {QStringLiteral("--address"), QStringLiteral("5")}));
    MainWindow window;
    window.show();
    StartOptions options;
    options.port = simulator.devicePath();
    options.baud = 19200;
    options.parity = QSerialPort::EvenParity;
    options.stopBits = QSerialPort::TwoStop;
    options.address = 5;
    options.mapFile = secondMap;
    options.open = true;
    window.applyStartOptions(options);
    QTRY_VERIFY(Serial::instance()->serialPort->isOpen());
    QCOMPARE(child<QComboBox>(window, "comboBox_parity")->currentData().toInt(), int(QSerialPort::EvenParity));
    QCOMPARE(Serial::instance()->serialPort->baudRate(), 19200);
    // A pseudo-terminal keeps no parity; its stop bits show the framing was applied.
    QCOMPARE(Serial::instance()->serialPort->stopBits(), QSerialPort::TwoStop);
    QVERIFY(window.windowTitle().endsWith(QStringLiteral(" - Drive42.map")));
    // The driver's value (its map says 16) replaces the second map's default.
    auto *table = child<QTableWidget>(window, "tableWidget");
    QCOMPARE(table->rowCount(), 1);
    QTRY_COMPARE(table->item(0, 1)->text(), QStringLiteral("16"));
}

void TestConnection::portThatWillNotOpenSaysWhy()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QLineEdit *portField = child<QComboBox>(window, "comboBox_port")->lineEdit();
    for (const QString &path : {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/pts/10")})
        QVERIFY(portField->fontMetrics().horizontalAdvance(path) < portField->width());
    child<QComboBox>(window, "comboBox_port")->setCurrentText(QStringLiteral("/dev/no-such-adapter"));
    QTest::mouseClick(child<QPushButton>(window, "pushButton_open"), Qt::LeftButton);
    QVERIFY(!Serial::instance()->serialPort->isOpen());
    QVERIFY(!Serial::instance()->openError().isEmpty());
    QVERIFY(toastSays(QStringLiteral("打开失败")));
    QVERIFY(toastSays(Serial::instance()->openError()));
}

void TestConnection::anotherMapReplacesTheTableAndABadOneLeavesIt()
{
    const QString secondMap = folder->path() + QStringLiteral("/Second");
    QVERIFY(writeFile(secondMap, "slaveAddress:4,txTime:30,rxOutTime:250\n"
                                 "indexes:0x0001,permission:R,defaultValue:0x0001,rangeValue:0~9,name:A,remarks:\n"
                                 "not a register\n"
                                 "indexes:0x0002,permission:R,defaultValue:0x0002,rangeValue:0~9,name:B,remarks:\n"
                                 "indexes:0x0003,permission:R,defaultValue:0x0003,rangeValue:0~9,name:C,remarks:\n"));
    PtyPair line;
    MainWindow window;
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("开闭环步进驱动器-上位机调试软件 v" STEPPERTOOL_VERSION " - RegisterInfo"));
    QVERIFY(line.start());
    child<QComboBox>(window, "comboBox_port")->setCurrentText(line.appSide());
    QTest::mouseClick(child<QPushButton>(window, "pushButton_open"), Qt::LeftButton);
    QVERIFY(Serial::instance()->serialPort->isOpen());

    QVERIFY(window.loadRegisterMap(secondMap));
    QVERIFY(!Serial::instance()->serialPort->isOpen());
    QCOMPARE(Inspect::registerList(window).size(), 3);
    QCOMPARE(Inspect::registerList(window).at(2).name, QStringLiteral("C"));
    QCOMPARE(child<QTableWidget>(window, "tableWidget")->rowCount(), 3);
    QCOMPARE(child<QLineEdit>(window, "lineEdit_deviceAddr")->text(), QStringLiteral("4"));
    QCOMPARE(Inspect::scheduler(window).txTime(), 30);
    QCOMPARE(Inspect::scheduler(window).rxOutTime(), quint32(250));
    QCOMPARE(window.windowTitle(), QStringLiteral("开闭环步进驱动器-上位机调试软件 v" STEPPERTOOL_VERSION " - Second"));
    // The skipped line: one notice, one log line naming it.
    QVERIFY(toastSays(QStringLiteral("1 行无法识别")));
    const QList<LogLine> lines = logLines(window);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().text.contains(QStringLiteral("第 3 行已跳过")), qPrintable(lines.first().text));

    closeToasts();
    QVERIFY(!window.loadRegisterMap(folder->path() + QStringLiteral("/missing")));
    QVERIFY(toastSays(QStringLiteral("文件读取失败")));
    QCOMPARE(Inspect::registerList(window).size(), 3);
    QCOMPARE(Inspect::scheduler(window).txTime(), 30);
    QVERIFY(window.windowTitle().endsWith(QStringLiteral(" - Second")));
}

// A map as drive makers write it, in GBK, and the same text as UTF-8.
void TestConnection::gb18030MapReadsItsChineseNames()
{
    const QString text = QStringLiteral(
        "slaveAddress:1,txTime:20,rxOutTime:100\n"
        "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:100~6000,name:运行电流,remarks:毫安\n");
    const QString gbkMap = folder->path() + QStringLiteral("/gbk");
    const QString utf8Map = folder->path() + QStringLiteral("/utf8");
    QVERIFY(writeFile(gbkMap, QTextCodec::codecForName("GB18030")->fromUnicode(text)));
    QVERIFY(writeFile(utf8Map, text.toUtf8()));
    MainWindow window;
    for (const QString &map : {gbkMap, utf8Map}) {
        QVERIFY(window.loadRegisterMap(map));
        QCOMPARE(Inspect::registerList(window).size(), 1);
        QCOMPARE(Inspect::registerList(window).first().name, QStringLiteral("运行电流"));
        QCOMPARE(Inspect::registerList(window).first().remarks, QStringLiteral("毫安"));
    }
}

// "Type:s32" would read one word of a 32-bit value: the window and the
// command line both name the line, and neither reads nor saves the row.
void TestConnection::misspeltMapKeyReachesNoDriverNorBackup()
{
    const QString faultyMap = folder->path() + QStringLiteral("/Faulty");
    QVERIFY(writeFile(faultyMap, QByteArray(firstMap).replace("remarks:mA", "remarks:mA,Type:s32")));
    const QString problem = QStringLiteral("line 2: unknown key 'Type' (did you mean 'type'?)");

    MainWindow window;
    QVERIFY(window.loadRegisterMap(faultyMap));
    QVERIFY(toastSays(QStringLiteral("1 行有无法识别的键")));
    const QList<LogLine> lines = logLines(window);
    QCOMPARE(lines.size(), 1);
    // The window words it in its language, the command line in English.
    QVERIFY2(lines.first().text.contains(QStringLiteral("第 2 行：未知的键“Type”（是否应为“type”？）")),
             qPrintable(lines.first().text));
    Inspect::clickDataRefresh(window);
    QCOMPARE(Inspect::cmdQueue(window).size(), 1);
    QCOMPARE(Inspect::cmdQueue(window).first().address, quint16(0x12));

    Simulator simulator;
    QVERIFY(simulator.start(folder->path() + QStringLiteral("/RegisterInfo"), {QStringLiteral("--address"), QStringLiteral("3")}));
    const QString saved = folder->path() + QStringLiteral("/saved.csv");
    const ToolRun run = runTool(folder->path(), {QStringLiteral("--port"), simulator.devicePath(), QStringLiteral("--map"),
                                                 faultyMap, QStringLiteral("--backup"), saved});
    QVERIFY2(run.err.contains(problem), qPrintable(run.err));
    // The backup lacks a row: it is no whole backup.
    QCOMPARE(run.status, 3);
    QVERIFY2(run.err.contains(QStringLiteral("Run current unread: its map line has a problem")), qPrintable(run.err));
    QFile backup(saved);
    QVERIFY(backup.open(QIODevice::ReadOnly));
    // The header names the row as missing; no value line holds it.
    const QString savedText = QString::fromUtf8(backup.readAll());
    const QString values = savedText.section(QStringLiteral("\naddress,"), 1);
    QVERIFY2(savedText.contains(QStringLiteral("# partial backup; unread, not saved: 0x0010 Run current")),
             qPrintable(savedText));
    QVERIFY2(values.contains(QStringLiteral("Microsteps")) && !values.contains(QStringLiteral("Run current")),
             qPrintable(savedText));
}

QTEST_MAIN_WITH_TEMPORARY_SETTINGS(TestConnection)
#include "tst_connection.moc"

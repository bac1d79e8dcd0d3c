#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSerialPort>
#include <QTextBrowser>

#include "protocol/requestscheduler.h"
#include "scan/scancommand.h"
#include "ui/scan/scandialog.h"
#include "scan/scanrun.h"
#include "serial/serial.h"
#include "support/simulator.h"
#include "support/temporarysettings.h"
#include "support/toolprocess.h"
#include "support/windowinternals.h"
#include "support/workfolder.h"

namespace {

const QByteArray driverMap(
    "slaveAddress:1,txTime:20,rxOutTime:100\n"
    "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:100~6000,name:Run current,remarks:mA\n"
    "indexes:0x0012,permission:RW,defaultValue:0x0010,rangeValue:1~256,name:Microsteps,remarks:\n");

ScanRequest narrowScan(const QString &port, const QString &addresses)
{
    ScanRequest request;
    request.port = port;
    request.bauds = {9600};
    parseAddresses(addresses, request);
    request.registerAddress = 0x10;
    return request;
}

} // namespace

// The bus scan against tools/simdriver answering at address 7 only.
class TestScan : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void commandFindsTheDriverAndNothingElse();
    void optionValuesAreCheckedBeforeAnyScan();
    void commandLineExitStatuses();
    void dialogScanPausesPollingAndFillsThePanel();

private:
    WorkFolder *folder = nullptr;
    Simulator *simulator = nullptr;
};

void TestScan::init()
{
    folder = new WorkFolder(driverMap);
    simulator = new Simulator;
    QVERIFY(simulator->start(folder->path() + QStringLiteral("/RegisterInfo"),
                             {QStringLiteral("--address"), QStringLiteral("7")}));
}

void TestScan::cleanup()
{
    Serial::instance()->serialPort->close();
    delete simulator;
    delete folder;
}

// The real command line without a display: 0 and the hit when the driver
// answers, 2 when nothing does, 3 when replies came that no request asked
// for, 1 for a value it does not take.
void TestScan::commandLineExitStatuses()
{
    const QStringList scan = {QStringLiteral("--port"), simulator->devicePath(), QStringLiteral("--scan"),
                              QStringLiteral("--bauds"), QStringLiteral("9600")};
    const ToolRun found = runTool(folder->path(), scan + QStringList{QStringLiteral("--addresses"), QStringLiteral("5-9")});
    QCOMPARE(found.status, 0);
    QCOMPARE(found.out.split(QLatin1Char('\n')).filter(QStringLiteral("found:")),
             QStringList{QStringLiteral("found: address 7, 9600 baud")});
    QTRY_VERIFY(simulator->log().contains(QStringLiteral("read 0x0010")));  // the map's first register
    QCOMPARE(runTool(folder->path(), scan + QStringList{QStringLiteral("--addresses"), QStringLiteral("1-3")}).status, 2);

    // At 1200 baud a request and its reply take over 120 ms on the wire: the
    // default 50 ms timeout counts from when the request has left.
    Simulator paced;
    QVERIFY(paced.start(folder->path() + QStringLiteral("/RegisterInfo"),
                        {"--address", "2", "--pace", "--baud", "1200"}));
    const ToolRun slow = runTool(folder->path(), {"--port", paced.devicePath(), "--scan", "--bauds", "1200",
                                                  "--addresses", "1-3"});
    QCOMPARE(slow.status, 0);
    QVERIFY2(slow.out.contains(QStringLiteral("found: address 2, 1200 baud")), qPrintable(slow.out));
    // A reply that comes again while the next address is asked: the hit
    // stands, but the scan does not claim the list is whole.
    Simulator twice;
    QVERIFY(twice.start(folder->path() + QStringLiteral("/RegisterInfo"), {"--address", "2", "--repeat-reply", "5"}));
    const ToolRun doubtful = runTool(folder->path(), {"--port", twice.devicePath(), "--scan", "--bauds", "9600",
                                                      "--addresses", "1-3"});
    QCOMPARE(doubtful.status, 3);
    QVERIFY2(doubtful.out.contains(QStringLiteral("found: address 2, 9600 baud")), qPrintable(doubtful.out));
    QVERIFY2(doubtful.err.contains(QStringLiteral("came that no request asked for (the first from address 2)")),
             qPrintable(doubtful.err));
    const ToolRun refused = runTool(folder->path(), scan + QStringList{QStringLiteral("--scan-timeout"), QStringLiteral("x")});
    QCOMPARE(refused.status, 1);
    QVERIFY(refused.err.contains(QStringLiteral("--scan-timeout")));
}

void TestScan::commandFindsTheDriverAndNothingElse()
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    QCOMPARE(runScanCommand(narrowScan(simulator->devicePath(), QStringLiteral("5-9")), outStream, errStream), 0);
    const QStringList found = out.split(QLatin1Char('\n')).filter(QStringLiteral("found:"));
    QCOMPARE(found, QStringList{QStringLiteral("found: address 7, 9600 baud")});
    QVERIFY2(out.contains(QStringLiteral("1 found")), qPrintable(out));
    QVERIFY(!Serial::instance()->serialPort->isOpen());
    // Every address was asked once, the driver's read reached it.
    QCOMPARE(simulator->log().count(QStringLiteral("simdriver: read ")), 1);

    out.clear();
    QCOMPARE(runScanCommand(narrowScan(simulator->devicePath(), QStringLiteral("1-3")), outStream, errStream), 2);
    QVERIFY(!out.contains(QStringLiteral("found: address")));
    QVERIFY(err.isEmpty());

    // A port that will not open is exit 2, as in every other run.
    QCOMPARE(runScanCommand(narrowScan(QStringLiteral("/dev/no-such-port"), QStringLiteral("7")), outStream,
                            errStream), 2);
    QVERIFY2(err.contains(QStringLiteral("/dev/no-such-port")), qPrintable(err));

    // A driver that refuses the register is there all the same; one that
    // answers as another address is not the one asked.
    const QString map = folder->path() + QStringLiteral("/RegisterInfo");
    for (const QStringList &options : {QStringList{"--exception", "2"}, QStringList{"--reply-address", "8"}}) {
        Simulator refusing;
        QVERIFY(refusing.start(map, QStringList{"--address", "7"} + options));
        out.clear();
        const int expected = options.first() == QLatin1String("--exception") ? 0 : 2;
        QCOMPARE(runScanCommand(narrowScan(refusing.devicePath(), QStringLiteral("7-8")), outStream, errStream),
                 expected);
        QCOMPARE(out.contains(QStringLiteral("found: address 7, 9600 baud")), expected == 0);
    }
}

void TestScan::optionValuesAreCheckedBeforeAnyScan()
{
    ScanRequest request;
    QVERIFY(parseBauds(QStringLiteral("9600,19200,9600"), request).isEmpty());
    QCOMPARE(request.bauds, (QList<qint64>{9600, 19200}));
    QVERIFY(parseAddresses(QStringLiteral("3-12"), request).isEmpty());
    QCOMPARE(request.firstAddress, 3);
    QCOMPARE(request.lastAddress, 12);
    QVERIFY(parseScanTimeout(QStringLiteral("80"), request).isEmpty());
    QCOMPARE(request.timeoutMs, 80);

    for (const QString &bad : {"9601", "9600,", "fast", ""})
        QVERIFY2(!parseBauds(bad, request).isEmpty(), qPrintable(bad));
    for (const QString &bad : {"0-5", "9-3", "1-248", "1-2-3", "a-b", ""})
        QVERIFY2(!parseAddresses(bad, request).isEmpty(), qPrintable(bad));
    for (const QString &bad : {"0", "-5", "10001", "1.5"})
        QVERIFY2(!parseScanTimeout(bad, request).isEmpty(), qPrintable(bad));
    // A rejected value leaves the request as it was.
    QCOMPARE(request.bauds, (QList<qint64>{9600, 19200}));
    QCOMPARE(request.firstAddress, 3);
    QCOMPARE(request.timeoutMs, 80);
}

// With the port open, the scan pauses polling, finds the driver, and hands
// the line back open with the map's timing; 使用 fills the panel.
void TestScan::dialogScanPausesPollingAndFillsThePanel()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QComboBox *>("comboBox_port")->setCurrentText(simulator->devicePath());
    window.findChild<QComboBox *>("comboBox_buad")->setCurrentText(QStringLiteral("4800"));
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(Serial::instance()->serialPort->isOpen());

    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_scan"), Qt::LeftButton);
    auto *dialog = window.findChild<ScanDialog *>();
    QVERIFY(dialog);
    QCOMPARE(dialog->request().port, simulator->devicePath());
    QCOMPARE(dialog->request().bauds, ScanRequest::offeredBauds());
    QCOMPARE(dialog->request().registerAddress, quint16(0x10));
    QCOMPARE(dialog->request().timeoutMs, 50);
    RequestScheduler &scheduler = MainWindowInspector::scheduler(window);
    const quint64 requestsBefore = scheduler.statistics().requests;
    const quint64 timeoutsBefore = scheduler.statistics().timeouts;
    // Cancel stops a scan at once and leaves the dialog open.
    QTest::mouseClick(dialog->findChild<QPushButton *>("pushButton_start"), Qt::LeftButton);
    QVERIFY(dialog->run()->isRunning());
    QTest::mouseClick(dialog->findChild<QPushButton *>("pushButton_cancel"), Qt::LeftButton);
    QVERIFY(!dialog->run()->isRunning());
    QVERIFY(dialog->isVisible());
    QCOMPARE(scheduler.rxOutTime(), quint32(100));
    QCOMPARE(Serial::instance()->serialPort->baudRate(), 4800);

    dialog->setRequest(narrowScan(simulator->devicePath(), QStringLiteral("6-8")));
    QTest::mouseClick(dialog->findChild<QPushButton *>("pushButton_start"), Qt::LeftButton);
    QVERIFY(dialog->run()->isRunning());
    QVERIFY(!scheduler.isRunning()); // the window's polling pauses
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->run()->isRunning(), 10000);

    QCOMPARE(scheduler.txTime(), 20);
    QCOMPARE(scheduler.rxOutTime(), quint32(100));
    QVERIFY(scheduler.isRunning());
    QVERIFY(Serial::instance()->serialPort->isOpen());
    QCOMPARE(Serial::instance()->serialPort->baudRate(), 4800);
    // What was found, then the summary; the button closes again.
    auto *found = dialog->findChild<QListWidget *>("listWidget_found");
    QCOMPARE(found->count(), 2);
    QVERIFY2(found->item(1)->text().startsWith(QStringLiteral("扫描完成。")), qPrintable(found->item(1)->text()));
    QCOMPARE(dialog->findChild<QPushButton *>("pushButton_cancel")->text(), QStringLiteral("关闭"));
    // The window's counts are its own; the log has one line per baud rate.
    QCOMPARE(scheduler.statistics().requests, requestsBefore);
    QCOMPARE(scheduler.statistics().timeouts, timeoutsBefore);
    const QStringList logged = window.findChild<QTextBrowser *>("textBrowser_show")->toPlainText().split('\n');
    QCOMPARE(logged.filter(QStringLiteral("Data receiving timeout!")).size(), int(timeoutsBefore));
    QCOMPARE(logged.filter(QStringLiteral("Scan at 9600 baud: 3 addresses asked, 1 answered")).size(), 1);

    // The panel and the line agree: the port opens again at what was found.
    QTest::mouseClick(dialog->findChild<QPushButton *>("pushButton_use"), Qt::LeftButton);
    QCOMPARE(window.findChild<QComboBox *>("comboBox_buad")->currentText(), QStringLiteral("9600"));
    QCOMPARE(window.findChild<QLineEdit *>("lineEdit_deviceAddr")->text(), QStringLiteral("7"));
    QVERIFY(Serial::instance()->serialPort->isOpen());
    QCOMPARE(Serial::instance()->serialPort->baudRate(), 9600);
    QTRY_VERIFY(!window.findChild<ScanDialog *>());
}

QTEST_MAIN_WITH_TEMPORARY_SETTINGS(TestScan)
#include "tst_scan.moc"

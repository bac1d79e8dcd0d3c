#include <QtTest>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPort>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QAction>

#include "support/refreshwait.h"
#include "support/simulator.h"
#include "support/toolprocess.h"
#include "support/workfolder.h"
#include "paramsets/busparameterrun.h"
#include "protocol/requestscheduler.h"
#include "registermap/registermap.h"
#include "serial/serial.h"
#include "ui/alarm/alarmbanner.h"
#include "ui/bus/buspanel.h"
#include "ui/mainwindow.h"
#include "ui/paramsets/busbatchdialog.h"
#include "ui/paramsets/comparedialog.h"

// Several drivers of one bus, served by one simulator on one line.
class TestBus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void commandLineWorksDriverByDriver();
    void oneDriverRefusedLeavesTheOthers();
    void absentAddressesAreAskedTwiceAndPassed();
    void windowFollowsTheChosenDriver();
    void windowWorksOverSelectedDrivers();
    void panelWatchesAlarmsPastARefusedModel();
    void switchMidRefreshShowsNoOtherDriver();

private:
    QTemporaryDir home;
};

void TestBus::initTestCase()
{
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
}

// The line is one for the whole program: a window's test leaves it closed
// for the next.
void TestBus::cleanup()
{
    Serial::instance()->serialPort->close();
}

// Each driver's values land in its own file, named by its address, model
// and serial; one file cloned to all of them is written to each in turn,
// and a driver that refuses a write fails alone, with every driver's undo.
void TestBus::commandLineWorksDriverByDriver()
{
    QTemporaryDir work;
    QVERIFY(QFile::copy(QStringLiteral(SAMPLE_MAP), work.filePath(QStringLiteral("RegisterInfo"))));
    Simulator simulator;
    QVERIFY(simulator.start(work.filePath(QStringLiteral("RegisterInfo")),
                            {"--address", "1-3", "--set", "2:0x0010=1500", "--set", "3:0x0042=7", "--refuse-write",
                             "2:0x0011"}));
    const QString port = simulator.devicePath();
    ToolRun run = runTool(work.path(), {"--port", port, "--address", "1-3", "--backup", "machine/"});
    QCOMPARE(run.status, 0);
    const QDir machine(work.filePath(QStringLiteral("machine")));
    QCOMPARE(machine.entryList(QDir::Files),
             (QStringList{"addr01-m2304-s81234.csv", "addr02-m2304-s81234.csv", "addr03-m2304-s474450.csv"}));
    QFile second(machine.filePath(QStringLiteral("addr02-m2304-s81234.csv")));
    QVERIFY(second.open(QIODevice::ReadOnly));
    const QByteArray secondText = second.readAll();
    QVERIFY2(secondText.contains("\n0x0010,1500,") && secondText.contains("\n0x0011,50,"), secondText.constData());
    QFile first(machine.filePath(QStringLiteral("addr01-m2304-s81234.csv")));
    QVERIFY(first.open(QIODevice::ReadOnly));
    QVERIFY(first.readAll().contains("\n0x0010,3000,"));

    // Driver 2's file, with a hold current the others do not have yet.
    QByteArray clone = secondText;
    clone.replace("\n0x0011,50,", "\n0x0011,60,").replace(",10~100,u16,50\n", ",10~100,u16,60\n");
    QFile cloneFile(work.filePath(QStringLiteral("axis.csv")));
    QVERIFY(cloneFile.open(QIODevice::WriteOnly));
    cloneFile.write(clone);
    cloneFile.close();
    run = runTool(work.path(), {"--port", port, "--address", "1-3", "--restore", "axis.csv"});
    QVERIFY2(run.status == 3, qPrintable(run.out + run.err));
    QVERIFY2(run.out.contains("driver 1: done") && run.out.contains("driver 2: FAILED: not every write confirmed")
                 && run.out.contains("driver 3: done") && run.out.contains("\nbus 1-3: "),
             qPrintable(run.out + run.err));
    QCOMPARE(run.out.count(QStringLiteral("undo file: ")), 3);
    QTest::qWait(100);
    const QString log = simulator.log();
    for (const char *write : {"slave 1 write 0x0010 <- 1500", "slave 1 write 0x0011 <- 60",
                              "slave 3 write 0x0010 <- 1500", "slave 3 write 0x0011 <- 60",
                              "slave 2 exception 0x03 for function 6 address 0x0011"})
        QVERIFY2(log.contains(QLatin1String(write)), qPrintable(log));
    QVERIFY2(!log.contains(QLatin1String("slave 2 write 0x0010")), qPrintable(log));

    run = runTool(work.path(), {"--port", port, "--address", "1,3", "--compare", "axis.csv"});
    QCOMPARE(run.status, 0);
    run = runTool(work.path(), {"--port", port, "--address", "1-3,9", "--compare", "axis.csv"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.out.contains("driver 9: FAILED: no answer"), qPrintable(run.out));
    QCOMPARE(runTool(work.path(), {"--port", port, "--address", "2-1", "--backup", "x/"}).status, 1);
    // A port that will not open is named once, not taken for silent drivers.
    run = runTool(work.path(), {"--port", work.filePath(QStringLiteral("no-such-port")), "--address", "1-3",
                                "--compare", "axis.csv"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.out.contains("driver 1: FAILED: the port did not open") && run.out.contains("driver 3: not begun")
                 && run.err.count(QLatin1String("cannot open")) == 1,
             qPrintable(run.out + run.err));
}


// An address nobody answers is asked twice and passed, named with what to
// check; the drivers around it are saved whole, each announced before its
// work. One address alone ends the same way.
void TestBus::absentAddressesAreAskedTwiceAndPassed()
{
    QTemporaryDir work;
    QVERIFY(QFile::copy(QStringLiteral(SAMPLE_MAP), work.filePath(QStringLiteral("RegisterInfo"))));
    Simulator simulator;
    QVERIFY(simulator.start(work.filePath(QStringLiteral("RegisterInfo")), {"--address", "1,3,5"}));
    const QString port = simulator.devicePath();
    ToolRun run = runTool(work.path(), {"--port", port, "--address", "1-5", "--backup", "machine/"});
    QVERIFY2(run.status == 2, qPrintable(run.out + run.err));
    for (int address : {2, 4}) {
        QVERIFY2(run.err.contains(QStringLiteral("no driver answered at address %1 on %2 9600 8N1").arg(address).arg(port))
                     && run.out.contains(QStringLiteral("driver %1: FAILED: no answer when asked twice").arg(address)),
                 qPrintable(run.out + run.err));
    }
    QCOMPARE(run.err.count(QLatin1String("check the address, the baud rate and parity, the A/B wiring, or look for it with --scan")), 2);
    QVERIFY2(run.out.indexOf(QLatin1String("== driver 5 (5 of 5)")) > run.out.indexOf(QLatin1String("driver 4: FAILED")),
             qPrintable(run.out));
    const QDir machine(work.filePath(QStringLiteral("machine")));
    QCOMPARE(machine.entryList(QDir::Files),
             (QStringList{"addr01-m2304-s81234.csv", "addr03-m2304-s81234.csv", "addr05-m2304-s81234.csv"}));
    for (const QString &name : machine.entryList(QDir::Files)) {
        QFile saved(machine.filePath(name));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray text = saved.readAll();
        QVERIFY2(text.count('\n') > 16 && text.contains("\n0x0010,") && text.contains("\n0x0042,")
                     && !text.contains("partial"),
                 text.constData());
    }

    run = runTool(work.path(), {"--port", port, "--address", "9", "--backup", "nine.csv"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(QLatin1String("no driver answered at address 9")) && run.err.contains(QLatin1String("--scan")),
             qPrintable(run.err));
    QVERIFY(!QFile::exists(work.filePath(QStringLiteral("nine.csv"))));
    QTest::qWait(100);
    const QString log = simulator.log();
    for (int address : {2, 4, 9})
        QVERIFY2(log.count(QStringLiteral("ignored request for slave %1\n").arg(address)) == 2, qPrintable(log));

    // The window's run over the bus panel's drivers passes it alike.
    RegisterMap map;
    QVERIFY(loadRegisterMap(work.filePath(QStringLiteral("RegisterInfo")), &map));
    Serial *serial = Serial::instance();
    QVERIFY(serial->openPort(port, 9600));
    RequestScheduler scheduler(serial);
    scheduler.setTiming(map.txTime, map.rxOutTime);
    connect(serial, &Serial::haveReceive, &scheduler, &RequestScheduler::takeBlock);
    scheduler.start();
    BusParameterRun busRun(&scheduler);
    QList<BusDriverResult> results;
    connect(&busRun, &BusParameterRun::finished, this, [&results](const QList<BusDriverResult> &all) { results = all; });
    DriverContext context;
    context.registers = map.registers;
    context.port = port;
    QVERIFY(QDir().mkpath(work.filePath(QStringLiteral("window"))));
    busRun.backup(context, {4, 5}, work.filePath(QStringLiteral("window")));
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 2, 15000);
    QCOMPARE(results.at(0).end, BusDriverResult::End::Absent);
    QCOMPARE(results.at(1).end, BusDriverResult::End::Done);
    scheduler.stop();
    QTest::qWait(100);
    QCOMPARE(simulator.log().count(QStringLiteral("ignored request for slave 4\n")), 4);
}

// Another model at one address refuses the file there alone; a backup of
// several drivers into one file name, which would keep only the last
// driver's values, is refused before anything is read.
void TestBus::oneDriverRefusedLeavesTheOthers()
{
    QTemporaryDir work;
    QVERIFY(QFile::copy(QStringLiteral(SAMPLE_MAP), work.filePath(QStringLiteral("RegisterInfo"))));
    Simulator simulator;
    QVERIFY(simulator.start(work.filePath(QStringLiteral("RegisterInfo")),
                            {"--address", "1-3", "--set", "2:0x0040=0x2305"}));
    const QString port = simulator.devicePath();
    QFile kept(work.filePath(QStringLiteral("kept.csv")));
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.write("address,value\n0x0010,1234\n");
    kept.close();
    ToolRun run = runTool(work.path(), {"--port", port, "--address", "1-3", "--backup", "kept.csv"});
    QVERIFY2(run.status == 1 && run.err.contains("takes a folder"), qPrintable(run.out + run.err));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("address,value\n0x0010,1234\n"));
    kept.close();
    QVERIFY2(!simulator.log().contains(QLatin1String(" read ")), qPrintable(simulator.log()));

    QFile file(work.filePath(QStringLiteral("axis.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# identity 0x0040=8964 0x0041=112\naddress,value\n0x0011,60\n");
    file.close();
    run = runTool(work.path(), {"--port", port, "--address", "1-3", "--restore", "axis.csv"});
    QVERIFY2(run.status == 1 && run.out.contains("driver 2: FAILED: the file is another model's")
                 && run.out.contains("driver 1: done") && run.out.contains("driver 3: done"),
             qPrintable(run.out + run.err));
    QTest::qWait(100);
    const QString log = simulator.log();
    QVERIFY2(log.contains(QLatin1String("slave 1 write 0x0011 <- 60"))
                 && log.contains(QLatin1String("slave 3 write 0x0011 <- 60"))
                 && !log.contains(QLatin1String("slave 2 write")),
             qPrintable(log));
}

namespace {

QByteArray sampleMap()
{
    QFile file(QStringLiteral(SAMPLE_MAP));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file chooser is modal: it is answered from the event loop.
void answerFileChooser(const QString &path)
{
    auto *watch = new QTimer;
    QObject::connect(watch, &QTimer::timeout, [watch, path] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *chooser = qobject_cast<QFileDialog *>(widget);
            if (!chooser || !chooser->isVisible())
                continue;
            watch->deleteLater();
            chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
            static_cast<QDialog *>(chooser)->accept();
            return;
        }
    });
    watch->start(50);
}

void clickRow(QTableWidget *table, int row)
{
    const QPoint cell = table->visualRect(table->model()->index(row, 0)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
}

// The confirmation is modal too; what it asked is kept for the test.
void answerQuestion(QMessageBox::StandardButton answer, QString *asked, QMessageBox::StandardButton *offered)
{
    auto *watch = new QTimer;
    QObject::connect(watch, &QTimer::timeout, [=] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        watch->deleteLater();
        *asked = box->text();
        *offered = box->standardButton(box->defaultButton());
        box->button(answer)->click();
    });
    watch->start(50);
}

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// The panel lists every driver with its own identity and alarm; choosing
// one makes the window read that address, and a comparison made on the
// driver before can no longer write.
void TestBus::windowFollowsTheChosenDriver()
{
    WorkFolder work(sampleMap());
    Simulator simulator;
    QVERIFY(simulator.start(work.path() + QStringLiteral("/RegisterInfo"),
                            {"--address", "1-3", "--set", "3:0x0040=0x2305", "--alarm", "2:2"}));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QComboBox *>("comboBox_port")->lineEdit()->setText(simulator.devicePath());
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(window, 15000));

    // The View menu shows and hides the panel.
    auto *panel = window.findChild<BusPanel *>();
    const bool shown = panel->isVisible();
    panel->toggleViewAction()->trigger();
    QCOMPARE(panel->isVisible(), !shown);
    if (shown)
        panel->toggleViewAction()->trigger();
    panel->findChild<QLineEdit *>("addressList")->setText(QStringLiteral("1-3"));
    QTest::mouseClick(panel->findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    auto *drivers = panel->findChild<QTableWidget *>("driverTable");
    auto text = [drivers](int row, int column) {
        return drivers->item(row, column) ? drivers->item(row, column)->text() : QString();
    };
    // Address, alarm and last answer; who the driver is, in the tooltip.
    auto identity = [drivers](int row) { return drivers->item(row, 0) ? drivers->item(row, 0)->toolTip() : QString(); };
    QTRY_VERIFY_WITH_TIMEOUT(identity(2).contains(QLatin1String("Model 8965")) && text(0, 1) == QStringLiteral("正常")
                                 && text(2, 1) == QStringLiteral("正常"),
                             20000);
    QVERIFY2(text(1, 1).contains(QStringLiteral("过压")), qPrintable(text(1, 1)));
    QVERIFY(identity(0).contains(QLatin1String("Model 8964")) && identity(1).contains(QLatin1String("Model 8964")));
    QVERIFY(!text(1, 2).isEmpty());

    // Driver 2's alarm shows at once from what the panel knows, marked as
    // the bus's reading, until driver 2's own read confirms it.
    auto *bannerText = window.findChild<AlarmBanner *>()->findChild<QLabel *>("label_alarm");
    clickRow(drivers, 1);
    auto *address = window.findChild<QLineEdit *>("lineEdit_deviceAddr");
    QCOMPARE(address->text(), QStringLiteral("2"));
    QVERIFY(bannerText->isVisible());
    QVERIFY2(bannerText->text().contains(QStringLiteral("过压")) && bannerText->text().contains(QStringLiteral("总线")),
             qPrintable(bannerText->text()));
    QTRY_VERIFY_WITH_TIMEOUT(simulator.log().contains(QLatin1String("slave 2 read 0x0010")), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!bannerText->text().contains(QStringLiteral("总线")), 10000);
    QVERIFY(bannerText->isVisible() && bannerText->text().contains(QStringLiteral("过压")));
    const QString file = work.path() + QStringLiteral("/axis.csv");
    QFile contents(file);
    QVERIFY(contents.open(QIODevice::WriteOnly));
    contents.write("address,value\n0x0010,1200\n");
    contents.close();
    answerFileChooser(file);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_loadParams"), Qt::LeftButton);
    CompareDialog *dialog = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((dialog = window.findChild<CompareDialog *>()) && dialog->isVisible()
                                 && dialog->findChild<QPushButton *>("pushButton_write")->isEnabled(),
                             15000);

    clickRow(drivers, 2);
    QCOMPARE(address->text(), QStringLiteral("3"));
    QVERIFY(!dialog->findChild<QPushButton *>("pushButton_write")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(simulator.log().contains(QLatin1String("slave 3 read 0x0010")), 10000);
    QVERIFY(waitForRefreshDone(window, 15000));
    QTest::qWait(100);
    const QString log = simulator.log();
    QVERIFY2(!log.contains(QLatin1String("write")), qPrintable(log));
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
}


// A driver that refuses its model register is still watched for alarms.
void TestBus::panelWatchesAlarmsPastARefusedModel()
{
    WorkFolder work(sampleMap());
    Simulator simulator;
    QVERIFY(simulator.start(work.path() + QStringLiteral("/RegisterInfo"),
                            {"--address", "1-2", "--write-only", "0040", "--alarm", "2:2"}));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QComboBox *>("comboBox_port")->lineEdit()->setText(simulator.devicePath());
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(window, 15000));
    auto *panel = window.findChild<BusPanel *>();
    panel->findChild<QLineEdit *>("addressList")->setText(QStringLiteral("1-2"));
    QTest::mouseClick(panel->findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    auto *drivers = panel->findChild<QTableWidget *>("driverTable");
    auto text = [drivers](int row, int column) {
        return drivers->item(row, column) ? drivers->item(row, column)->text() : QString();
    };
    QTRY_VERIFY2_WITH_TIMEOUT(text(1, 1).contains(QStringLiteral("过压")) && !text(1, 2).contains(QStringLiteral("失去")),
                              qPrintable(text(1, 1) + QLatin1Char('|') + text(1, 2)),
                              15000);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
}


// Reads still queued for the driver chosen before answer for it alone:
// driver 1's alarm is not shown as driver 2's.
void TestBus::switchMidRefreshShowsNoOtherDriver()
{
    WorkFolder work(sampleMap());
    Simulator simulator;
    QVERIFY(simulator.start(work.path() + QStringLiteral("/RegisterInfo"),
                            {"--address", "1-2", "--alarm", "1:2", "--delay", "100"}));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *address = window.findChild<QLineEdit *>("lineEdit_deviceAddr");
    address->setText(QStringLiteral("1"));
    window.findChild<QComboBox *>("comboBox_port")->lineEdit()->setText(simulator.devicePath());
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QTRY_VERIFY(simulator.log().contains(QLatin1String("slave 1 read 0x0040")));
    address->setText(QStringLiteral("2"));
    QVERIFY(waitForRefreshDone(window, 15000));
    QVERIFY2(simulator.log().contains(QLatin1String("slave 1 read 0x0001")), qPrintable(simulator.log()));
    auto *banner = window.findChild<AlarmBanner *>();
    QVERIFY(banner);
    QVERIFY2(!banner->isVisible(), qPrintable(simulator.log()));
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
}

// Several rows selected: one folder gets each driver's own file, and one
// file goes to each driver in turn, after one confirmation. A refused write
// fails its driver alone; another model is skipped and never written to;
// the window keeps reading the driver it showed.
void TestBus::windowWorksOverSelectedDrivers()
{
    WorkFolder work(sampleMap());
    Simulator simulator;
    QVERIFY(simulator.start(work.path() + QStringLiteral("/RegisterInfo"),
                            {"--address", "1-3", "--set", "2:0x0010=1500", "--set", "3:0x0040=0x2305",
                             "--refuse-write", "2:0x0011"}));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QComboBox *>("comboBox_port")->lineEdit()->setText(simulator.devicePath());
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(window, 15000));
    auto *panel = window.findChild<BusPanel *>();
    panel->show();
    panel->findChild<QLineEdit *>("addressList")->setText(QStringLiteral("1-3"));
    QTest::mouseClick(panel->findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    auto *drivers = panel->findChild<QTableWidget *>("driverTable");
    // Driver 3, the other model, is the window's.
    clickRow(drivers, 2);
    const QPoint first = drivers->visualRect(drivers->model()->index(0, 0)).center();
    QTest::mouseClick(drivers->viewport(), Qt::LeftButton, Qt::ShiftModifier, first);
    QCOMPARE(panel->selectedDrivers(), (QList<int>{1, 2, 3}));
    auto *address = window.findChild<QLineEdit *>("lineEdit_deviceAddr");
    QCOMPARE(address->text(), QStringLiteral("3"));
    QVERIFY(waitForRefreshDone(window, 15000));
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    auto runCurrent = [table] {
        const QList<QTableWidgetItem *> found = table->findItems(QStringLiteral("0x0010"), Qt::MatchExactly);
        return found.isEmpty() ? QString() : table->item(found.first()->row(), 1)->text();
    };
    QCOMPARE(runCurrent(), QStringLiteral("3000"));

    const QString folder = work.path() + QStringLiteral("/machine");
    QVERIFY(QDir().mkpath(folder));
    answerFileChooser(folder);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_saveParams"), Qt::LeftButton);
    BusBatchDialog *dialog = nullptr;
    auto results = [&dialog] {
        QStringList lines;
        auto *list = dialog->findChild<QListWidget *>("listWidget_results");
        for (int row = 0; row < list->count(); ++row)
            lines << list->item(row)->text();
        return lines;
    };
    auto finished = [&dialog] {
        auto *buttons = dialog->findChild<QDialogButtonBox *>("buttonBox");
        return buttons->button(QDialogButtonBox::Close) != nullptr;
    };
    QTRY_VERIFY_WITH_TIMEOUT((dialog = window.findChild<BusBatchDialog *>()) && finished(), 30000);
    QCOMPARE(QDir(folder).entryList(QDir::Files),
             (QStringList{"addr01-m2304-s81234.csv", "addr02-m2304-s81234.csv", "addr03-m2305-s81234.csv"}));
    QVERIFY2(results().size() == 3 && results().at(2).contains(QLatin1String("addr03-m2305-s81234.csv")),
             qPrintable(results().join('\n')));
    const QString second = fileText(folder + QStringLiteral("/addr02-m2304-s81234.csv"));
    QVERIFY2(second.contains(QLatin1String("\n0x0010,1500,")) && second.contains(QLatin1String("0x0040=8964")),
             qPrintable(second));
    QVERIFY(fileText(folder + QStringLiteral("/addr01-m2304-s81234.csv")).contains(QLatin1String("\n0x0010,3000,")));
    QVERIFY(fileText(folder + QStringLiteral("/addr03-m2305-s81234.csv")).contains(QLatin1String("0x0040=8965")));
    dialog->close();

    // Driver 2's file, with a hold current none of them has.
    const QString axis = work.path() + QStringLiteral("/axis.csv");
    QFile clone(axis);
    QVERIFY(clone.open(QIODevice::WriteOnly));
    clone.write(second.toUtf8().replace("\n0x0011,50,", "\n0x0011,60,").replace(",10~100,u16,50\n", ",10~100,u16,60\n"));
    clone.close();
    QString asked;
    QMessageBox::StandardButton offered = QMessageBox::NoButton;
    answerFileChooser(axis);
    answerQuestion(QMessageBox::Yes, &asked, &offered);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_loadParams"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible() && finished(), 30000);
    QVERIFY2(asked.contains(QLatin1String("axis.csv")) && asked.contains(QLatin1String("1, 2, 3")), qPrintable(asked));
    QCOMPARE(offered, QMessageBox::No);
    const QStringList lines = results();
    QVERIFY2(lines.size() == 3 && lines.at(0).contains(QStringLiteral("2 个参数已写入并确认"))
                 && lines.at(1).contains(QStringLiteral("失败")) && lines.at(1).contains(QLatin1String("0x0011"))
                 && lines.at(2).contains(QStringLiteral("已跳过")) && lines.at(2).contains(QLatin1String("8965")),
             qPrintable(lines.join('\n')));
    QTest::qWait(100);
    const QString log = simulator.log();
    for (const char *reached : {"slave 1 write 0x0010 <- 1500", "slave 1 write 0x0011 <- 60",
                                "slave 2 exception 0x03 for function 6 address 0x0011"})
        QVERIFY2(log.contains(QLatin1String(reached)), qPrintable(log));
    QVERIFY2(!log.contains(QLatin1String("slave 2 write 0x0010")) && !log.contains(QLatin1String("slave 3 write")),
             qPrintable(log));

    dialog->close();
    QCOMPARE(address->text(), QStringLiteral("3"));
    QCOMPARE(runCurrent(), QStringLiteral("3000"));
    const int before = simulator.log().size();
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_dataRefresh"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(window, 15000));
    QTest::qWait(100);
    const QString refreshed = simulator.log().mid(before);
    QVERIFY2(refreshed.contains(QLatin1String("slave 3 read 0x0010")) && !refreshed.contains(QLatin1String("slave 1 read 0x0010")),
             qPrintable(refreshed));
}

QTEST_MAIN(TestBus)
#include "tst_bus.moc"

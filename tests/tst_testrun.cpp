#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>

#include <memory>

#include <signal.h>

#include "motion/testrun.h"
#include "serial/serial.h"
#include "ui/mainwindow.h"
#include "ui/testrun/testrundock.h"
#include "support/refreshwait.h"
#include "support/simulator.h"
#include "support/workfolder.h"

namespace {

// The motion rows of a driver whose comm timeout is `timeout` ms.
QByteArray motionMap(int timeout)
{
    return "slaveAddress:1,txTime:5,rxOutTime:300\n"
           "indexes:0x0000,permission:R,defaultValue:0x0000,rangeValue:0~65535,name:Status,remarks:,"
           "bits:2=Alarm,role:status,alarmBit:2\n"
           "indexes:0x0001,permission:R,defaultValue:0x0000,rangeValue:0~99,name:Alarm code,remarks:,role:alarm\n"
           "indexes:0x0050,permission:RW,defaultValue:0x0000,rangeValue:-3000~3000,name:Jog speed,remarks:,"
           "type:s16,unit:rpm,role:jog\n"
           "indexes:0x0051,permission:RW,defaultValue:0x00000000,rangeValue:-100000~100000,name:Target,"
           "remarks:,type:s32,role:target\n"
           "indexes:0x0053,permission:R,defaultValue:0x00000000,rangeValue:-2147483648~2147483647,"
           "name:Position,remarks:,type:s32,role:position\n"
           "indexes:0x0058,permission:RW,defaultValue:0x" + QByteArray::number(timeout, 16) + ",rangeValue:0~10000,"
           "name:Comm timeout,remarks:,unit:ms,role:commTimeout\n"
           "indexes:0x005B,permission:W,defaultValue:0,rangeValue:0~1,name:Start move,remarks:,"
           "command:Start move=1,role:move\n"
           "indexes:0x005C,permission:W,defaultValue:0,rangeValue:0~1,name:Stop,remarks:,"
           "command:Stop=1,role:stop\n";
}

bool portOpen()
{
    return Serial::instance()->serialPort->isOpen();
}

// Waits until the simulator's log holds `pattern` `count` times.
bool waitForLog(Simulator &simulator, const QString &pattern, int count = 1, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (simulator.log().count(pattern) >= count)
            return true;
        QTest::qWait(10);
    }
    return false;
}

} // namespace

// Test moves from the window against tools/simdriver, as its log shows
// them: the driver's view, not the window's.
class TestTestRun : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void jogRunsWhileHeldAndStopsWhenControlIsLost();
    void refusesADriverThatWouldNotStopByItself();
    void movesBackAndForthWithADwell();
    void driverStopsByItselfWhenTheToolIsKilled();

private:
    void openWindow(MainWindow &window, const QStringList &simulatorOptions = {});
    QPushButton *button(MainWindow &window, const char *name);

    std::unique_ptr<WorkFolder> folder;
    std::unique_ptr<Simulator> simulator;
};

void TestTestRun::cleanup()
{
    Serial::instance()->serialPort->close();
    simulator.reset();
    folder.reset();
}

void TestTestRun::openWindow(MainWindow &window, const QStringList &simulatorOptions)
{
    simulator = std::make_unique<Simulator>();
    QVERIFY(simulator->start(folder->path() + QStringLiteral("/RegisterInfo"), simulatorOptions));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    window.findChild<QComboBox *>("comboBox_port")->lineEdit()->setText(simulator->devicePath());
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(portOpen());
    QVERIFY(waitForRefreshDone(window, 15000));
    window.findChild<TestRunDock *>()->show();
    window.findChild<QCheckBox *>("checkBox_clear")->setChecked(true);
}

QPushButton *TestTestRun::button(MainWindow &window, const char *name)
{
    return window.findChild<TestRunDock *>()->findChild<QPushButton *>(name);
}

// A held jog button keeps the motor going only as long as the tool keeps
// writing the jog well within the comm timeout; releasing the button, the
// window losing focus and the port being lost each stop it at once.
void TestTestRun::jogRunsWhileHeldAndStopsWhenControlIsLost()
{
    folder = std::make_unique<WorkFolder>(motionMap(200));
    MainWindow window;
    openWindow(window);
    QPushButton *plus = button(window, "pushButton_jogPlus");
    QVERIFY(plus->isEnabled());

    QTest::mousePress(plus, Qt::LeftButton);
    QVERIFY(waitForLog(*simulator, "motion start (jog 100)"));
    const int writesBefore = simulator->log().count("write 0x0050");
    // Five comm timeouts: no request but the tool's own could keep it alive.
    QTest::qWait(1000);
    const int rewrites = simulator->log().count("write 0x0050") - writesBefore;
    QVERIFY2(!simulator->log().contains("communication lost"), qPrintable(simulator->log().right(2000)));
    // Every 50 ms (a quarter of 200 ms): about 20 in a second.
    QVERIFY2(rewrites >= 12 && rewrites <= 22, qPrintable(QString::number(rewrites)));
    QTest::mouseRelease(plus, Qt::LeftButton);
    QVERIFY(waitForLog(*simulator, "motion stop (stop command)"));

    QTest::mousePress(plus, Qt::LeftButton);
    QVERIFY(waitForLog(*simulator, "motion start (jog 100)", 2));
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QApplication::setActiveWindow(&other);
    QVERIFY(waitForLog(*simulator, "motion stop (stop command)", 2));
    QTest::mouseRelease(plus, Qt::LeftButton);
    other.close();
    QApplication::setActiveWindow(&window);

    QTest::mousePress(plus, Qt::LeftButton);
    QVERIFY(waitForLog(*simulator, "motion start (jog 100)", 3));
    emit Serial::instance()->portLost(QStringLiteral("device removed"));
    QVERIFY(waitForLog(*simulator, "motion stop (stop command)", 3));
    QVERIFY(!window.findChild<TestRunDock *>()->testRun()->isActive());
    QVERIFY(!simulator->log().contains("communication lost"));

    // The tool held up past the comm timeout: the driver stops by itself,
    // and the held button does not set it going again.
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(window, 15000));
    window.findChild<QCheckBox *>("checkBox_clear")->setChecked(true);
    QTest::mousePress(plus, Qt::LeftButton);
    QVERIFY(waitForLog(*simulator, "motion start (jog 100)", 4));
    QThread::msleep(400);
    QVERIFY(waitForLog(*simulator, "motion stop (communication lost)"));
    QTest::qWait(300);
    QCOMPARE(simulator->log().count("motion start (jog 100)"), 4);
    QVERIFY(!window.findChild<TestRunDock *>()->testRun()->isActive());
    QTest::mouseRelease(plus, Qt::LeftButton);
}

// A driver whose comm timeout is off would run on if the tool died: the
// jog is refused with the register named, and nothing moves until the
// technician accepts it. Then nothing but the tool stops it: a stop lost
// on the line is sent again.
void TestTestRun::refusesADriverThatWouldNotStopByItself()
{
    folder = std::make_unique<WorkFolder>(motionMap(0));
    MainWindow window;
    openWindow(window, {QStringLiteral("--lose-stops"), QStringLiteral("2")});
    QString notice;
    connect(window.findChild<TestRunDock *>(), &TestRunDock::notice, this,
            [&notice](const QString &text) { notice = text; });
    QPushButton *minus = button(window, "pushButton_jogMinus");
    QTest::mousePress(minus, Qt::LeftButton);
    QTRY_VERIFY(!notice.isEmpty());
    QVERIFY2(notice.contains("Comm timeout (0x0058)") && notice.contains("0 ms"), qPrintable(notice));
    QTest::mouseRelease(minus, Qt::LeftButton);
    QTest::qWait(200);
    QVERIFY(!simulator->log().contains("write 0x0050"));

    window.findChild<QCheckBox *>("checkBox_acceptTimeout")->setChecked(true);
    QTest::mousePress(minus, Qt::LeftButton);
    QVERIFY(waitForLog(*simulator, "motion start (jog -100)"));
    QTest::mouseRelease(minus, Qt::LeftButton);
    QVERIFY2(waitForLog(*simulator, "motion stop (stop command)"), qPrintable(simulator->log().right(1500)));
    QCOMPARE(simulator->log().count("stop lost on the line"), 2);
}

// Out and back twice from where the motor stands, each leg started only
// once the last one has come to rest and the dwell has passed.
void TestTestRun::movesBackAndForthWithADwell()
{
    folder = std::make_unique<WorkFolder>(motionMap(200));
    MainWindow window;
    openWindow(window);
    auto *dock = window.findChild<TestRunDock *>();
    int started = 0;
    connect(dock->testRun(), &TestRun::moveStarted, this, [&started] { ++started; });
    dock->findChild<QComboBox *>("comboBox_moveKind")->setCurrentIndex(2);
    dock->findChild<QDoubleSpinBox *>("spinBox_target")->setValue(-2000);
    dock->findChild<QSpinBox *>("spinBox_times")->setValue(2);
    dock->findChild<QSpinBox *>("spinBox_dwell")->setValue(150);
    QTest::mouseClick(button(window, "pushButton_move"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dock->testRun()->isActive(), 10000);
    const QString log = simulator->log();
    QStringList moves;
    QVector<double> starts;
    QVector<double> rests;
    for (auto it = QRegularExpression(QStringLiteral("motion (start \\(move to (-?\\d+)\\)|at rest) at ([0-9.]+) ms"))
                       .globalMatch(log);
         it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.captured(2).isEmpty()) {
            rests << match.captured(3).toDouble();
        } else {
            moves << match.captured(2);
            starts << match.captured(3).toDouble();
        }
    }
    QCOMPARE(moves, (QStringList{"-2000", "0", "-2000", "0"}));
    QCOMPARE(started, 4);
    QCOMPARE(rests.size(), 4);
    for (int leg = 1; leg < 4; ++leg)
        QVERIFY2(starts.at(leg) - rests.at(leg - 1) >= 150, qPrintable(log.right(3000)));
}

// Ctrl+C or a plain kill of a tool that jogs ends it as quitting does: the
// stop goes out at once. kill -9: nothing sends a stop, and the driver
// stops by itself once its comm timeout has passed without a request. The
// tool is this test's own program, run again as a child that jogs.
void TestTestRun::driverStopsByItselfWhenTheToolIsKilled()
{
    folder = std::make_unique<WorkFolder>(motionMap(300));
    simulator = std::make_unique<Simulator>();
    QVERIFY(simulator->start(folder->path() + QStringLiteral("/RegisterInfo")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TESTRUN_JOG_PORT"), simulator->devicePath());
    int jogs = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.setWorkingDirectory(folder->path());
        tool.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(tool.waitForStarted());
        QVERIFY(waitForLog(*simulator, "motion start (jog 100)", ++jogs, 20000));
        QTest::qWait(500);
        ::kill(pid_t(tool.processId()), signal);
        QVERIFY(tool.waitForFinished());
        if (signal != SIGKILL) {
            QVERIFY2(waitForLog(*simulator, "motion stop (stop command)", jogs, 1000),
                     qPrintable(QStringLiteral("signal %1: ").arg(signal) + simulator->log().right(1500)));
            QVERIFY(!simulator->log().contains("communication lost"));
        }
    }
    QVERIFY(waitForLog(*simulator, "motion stop (communication lost)"));
    // The stop comes one comm timeout after the last request, to the step.
    const QString log = simulator->log();
    const QRegularExpressionMatch lost =
        QRegularExpression(QStringLiteral("no request since ([0-9.]+) ms")).match(log);
    const QRegularExpressionMatch stop =
        QRegularExpression(QStringLiteral("motion stop \\(communication lost\\) at ([0-9.]+) ms")).match(log);
    QVERIFY(lost.hasMatch() && stop.hasMatch());
    const double afterMs = stop.captured(1).toDouble() - lost.captured(1).toDouble();
    QVERIFY2(afterMs > 300 && afterMs <= 302, qPrintable(QString::number(afterMs) + log.right(1500)));
}

// The child: the window, jogging on the port it is given until killed.
static int jogUntilKilled(int argc, char **argv, const QString &port)
{
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    window.findChild<QComboBox *>("comboBox_port")->lineEdit()->setText(port);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    if (!waitForRefreshDone(window, 15000))
        return 1;
    window.findChild<QCheckBox *>("checkBox_clear")->setChecked(true);
    QTest::mousePress(window.findChild<QPushButton *>("pushButton_jogPlus"), Qt::LeftButton);
    return app.exec();
}

int main(int argc, char **argv)
{
    const QString port = qEnvironmentVariable("TESTRUN_JOG_PORT");
    if (!port.isEmpty())
        return jogUntilKilled(argc, argv, port);
    QApplication app(argc, argv);
    TestTestRun test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_testrun.moc"

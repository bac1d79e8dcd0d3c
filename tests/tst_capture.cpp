#include <QtTest>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <qwt_plot_curve.h>

#include <cmath>

#include "monitor/capture.h"
#include "monitor/capturerun.h"
#include "monitor/stepfigures.h"
#include "motion/testrun.h"
#include "serial/serial.h"
#include "ui/capture/capturedock.h"
#include "ui/capture/captureplot.h"
#include "ui/capture/captureview.h"
#include "ui/mainwindow.h"
#include "ui/testrun/testrundock.h"
#include "support/simulator.h"
#include "support/toolprocess.h"
#include "support/windowinternals.h"
#include "support/workfolder.h"

namespace {

const QByteArray captureMap(
    "slaveAddress:1,txTime:20,rxOutTime:300\n"
    "indexes:0x0000,permission:R,defaultValue:0x0000,rangeValue:0~65535,name:状态字 Status word,remarks:,"
    "bits:0=使能;1=运行;2=报警,role:status,alarmBit:2\n"
    "indexes:0x0001,permission:R,defaultValue:0x0000,rangeValue:0~99,name:报警代码 Alarm code,remarks:,"
    "enum:0=无报警;1=过流;2=过压,role:alarm\n"
    "indexes:0x0002,permission:R,defaultValue:0x01E0,rangeValue:0~50.0,name:母线电压 Bus voltage,remarks:,"
    "scale:0.1,unit:V\n"
    "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:100~6000,name:运行电流 Run current,remarks:\n"
    "indexes:0x0040,permission:R,defaultValue:0x2304,rangeValue:0~65535,name:型号 Model,remarks:,role:identity\n");

// The closed form of a second-order loop's unit step (0 < zeta < 1), and
// its figures solved on that form, not on samples of it.
struct SecondOrder
{
    double zeta;
    double omega;  // natural frequency, rad per ms

    double dampedOmega() const { return omega * std::sqrt(1 - zeta * zeta); }
    double at(double ms) const
    {
        if (ms <= 0)
            return 0;
        const double decay = std::exp(-zeta * omega * ms);
        const double wd = dampedOmega();
        return 1 - decay * (std::cos(wd * ms) + zeta * omega / wd * std::sin(wd * ms));
    }
    // Where the response meets `level` between two times it brackets.
    double solve(double from, double to, double level, bool rising) const
    {
        for (int i = 0; i < 100; ++i) {
            const double middle = (from + to) / 2;
            ((at(middle) < level) == rising ? from : to) = middle;
        }
        return (from + to) / 2;
    }
    double overshootPercent() const { return 100 * std::exp(-M_PI * zeta / std::sqrt(1 - zeta * zeta)); }
    double riseMs() const
    {
        const double peak = M_PI / dampedOmega();
        return solve(0, peak, 0.9, true) - solve(0, peak, 0.1, true);
    }
    // Extremes lie at k x pi / wd, deviating by the overshoot's decay; the
    // band is entered for good between the last one outside it and the next.
    double settlingMs() const
    {
        int k = 1;
        while (std::abs(at((k + 1) * M_PI / dampedOmega()) - 1) > 0.02)
            ++k;
        const double last = k * M_PI / dampedOmega();
        const bool above = at(last) > 1;
        return solve(last, last + M_PI / dampedOmega(), above ? 1.02 : 0.98, !above);
    }
};

// The simulated motor's loop: position gain 60 1/s and speed gain 56 1/s,
// so natural frequency 0.06 rad/ms and damping 56 / (2 x 60) = 0.47.
const QByteArray motorMap(
    "slaveAddress:1,txTime:20,rxOutTime:300\n"
    "indexes:0x0051,permission:RW,defaultValue:0x00000000,rangeValue:-100000~100000,name:Target,remarks:,"
    "type:s32,role:target\n"
    "indexes:0x0053,permission:R,defaultValue:0x00000000,rangeValue:-2147483648~2147483647,name:Position,"
    "remarks:,type:s32,role:position\n"
    "indexes:0x0055,permission:R,defaultValue:0x00000000,rangeValue:-2147483648~2147483647,"
    "name:Following error,remarks:,type:s32,role:followingError\n"
    "indexes:0x0058,permission:RW,defaultValue:0x01F4,rangeValue:0~10000,name:Comm timeout,remarks:,unit:ms,"
    "role:commTimeout\n"
    "indexes:0x0059,permission:RW,defaultValue:0x003C,rangeValue:1~500,name:Position gain,remarks:,"
    "role:positionGain\n"
    "indexes:0x005A,permission:RW,defaultValue:0x0038,rangeValue:1~1000,name:Speed gain,remarks:,role:speedGain\n"
    "indexes:0x005B,permission:W,defaultValue:0,rangeValue:0~1,name:Start move,remarks:,command:Start move=1,"
    "role:move\n"
    "indexes:0x005C,permission:W,defaultValue:0,rangeValue:0~1,name:Stop,remarks:,command:Stop=1,role:stop\n");

// Samples as the line brings them: every 4.4 ms with some jitter, from
// 100 ms before the step, scaled and shifted.
QVector<QPointF> sampled(const SecondOrder &loop, double from, double to, double lengthMs)
{
    QVector<QPointF> points;
    for (int i = 0;; ++i) {
        const double ms = -100 + i * 4.4 + 0.6 * std::sin(i * 1.7);
        if (ms > lengthMs)
            return points;
        points.append(QPointF(ms, from + (to - from) * loop.at(ms)));
    }
}

} // namespace

class TestCapture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void stepFiguresMatchASecondOrderLoop();
    void windowCapturesOnALevelAndOnAMoveAndComparesFiles();
    void capturesTheSimulatedMotorsMoveAsItsModelSays();
    void commandLineCapturesOrSaysTheTriggerNeverCame();

private:
    Simulator *startSimulator(const QString &mapFile, const QStringList &options);
    Simulator *simulator = nullptr;
};

void TestCapture::initTestCase()
{
    qRegisterMetaType<Capture>();
}

void TestCapture::cleanup()
{
    if (Serial::instance()->isOpen())
        Serial::instance()->closeLine();
    delete simulator;
    simulator = nullptr;
}

Simulator *TestCapture::startSimulator(const QString &mapFile, const QStringList &options)
{
    simulator = new Simulator;
    return simulator->start(mapFile, options) ? simulator : nullptr;
}

// Tolerance: 1 ms on times (samples 4.4 ms apart, interpolated), half a
// percentage point on the overshoot, the peak of the following error exact.
void TestCapture::stepFiguresMatchASecondOrderLoop()
{
    const struct
    {
        SecondOrder loop;
        double from;
        double to;
    } cases[] = {
        {{0.25, 0.04}, 0, 1000},   // a stiff gain: rings
        {{0.6, 0.03}, 200, 1200},  // damped, from an offset
        {{0.4, 0.05}, 500, -300},  // a step down
    };
    for (const auto &each : cases) {
        const double lengthMs = 10 * each.loop.settlingMs();
        QVector<QPointF> followingError;
        for (const QPointF &point : sampled(each.loop, each.from, each.to, lengthMs))
            followingError.append(QPointF(point.x(), point.x() < 0 ? 9999 : each.to - point.y()));
        // A spike the other way, below the largest magnitude before the trigger.
        const double spike = std::abs(each.to - each.from) + 234.5;
        followingError.insert(40, QPointF(followingError.at(39).x() + 0.1, -spike));
        const StepFigures figures = StepFigures::measure(sampled(each.loop, each.from, each.to, lengthMs),
                                                         followingError);
        const QByteArray which = "zeta " + QByteArray::number(each.loop.zeta);
        QVERIFY2(figures.valid, which.constData());
        QVERIFY2(std::abs(figures.riseMs - each.loop.riseMs()) < 1.0,
                 (which + " rise " + QByteArray::number(figures.riseMs)).constData());
        QVERIFY2(std::abs(figures.overshootPercent - each.loop.overshootPercent()) < 0.5,
                 (which + " overshoot " + QByteArray::number(figures.overshootPercent)).constData());
        QVERIFY2(std::abs(figures.settlingMs - each.loop.settlingMs()) < 1.0,
                 (which + " settling " + QByteArray::number(figures.settlingMs) + " against "
                  + QByteArray::number(each.loop.settlingMs())).constData());
        QCOMPARE(figures.peakFollowingError, spike);
    }
    // No step, and a response that never settles within the capture.
    QVERIFY(!StepFigures::measure({{-5, 3}, {0, 3}, {5, 3}}).valid);
    QVERIFY(std::isnan(StepFigures::measure({{-5, 0}, {0, 0}, {5, 1}, {10, 0.5}, {100, 1}, {110, 0.8}}).settlingMs));
}

// The alarm code goes from 0 to 2 some seconds after the simulator starts;
// a capture armed on it triggers there, time 0 at the first sample of 2,
// while the table's continuous refresh is on. A capture armed for a move
// starts when the move's start calls the run. Saved, loaded back, and laid
// over the current one in a dashed style, with its figures beside.
void TestCapture::windowCapturesOnALevelAndOnAMoveAndComparesFiles()
{
    WorkFolder folder(captureMap);
    const QString mapFile = folder.path() + QStringLiteral("/RegisterInfo");
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(startSimulator(mapFile, {"--alarm", "2@2500", "--pace", "--baud", "115200"}));
    window.findChild<QComboBox *>("comboBox_buad")->setCurrentText(QStringLiteral("115200"));
    QLineEdit *portField = window.findChild<QComboBox *>("comboBox_port")->lineEdit();
    portField->setText(simulator->devicePath());
    window.findChild<QPushButton *>("pushButton_open")->click();
    QVERIFY(Serial::instance()->isOpen());
    window.findChild<QCheckBox *>("checkBox_continuous")->setChecked(true);

    auto *view = window.findChild<CaptureView *>();
    QVERIFY(view);
    window.findChild<QAction *>("captureAction")->trigger();
    CaptureDock *dock = view->dock();
    QTRY_VERIFY(dock->isVisible());
    dock->choose({QStringLiteral("状态字 Status word"), QStringLiteral("报警代码 Alarm code"),
                  QStringLiteral("母线电压 Bus voltage")});
    dock->findChild<QComboBox *>("triggerBox")->setCurrentIndex(1);
    dock->findChild<QComboBox *>("triggerRowBox")->setCurrentText(QStringLiteral("报警代码 Alarm code"));
    dock->findChild<QDoubleSpinBox *>("levelBox")->setValue(1);
    dock->findChild<QSpinBox *>("preBox")->setValue(200);
    dock->findChild<QSpinBox *>("lengthBox")->setValue(300);
    QSignalSpy finished(view->run(), &CaptureRun::finished);
    // Stopped with a read in flight and armed again: that read's outcome
    // belongs to no run.
    QSignalSpy sampling(view->run(), &CaptureRun::sampling);
    dock->findChild<QPushButton *>("armButton")->click();
    QVERIFY(sampling.wait(5000));
    QTRY_COMPARE(MainWindowInspector::awaitedOwner(window), static_cast<const QObject *>(view->run()));
    dock->findChild<QPushButton *>("stopButton")->click();
    dock->findChild<QPushButton *>("armButton")->click();
    // A move's start is no trigger for a capture armed on a level.
    view->run()->triggerNow();
    QVERIFY(!view->run()->isTriggered());
    QVERIFY(finished.wait(10000));

    const Capture level = dock->current();
    QCOMPARE(level.curves.size(), 3);
    const QVector<QPointF> &alarm = level.curves.at(1).points;
    int atTrigger = 0;
    while (alarm.at(atTrigger).x() < 0) {
        QCOMPARE(alarm.at(atTrigger).y(), 0.0);
        ++atTrigger;
    }
    QVERIFY(atTrigger > 10);
    QCOMPARE(alarm.at(atTrigger), QPointF(0, 2));
    QVERIFY(alarm.first().x() >= -200 && alarm.first().x() < -180);
    QVERIFY(alarm.last().x() <= 300 && alarm.last().x() > 280);
    // One block read: the three rows share each sample's time.
    QCOMPARE(level.curves.at(0).points.size(), alarm.size());
    QCOMPARE(level.curves.at(2).points.last(), QPointF(alarm.last().x(), 48.0));
    QCOMPARE(level.identity, QStringLiteral("型号 Model 8964"));

    dock->findChild<QComboBox *>("triggerBox")->setCurrentIndex(2);
    sampling.clear();
    dock->findChild<QPushButton *>("armButton")->click();
    QVERIFY(sampling.wait(5000));
    // Well past the 200 ms kept before the trigger, however slow the build
    // (a sanitized one reads its first samples late).
    QTest::qWait(800);
    QVERIFY(!view->run()->isTriggered());
    view->run()->triggerNow();
    QVERIFY(finished.wait(5000));
    const Capture move = dock->current();
    QCOMPARE(move.trigger, QStringLiteral("test move start"));
    QVERIFY(move.curves.at(1).points.first().x() < -180);
    QVERIFY(move.curves.at(1).points.last().x() > 280);

    // The level capture, saved and loaded back, over the move's.
    const QString saved = folder.path() + QStringLiteral("/level.csv");
    QVERIFY(CaptureFile::save(level, saved).isEmpty());
    Capture loaded;
    QVERIFY(CaptureFile::load(saved, &loaded).isEmpty());
    // The same, after an editor on another system: CRLF and a blank last line.
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray edited = file.readAll().replace("\n", "\r\n") + "\r\n";
    file.close();
    const QString editedPath = folder.path() + QStringLiteral("/edited.csv");
    QFile editedFile(editedPath);
    QVERIFY(editedFile.open(QIODevice::WriteOnly) && editedFile.write(edited) == edited.size());
    editedFile.close();
    Capture reloaded;
    const QString why = CaptureFile::load(editedPath, &reloaded);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QCOMPARE(reloaded.curves.at(1).points, loaded.curves.at(1).points);
    QCOMPARE(loaded.identity, level.identity);
    QCOMPARE(loaded.mapFile, level.mapFile);
    QCOMPARE(loaded.trigger, QStringLiteral("报警代码 Alarm code>1"));
    QCOMPARE(loaded.curves.at(2).unit, QStringLiteral("V"));
    for (int curve = 0; curve < 3; ++curve) {
        QCOMPARE(loaded.curves.at(curve).name, level.curves.at(curve).name);
        QCOMPARE(loaded.curves.at(curve).points.size(), level.curves.at(curve).points.size());
        for (int i = 0; i < loaded.curves.at(curve).points.size(); ++i) {
            QVERIFY(std::abs(loaded.curves.at(curve).points.at(i).x() - level.curves.at(curve).points.at(i).x()) < 0.001);
            QCOMPARE(loaded.curves.at(curve).points.at(i).y(), level.curves.at(curve).points.at(i).y());
        }
    }
    QVERIFY(dock->compareWith(saved).isEmpty());
    const QwtPlotItemList curves = dock->findChild<CapturePlot *>()->itemList(QwtPlotItem::Rtti_PlotCurve);
    QCOMPARE(curves.size(), 6);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(static_cast<QwtPlotCurve *>(curves.at(i))->pen().style(), i < 3 ? Qt::SolidLine : Qt::DashLine);
    auto *figures = dock->findChild<QTableWidget *>("figuresTable");
    QCOMPARE(figures->columnCount(), 2);
    QCOMPARE(figures->horizontalHeaderItem(1)->text(), QStringLiteral("level"));
    // A file that is no capture is refused with its reason.
    QVERIFY(!dock->compareWith(mapFile).isEmpty());
}

// Armed for a test move, then the move from the Test run dock: the capture's
// sampling leaves the move's own requests their turn, the move's start
// triggers it, and the response's figures are the model's. Tolerance: the
// samples come about 4.5 ms apart, and the step starts about 1 ms after the
// move command's first byte: 2 ms on the rise, 3 ms on the settling, one
// percentage point on the overshoot.
void TestCapture::capturesTheSimulatedMotorsMoveAsItsModelSays()
{
    WorkFolder folder(motorMap);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(startSimulator(folder.path() + QStringLiteral("/RegisterInfo"), {"--pace", "--baud", "115200"}));
    window.findChild<QComboBox *>("comboBox_buad")->setCurrentText(QStringLiteral("115200"));
    window.findChild<QComboBox *>("comboBox_port")->lineEdit()->setText(simulator->devicePath());
    window.findChild<QPushButton *>("pushButton_open")->click();
    QVERIFY(Serial::instance()->isOpen());
    auto *testRun = window.findChild<TestRunDock *>();
    testRun->show();
    testRun->findChild<QCheckBox *>("checkBox_clear")->setChecked(true);
    window.findChild<QAction *>("captureAction")->trigger();
    auto *view = window.findChild<CaptureView *>();
    CaptureDock *dock = view->dock();
    dock->choose({QStringLiteral("Position"), QStringLiteral("Following error")});
    dock->findChild<QComboBox *>("triggerBox")->setCurrentIndex(2);
    dock->findChild<QSpinBox *>("preBox")->setValue(50);
    dock->findChild<QSpinBox *>("lengthBox")->setValue(600);
    QSignalSpy sampling(view->run(), &CaptureRun::sampling);
    QSignalSpy finished(view->run(), &CaptureRun::finished);
    dock->findChild<QPushButton *>("armButton")->click();
    QTRY_VERIFY(!sampling.isEmpty());
    // The motor at rest before the trigger.
    QTest::qWait(100);
    testRun->findChild<QDoubleSpinBox *>("spinBox_target")->setValue(10000);
    testRun->findChild<QPushButton *>("pushButton_move")->click();
    QVERIFY2(finished.wait(5000), qPrintable(simulator->log().right(1500)));
    QTRY_VERIFY(!testRun->testRun()->isActive());

    const Capture move = dock->current();
    const StepFigures figures = StepFigures::measure(move.curves.at(0).points, move.curves.at(1).points);
    const SecondOrder loop{56.0 / 120, 0.06};
    QVERIFY(figures.valid);
    QCOMPARE(figures.initial, 0.0);
    QVERIFY(std::abs(figures.final - 10000) < 1);
    QVERIFY2(std::abs(figures.riseMs - loop.riseMs()) < 2, qPrintable(QString::number(figures.riseMs)));
    QVERIFY2(std::abs(figures.overshootPercent - loop.overshootPercent()) < 1,
             qPrintable(QString::number(figures.overshootPercent)));
    QVERIFY2(std::abs(figures.settlingMs - loop.settlingMs()) < 3, qPrintable(QString::number(figures.settlingMs)));
    // The largest error is at the first sample after the step, read in the
    // same block as that position.
    const QVector<QPointF> &position = move.curves.at(0).points;
    const auto firstAfter = std::find_if(position.begin(), position.end(), [](const QPointF &p) { return p.x() >= 0; });
    QCOMPARE(figures.peakFollowingError, 10000 - firstAfter->y());
}

// An end-of-line check: exit 0 and a file when the trigger comes, 4 when it
// does not come within --wait, 1 for a row the map lacks; nothing is written.
void TestCapture::commandLineCapturesOrSaysTheTriggerNeverCame()
{
    WorkFolder folder(captureMap);
    QVERIFY(startSimulator(folder.path() + QStringLiteral("/RegisterInfo"), {"--alarm", "1@1500"}));
    const QStringList line = {"--port", simulator->devicePath(), "--rows", "Status word,Alarm code"};
    const ToolRun captured = runTool(folder.path(), line + QStringList{"--capture", "alarm.csv", "--trigger",
                                                                       "Alarm code>0", "--pre", "50", "--length", "100"});
    QVERIFY2(captured.status == 0, qPrintable(captured.err));
    QVERIFY2(captured.out.contains(QStringLiteral("step of \"状态字 Status word\": 0 -> 4")), qPrintable(captured.out));
    Capture file;
    QVERIFY(CaptureFile::load(folder.path() + QStringLiteral("/alarm.csv"), &file).isEmpty());
    QCOMPARE(file.curves.at(1).name, QStringLiteral("报警代码 Alarm code"));
    QCOMPARE(file.trigger, QStringLiteral("报警代码 Alarm code>0"));
    QVERIFY(file.curves.at(1).points.first().y() == 0 && file.curves.at(1).points.last().y() == 1);

    const ToolRun never = runTool(folder.path(), line + QStringList{"--capture", "never.csv", "--trigger",
                                                                    "Alarm code<>5", "--wait", "500"});
    QCOMPARE(never.status, 4);
    QVERIFY2(never.err.contains(QStringLiteral("the trigger did not come within 500 ms")), qPrintable(never.err));
    QVERIFY(!QFile::exists(folder.path() + QStringLiteral("/never.csv")));

    const ToolRun unknown = runTool(folder.path(), {"--port", simulator->devicePath(), "--capture", "x.csv",
                                                    "--rows", "Torque"});
    QCOMPARE(unknown.status, 1);
    QVERIFY2(unknown.err.contains(QStringLiteral("no readable row named \"Torque\"")), qPrintable(unknown.err));
}

QTEST_MAIN(TestCapture)
#include "tst_capture.moc"

// Test moves against the paced simulated motor: how long from the Stop key
// to the stop frame's arrival at the driver, against the wire time of the
// request already on the line; and, after kill -9 of a jogging tool, how
// long the driver runs on before its own comm-loss stop. Both times come
// from the simulator's log, on the monotonic clock this program reads too.
#include "ui/mainwindow.h"
#include "benchsupport.h"
#include "simulatedline.h"
#include "motion/testrun.h"
#include "protocol/requestscheduler.h"
#include "serial/serial.h"
#include "tests/support/windowinternals.h"
#include "ui/testrun/testrundock.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <signal.h>

namespace {

constexpr int stopBaud = 115200;
constexpr int turnaroundMs = 1;
constexpr int stopTrials = 30;
constexpr int killTrials = 5;
constexpr int sampleCommTimeoutMs = 500;

QByteArray sampleMap(const QByteArray &settings)
{
    QFile file(QStringLiteral(SOURCE_DIR "/RegisterInfo"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray map = file.readAll();
    return settings + map.mid(map.indexOf('\n'));
}

QString logOf(const ServedMap &served)
{
    QFile file(served.logPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Runs the event loop until the log holds a `pattern` line whose time (ms)
// is after `afterMs`; that time, or -1 after the limit.
double firstTimeAfter(const ServedMap &served, const QString &pattern, double afterMs, int limitMs = 30000)
{
    const QRegularExpression line(QRegularExpression::escape(pattern) + QStringLiteral(".* at ([0-9.]+) ms"));
    const qint64 end = bench::monotonicNs() + qint64(limitMs) * 1000000;
    while (bench::monotonicNs() < end) {
        for (auto it = line.globalMatch(logOf(served)); it.hasNext();) {
            const double time = it.next().captured(1).toDouble();
            if (time > afterMs)
                return time;
        }
        bench::spinEventLoop(2);
    }
    return -1;
}

double wireMs(int bytes, int baud)
{
    return bytes * 10.0 * 1000 / baud;
}

// What the request in flight still holds the line for, at most: its
// frame, the turnaround, its reply and the gap after it.
double inFlightMs(MainWindow &window)
{
    RequestScheduler &scheduler = MainWindowInspector::scheduler(window);
    const double gapMs = scheduler.interFrameGapMs();
    if (!scheduler.isAwaiting())
        return gapMs;
    const PendingCommand &request = MainWindowInspector::awaited(window);
    const int replyBytes = request.isWrite() ? 8 : 5 + 2 * request.count;
    return wireMs(request.frame.size(), stopBaud) + turnaroundMs + wireMs(replyBytes, stopBaud) + gapMs;
}

QPushButton *dockButton(MainWindow &window, const char *name)
{
    return window.findChild<TestRunDock *>()->findChild<QPushButton *>(QLatin1String(name));
}

void prepareDock(MainWindow &window)
{
    window.findChild<TestRunDock *>()->show();
    window.findChild<QCheckBox *>(QStringLiteral("checkBox_clear"))->setChecked(true);
}

void measureStopLatency()
{
    ServedMap served(sampleMap("slaveAddress:1,txTime:5,rxOutTime:300"), stopBaud, {QStringLiteral("--pace")}, true);
    if (!served.started)
        return;
    // When the tool wrote each stop command frame, and when the last reply
    // before it came in, on the same clock. Connected before the window is
    // built, so that a reply is timed before the scheduler acts on it.
    QObject watcher;
    double stopWrittenMs = -1;
    double lastReplyMs = -1;
    QObject::connect(Serial::instance(), &Serial::sendDataShow, &watcher, [&stopWrittenMs](const QString &data) {
        if (data.contains(QLatin1String("01 06 00 5C")) && stopWrittenMs < 0)
            stopWrittenMs = bench::monotonicNs() / 1e6;
    });
    QObject::connect(Serial::instance(), &Serial::haveReceive, &watcher, [&stopWrittenMs, &lastReplyMs] {
        if (stopWrittenMs < 0)
            lastReplyMs = bench::monotonicNs() / 1e6;
    });
    MainWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    SimulatedLine::openPort(window, served.line.path(), stopBaud);
    SimulatedLine::waitForRefreshEnd(window, 20000);
    // The table's reads keep the line busy, as during a tuning session.
    window.findChild<QCheckBox *>(QStringLiteral("checkBox_continuous"))->setChecked(true);
    prepareDock(window);
    const double gapMs = MainWindowInspector::scheduler(window).interFrameGapMs();
    QVector<double> toolDelays;
    QVector<double> latencies;
    QVector<double> overBound;
    QVector<double> toolOverBound;
    int inFlight = 0;
    for (int trial = 0; trial < stopTrials; ++trial) {
        QTest::mousePress(dockButton(window, "pushButton_jogPlus"), Qt::LeftButton);
        if (firstTimeAfter(served, QStringLiteral("motion start (jog"), bench::monotonicNs() / 1e6 - 1000) < 0)
            break;
        bench::spinEventLoop(50 + QRandomGenerator::global()->bounded(100));
        const double boundMs = inFlightMs(window) + 2;
        inFlight += MainWindowInspector::scheduler(window).isAwaiting() ? 1 : 0;
        stopWrittenMs = -1;
        const double pressedMs = bench::monotonicNs() / 1e6;
        QTest::keyClick(&window, Qt::Key_Escape);
        const double stopMs = firstTimeAfter(served, QStringLiteral("motion stop (stop command)"), pressedMs);
        QTest::mouseRelease(dockButton(window, "pushButton_jogPlus"), Qt::LeftButton);
        if (stopMs < 0)
            break;
        latencies << stopMs - pressedMs;
        overBound << latencies.last() - boundMs;
        toolOverBound << stopWrittenMs - pressedMs - boundMs;
        // What the tool itself added once the line was free: the reply in
        // flight had come and the gap after it had passed.
        toolDelays << stopWrittenMs - std::max(pressedMs, lastReplyMs + gapMs);
    }
    window.findChild<QPushButton *>(QStringLiteral("pushButton_open"))->click();
    const bool complete = latencies.size() == stopTrials;
    if (complete)
        bench::printFigure(QStringLiteral("the same, Stop key to the tool's write of the stop frame, against the same bound"),
                           QStringLiteral("%1 of %2 within, worst %3 ms over")
                               .arg(std::count_if(toolOverBound.begin(), toolOverBound.end(), [](double over) { return over <= 0; }))
                               .arg(toolOverBound.size())
                               .arg(*std::max_element(toolOverBound.begin(), toolOverBound.end()), 0, 'f', 2));
    if (complete)
        bench::printResult(QStringLiteral("the same, the tool's own delay: from the key, or from the end of the reply "
                                          "in flight and the gap after it when later, to its write of the stop frame"),
                           QStringLiteral("median %1 ms, longest %2 ms")
                               .arg(bench::median(toolDelays), 0, 'f', 2)
                               .arg(*std::max_element(toolDelays.begin(), toolDelays.end()), 0, 'f', 2),
                           QStringLiteral("<= 2 ms"), *std::max_element(toolDelays.begin(), toolDelays.end()) <= 2);
    const double worstOver = complete ? *std::max_element(overBound.begin(), overBound.end()) : 1e9;
    const int within = int(std::count_if(overBound.begin(), overBound.end(), [](double over) { return over <= 0; }));
    bench::printResult(
        QStringLiteral("stop latency, Stop key to the stop frame at the driver, jogging under continuous refresh, "
                       "115200 baud paced, %1 presses (%2 with a request in flight)").arg(latencies.size()).arg(inFlight),
        complete ? QStringLiteral("median %1 ms, longest %2 ms; %3 of %4 within their bound, worst %5 ms over it")
                       .arg(bench::median(latencies), 0, 'f', 2)
                       .arg(*std::max_element(latencies.begin(), latencies.end()), 0, 'f', 2)
                       .arg(within).arg(latencies.size())
                       .arg(worstOver, 0, 'f', 2)
                 : QStringLiteral("incomplete: %1 of %2 stops seen").arg(latencies.size()).arg(stopTrials),
        QStringLiteral("<= the request in flight (frame, turnaround, reply, gap) + 2 ms, each press"),
        complete && worstOver <= 0);
}

void measureDeadMan()
{
    ServedMap served(sampleMap("slaveAddress:1,txTime:100,rxOutTime:1000"), 9600, {}, true);
    if (!served.started)
        return;
    // One jog write, the frame the driver last heard, at 9600 baud.
    const double frameMs = wireMs(8, 9600);
    QVector<double> runOn;
    for (int trial = 0; trial < killTrials; ++trial) {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("BENCH_JOG_PORT"), served.line.path());
        tool.setProcessEnvironment(environment);
        const double startedMs = bench::monotonicNs() / 1e6;
        tool.start(QCoreApplication::applicationFilePath(), QStringList());
        if (firstTimeAfter(served, QStringLiteral("motion start (jog"), startedMs) < 0)
            break;
        bench::spinEventLoop(300 + QRandomGenerator::global()->bounded(400));
        const double killedMs = bench::monotonicNs() / 1e6;
        ::kill(pid_t(tool.processId()), SIGKILL);
        tool.waitForFinished();
        const double stopMs = firstTimeAfter(served, QStringLiteral("motion stop (communication lost)"), startedMs);
        if (stopMs < 0)
            break;
        runOn << stopMs - killedMs;
    }
    const bool complete = runOn.size() == killTrials;
    const double longest = complete ? *std::max_element(runOn.begin(), runOn.end()) : 1e9;
    bench::printResult(
        QStringLiteral("dead-man, kill -9 of the tool while jogging to the driver's comm-loss stop, comm timeout "
                       "%1 ms, 9600 baud, %2 kills").arg(sampleCommTimeoutMs).arg(runOn.size()),
        complete ? QStringLiteral("median %1 ms, longest %2 ms").arg(bench::median(runOn), 0, 'f', 1)
                       .arg(longest, 0, 'f', 1)
                 : QStringLiteral("incomplete: %1 of %2 stops seen").arg(runOn.size()).arg(killTrials),
        QStringLiteral("<= %1 ms (comm timeout + one frame, %2 ms)").arg(sampleCommTimeoutMs + frameMs, 0, 'f', 1)
            .arg(frameMs, 0, 'f', 1),
        complete && longest <= sampleCommTimeoutMs + frameMs);
}

// The child of the dead-man figure: the window, jogging until it is killed.
int jogUntilKilled(const QString &port)
{
    MainWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    SimulatedLine::openPort(window, port, 9600);
    SimulatedLine::waitForRefreshEnd(window, 30000);
    prepareDock(window);
    QTest::mousePress(dockButton(window, "pushButton_jogPlus"), Qt::LeftButton);
    return QApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString port = qEnvironmentVariable("BENCH_JOG_PORT");
    if (!port.isEmpty())
        return jogUntilKilled(port);
    measureStopLatency();
    measureDeadMan();
    return 0;
}

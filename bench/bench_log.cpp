// The traffic log under a steady stream: 1,000 lines a second, each arriving
// in an event-loop pass of its own as traffic does, into the shown window
// with the display on. Measured: the GUI thread's share of a core in each
// second of a 60 s stream that starts at the log's bound (100,000 lines),
// and a line's cost (GUI thread time per line fed) there against a stream
// into a log of 1,000 lines. Memory: the log's text store grows until it
// compacts, so resident memory rises and falls with each drop until the
// allocator has settled; at 1,000 lines a second that takes about four
// minutes at the bound of 100,000 lines. It is judged at a bound of 10,000,
// where it settles within a minute: over the last 30 s of a 60 s stream.
#include "ui/mainwindow.h"
#include "benchsupport.h"
#include "tests/support/windowinternals.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QTemporaryDir>

namespace {

constexpr int linesPerSecond = 1000;
constexpr int boundLines = 100000;
constexpr int longRunSeconds = 60;
constexpr int shortRunSeconds = 5;
constexpr int memoryBoundLines = 10000;
constexpr int memoryRunSeconds = 60;
constexpr int memoryJudgedSeconds = 30;

const QColor sentColour(0, 0, 0, 255);
const QColor receivedColour(200, 200, 200, 255);

// The traffic of a poll: a request and its reply, line after line.
void appendTrafficLine(MainWindow &window, int index)
{
    if (index % 2 == 0)
        window.appendLogLine(sentColour, QStringLiteral("[09:05:03::007] Tx(hex):01 03 00 10 00 01 85 CF "));
    else
        window.appendLogLine(receivedColour, QStringLiteral("[09:05:03::020] Rx(hex):01 03 02 00 64 B9 AF "));
}

struct StreamFigures
{
    QVector<double> secondShares; // GUI thread's share of a core, per second
    QVector<double> residentMiB;  // VmRSS at the end of each second
    double lineCostUs = 0;        // GUI thread time per line fed
};

class LogStream
{
public:
    explicit LogStream(MainWindow &window) : window(window) {}

    // Fills the log quickly, 500 lines a pass.
    void growTo(int lines)
    {
        while (count < lines) {
            appendTrafficLine(window, count++);
            if (count % 500 == 0)
                QCoreApplication::processEvents();
        }
        bench::spinEventLoop(200);
    }

    // A 1 ms timer feeds the lines that are due by the clock, so the rate
    // holds even when a pass runs late.
    StreamFigures run(int seconds)
    {
        StreamFigures figures;
        QElapsedTimer clock;
        int fed = 0;
        QTimer feeder;
        feeder.setTimerType(Qt::PreciseTimer);
        QObject::connect(&feeder, &QTimer::timeout, [&] {
            const qint64 due = clock.elapsed() * linesPerSecond / 1000;
            while (fed < due && fed < seconds * linesPerSecond) {
                appendTrafficLine(window, count++);
                ++fed;
            }
        });
        qint64 secondCpu = bench::threadCpuNs();
        qint64 secondWall = bench::monotonicNs();
        QTimer sampler;
        sampler.setTimerType(Qt::PreciseTimer);
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            const qint64 cpu = bench::threadCpuNs();
            const qint64 wall = bench::monotonicNs();
            figures.secondShares << double(cpu - secondCpu) / double(wall - secondWall);
            figures.residentMiB << bench::statusKiB("VmRSS") / 1024.0;
            secondCpu = cpu;
            secondWall = wall;
        });
        const qint64 cpuBefore = bench::threadCpuNs();
        clock.start();
        feeder.start(1);
        sampler.start(1000);
        bench::spinEventLoop(seconds * 1000 + 100);
        feeder.stop();
        sampler.stop();
        figures.lineCostUs = (bench::threadCpuNs() - cpuBefore) / 1e3 / qMax(fed, 1);
        return figures;
    }

private:
    MainWindow &window;
    int count = 0;
};

// Highest less lowest of the last `seconds` samples.
double spread(const QVector<double> &values, int seconds)
{
    const auto judged = std::minmax_element(values.end() - seconds, values.end());
    return *judged.second - *judged.first;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    bench::writeFile(dir.filePath(QStringLiteral("RegisterInfo")), bench::generatedMap(200));
    QDir::setCurrent(dir.path());
    MainWindow window;
    window.show();
    QCoreApplication::processEvents();

    LogStream log(window);
    log.growTo(1000);
    const StreamFigures small = log.run(shortRunSeconds);
    bench::printFigure(QStringLiteral("log line in a stream of 1,000/s, log of 1,000 lines"),
                       QStringLiteral("%1 us").arg(small.lineCostUs, 0, 'f', 1));

    const double residentBefore = bench::statusKiB("VmRSS") / 1024.0;
    log.growTo(boundLines);
    const double filledMiB = bench::statusKiB("VmRSS") / 1024.0 - residentBefore;
    bench::printFigure(QStringLiteral("log memory, 100,000 lines"),
                       QStringLiteral("%1 MB").arg(filledMiB * 1.048576, 0, 'f', 1));

    const StreamFigures large = log.run(longRunSeconds);
    const double share = bench::median(large.secondShares);
    bench::printResult(QStringLiteral("GUI thread, 1,000 log lines/s for 60 s from 100,000 lines (median second)"),
                       QStringLiteral("%1 % of a core").arg(100 * share, 0, 'f', 1), QStringLiteral("< 25 %"),
                       share < 0.25);
    bench::printFigure(QStringLiteral("log line in a stream of 1,000/s, log of 100,000 lines"),
                       QStringLiteral("%1 us").arg(large.lineCostUs, 0, 'f', 1));
    const double ratio = large.lineCostUs / small.lineCostUs;
    bench::printResult(QStringLiteral("log line at 100,000 against 1,000 lines"),
                       QStringLiteral("%1 x").arg(ratio, 0, 'f', 2), QStringLiteral("<= 1.5 x"), ratio <= 1.5);
    const auto [lowest, highest] = std::minmax_element(large.residentMiB.begin(), large.residentMiB.end());
    bench::printFigure(QStringLiteral("VmRSS over the 60 s stream at 100,000 lines"),
                       QStringLiteral("%1 to %2 MB").arg(*lowest * 1.048576, 0, 'f', 1).arg(*highest * 1.048576, 0, 'f', 1));

    LogBuffer &buffer = MainWindowInspector::trafficLog(window);
    buffer.clear();
    buffer.setMaximumLines(memoryBoundLines);
    log.growTo(memoryBoundLines);
    const StreamFigures bounded = log.run(memoryRunSeconds);
    const double spreadMB = spread(bounded.residentMiB, memoryJudgedSeconds) * 1.048576;
    bench::printResult(QStringLiteral("log memory at a 10,000-line bound, 1,000 lines/s for 60 s: VmRSS spread "
                                      "over the last 30 s"),
                       QStringLiteral("%1 MB").arg(spreadMB, 0, 'f', 1), QStringLiteral("< 0.5 MB"),
                       spreadMB < 0.5);
    return 0;
}

// Log growth: the cost of one line in the traffic log, appended and then
// shown (the event loop runs once after it, as it does after each frame in
// the running tool), measured with 1,000, 10,000 and 100,000 lines already
// in the log; and the memory the 100,000 lines take.
#include "app/mainwindow.h"
#include "benchsupport.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QTemporaryDir>

namespace {

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

class LogGrowth
{
public:
    explicit LogGrowth(MainWindow &window) : window(window) {}

    void growTo(int lines)
    {
        while (count < lines) {
            appendTrafficLine(window, count++);
            if (count % 500 == 0)
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
    }

    // Median microseconds of one line at the current length; the samples
    // grow the log a little, which is negligible against its length.
    double lineCostUs()
    {
        QVector<double> samples;
        for (int i = 0; i < 301; ++i) {
            const qint64 start = bench::monotonicNs();
            appendTrafficLine(window, count++);
            QCoreApplication::processEvents();
            samples << (bench::monotonicNs() - start) / 1e3;
        }
        return bench::median(samples);
    }

private:
    MainWindow &window;
    int count = 0;
};

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

    const qint64 residentBefore = bench::statusKiB("VmRSS");
    LogGrowth log(window);
    QVector<double> costs;
    for (int level : {1000, 10000, 100000}) {
        log.growTo(level);
        const double cost = log.lineCostUs();
        costs << cost;
        bench::printFigure(QStringLiteral("log line at %1 lines").arg(level),
                           QStringLiteral("%1 us").arg(cost, 0, 'f', 1));
    }
    const double growthMiB = (bench::statusKiB("VmRSS") - residentBefore) / 1024.0;
    const double ratio = costs.last() / costs.first();
    bench::printResult(QStringLiteral("log line at 100,000 against 1,000 lines"),
                       QStringLiteral("%1 x").arg(ratio, 0, 'f', 2), QStringLiteral("<= 2 x"),
                       ratio <= 2);
    bench::printFigure(QStringLiteral("log memory at 100,000 lines"),
                       QStringLiteral("%1 MB (%2 bytes per line)")
                           .arg(growthMiB * 1.048576, 0, 'f', 1)
                           .arg(growthMiB * 1048576 / 100000, 0, 'f', 0));
    return 0;
}

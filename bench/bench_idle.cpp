// Idle cost: the tool's CPU time while a port is open and polling is done,
// with the sample map (txTime 100), against tools/simdriver.
#include "ui/mainwindow.h"
#include "benchsupport.h"
#include "serial/serial.h"
#include "simulatedline.h"

#include <QApplication>
#include <QDir>
#include <QSerialPort>
#include <QTemporaryDir>

namespace {

constexpr int baud = 9600;
constexpr int windowMs = 30000;

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString mapFile = dir.filePath(QStringLiteral("RegisterInfo"));
    QFile::copy(QStringLiteral(SOURCE_DIR "/RegisterInfo"), mapFile);
    QDir::setCurrent(dir.path());
    SimulatedLine line;
    if (!line.start(mapFile, baud)) {
        std::fprintf(stderr, "bench_idle: the simulator did not start\n");
        return 1;
    }
    MainWindow window;
    window.show();
    SimulatedLine::openPort(window, line.path(), baud);
    const bool polled = SimulatedLine::waitForRefreshEnd(window, 60000)
        && Serial::instance()->serialPort->isOpen();

    QVector<double> shares;
    for (int run = 0; run < 3; ++run)
        shares << bench::cpuShare(windowMs);
    const double share = polled ? bench::median(shares) : -1;
    bench::printResult(QStringLiteral("idle CPU, port open, txTime 100"),
                       QStringLiteral("%1 % of a core").arg(100 * share, 0, 'f', 3),
                       QStringLiteral("< 1 %"), polled && share < 0.01);
    return 0;
}

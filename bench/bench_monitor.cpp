// A running monitor: continuous refresh of 8 registers at txTime 20 against
// tools/simdriver at 115200 baud, every register plotted in the shown dock
// and recorded to a CSV file; the tool's share of one core.
#include "ui/mainwindow.h"
#include "benchsupport.h"
#include "ui/monitor/monitordock.h"
#include "serial/serial.h"
#include "simulatedline.h"
#include "tests/support/windowinternals.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QSerialPort>
#include <QTemporaryDir>

namespace {

constexpr int registerCount = 8;
constexpr int txTime = 20;
constexpr int baud = 115200;
constexpr int windowMs = 20000;

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ServedMap served(bench::generatedMap(registerCount, txTime), baud);
    if (!served.started)
        return 1;
    const QTemporaryDir &dir = served.dir;
    MainWindow window;
    window.resize(1300, 700);
    window.show();
    SimulatedLine::openPort(window, served.line.path(), baud);
    SimulatedLine::waitForRefreshEnd(window, 10000);

    QList<int> rows;
    for (int row = 0; row < registerCount; ++row)
        rows << row;
    MainWindowInspector::liveMonitor(window).toggleRows(rows, MainWindowInspector::registerList(window));
    auto *dock = window.findChild<MonitorDock *>();
    const bool recording = dock->startRecording(dir.filePath(QStringLiteral("values.csv")));
    window.findChild<QCheckBox *>(QStringLiteral("checkBox_continuous"))->setChecked(true);
    bench::spinEventLoop(2000);
    const double share = bench::cpuShare(windowMs);
    const bool running = recording && dock->isVisible() && dock->isRecording()
        && Serial::instance()->serialPort->isOpen();
    QFile csv(dir.filePath(QStringLiteral("values.csv")));
    csv.open(QIODevice::ReadOnly);
    const int rowsRecorded = csv.readAll().count('\n') - 1;
    bench::printResult(QStringLiteral("running monitor, 8 registers, txTime 20, plot and recording"),
                       QStringLiteral("%1 % of a core (%2 rows recorded)").arg(100 * share, 0, 'f', 2).arg(rowsRecorded),
                       QStringLiteral("< 10 %"), running && rowsRecorded > 0 && share < 0.10);
    return 0;
}

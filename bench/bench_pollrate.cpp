// Poll rate: a refresh of 200 registers against tools/simdriver over a
// pseudo-terminal at 115200 baud, with txTime 5 and 20 ms, and continuous
// refresh of 4 registers at txTime 5, against the rate the poll cycle
// allows. A request leaves on a tick only when no reply is awaited, and a
// reply's block is handed on once it is complete, so each register takes the
// first whole number of ticks that covers the measured time from the
// request to its reply's block.
#include "ui/mainwindow.h"
#include "benchsupport.h"
#include "serial/serial.h"
#include "simulatedline.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSerialPort>

#include <cmath>

namespace {

constexpr int registerCount = 200;
constexpr int continuousCount = 4;
constexpr int baud = 115200;

struct Timings
{
    QVector<qint64> sends;
    QVector<double> turnaroundMs; // request written to first reply byte
    QVector<double> blockMs;      // request written to the reply's block
    bool awaitingFirstByte = false;
};

void watchTraffic(MainWindow &window, Timings &timings)
{
    Serial *serial = Serial::instance();
    QObject::connect(serial, &Serial::sendDataShow, &window, [&timings] {
        timings.sends << bench::monotonicNs();
        timings.awaitingFirstByte = true;
    });
    QObject::connect(serial->serialPort, &QSerialPort::readyRead, &window, [&timings] {
        if (!timings.awaitingFirstByte || timings.sends.isEmpty())
            return;
        timings.awaitingFirstByte = false;
        timings.turnaroundMs << (bench::monotonicNs() - timings.sends.last()) / 1e6;
    });
    QObject::connect(serial, &Serial::haveReceive, &window, [&timings] {
        if (!timings.sends.isEmpty())
            timings.blockMs << (bench::monotonicNs() - timings.sends.last()) / 1e6;
    });
}

double boundRate(const Timings &timings, int txTime)
{
    const double ticksPerRegister = std::ceil(bench::median(timings.blockMs) / txTime);
    return 1000.0 / (ticksPerRegister * txTime);
}

void printRate(const QString &figure, double rate, double bound)
{
    bench::printResult(figure,
                       QStringLiteral("%1 reg/s = %2 % of %3 reg/s")
                           .arg(rate, 0, 'f', 1)
                           .arg(100 * rate / bound, 0, 'f', 1)
                           .arg(bound, 0, 'f', 1),
                       QStringLiteral(">= 95 %"), rate >= 0.95 * bound);
}

void measure(int txTime)
{
    ServedMap served(bench::generatedMap(registerCount, txTime), baud);
    if (!served.started)
        return;
    MainWindow window;
    window.show();
    Timings timings;
    watchTraffic(window, timings);

    QVector<double> rates;
    SimulatedLine::openPort(window, served.line.path(), baud);
    for (int run = 0; run < 5; ++run) {
        timings.sends.clear();
        if (run > 0)
            SimulatedLine::dataRefreshButton(window)->click();
        const bool ended = SimulatedLine::waitForRefreshEnd(window, 60000);
        const qint64 end = bench::monotonicNs();
        const bool complete = ended && timings.sends.size() == registerCount;
        rates << (complete ? registerCount / ((end - timings.sends.first()) / 1e9) : 0);
    }
    window.findChild<QPushButton *>(QStringLiteral("pushButton_open"))->click();

    bench::printFigure(QStringLiteral("txTime %1: request to reply block").arg(txTime),
                       QStringLiteral("%1 ms (first byte after %2 ms)")
                           .arg(bench::median(timings.blockMs), 0, 'f', 2)
                           .arg(bench::median(timings.turnaroundMs), 0, 'f', 2));
    printRate(QStringLiteral("poll rate, txTime %1, 200 registers").arg(txTime), bench::median(rates),
              boundRate(timings, txTime));
}

// Continuous refresh starts the next refresh on the tick that finds the last
// one ended, so a few registers are read at the full pace of the line.
void measureContinuous()
{
    constexpr int txTime = 5;
    constexpr int seconds = 5;
    ServedMap served(bench::generatedMap(continuousCount, txTime), baud);
    if (!served.started)
        return;
    MainWindow window;
    window.show();
    Timings timings;
    watchTraffic(window, timings);
    SimulatedLine::openPort(window, served.line.path(), baud);
    SimulatedLine::waitForRefreshEnd(window, 10000);
    timings.sends.clear();
    window.findChild<QCheckBox *>(QStringLiteral("checkBox_continuous"))->setChecked(true);
    bench::spinEventLoop(seconds * 1000);
    const double rate = (timings.sends.size() - 1) / ((timings.sends.last() - timings.sends.first()) / 1e9);
    window.findChild<QPushButton *>(QStringLiteral("pushButton_open"))->click();
    printRate(QStringLiteral("continuous refresh, txTime 5, 4 registers"), rate, boundRate(timings, txTime));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    measure(5);
    measure(20);
    measureContinuous();
    return 0;
}

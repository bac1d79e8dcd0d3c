// Capture sample rate: three rows at consecutive addresses, captured at once
// for 3 s on the paced simulator at 115200 baud, against the wire-time
// bound of one sample: the 8-byte request, the turnaround, the 11-byte reply
// and the Modbus RTU gap. The rate counts samples over the time between the
// first and the last one's read leaving; the figure is the median of five
// captures. For the machine's state at the time, libmodbus reading one
// register back to back on the same line (bench_peer, 3 s between the
// captures) is set against its own bound (request, turnaround, reply; it
// keeps no gap).
#include "benchsupport.h"
#include "simulatedline.h"

#include "monitor/capturerun.h"
#include "protocol/requestscheduler.h"
#include "registermap/registermap.h"
#include "serial/serial.h"

#include <QApplication>
#include <QProcess>
#include <QRegularExpression>

namespace {

constexpr int baud = 115200;
constexpr int turnaroundMs = 1;
constexpr double gapMs = 1.75;
constexpr double lengthMs = 3000;
constexpr int rounds = 5;

const QByteArray threeRows =
    "slaveAddress:1,txTime:100,rxOutTime:300\n"
    "indexes:0x0100,permission:R,defaultValue:0x0001,rangeValue:0~65535,name:Position,remarks:\n"
    "indexes:0x0101,permission:R,defaultValue:0x0002,rangeValue:0~65535,name:Speed,remarks:\n"
    "indexes:0x0102,permission:R,defaultValue:0x0003,rangeValue:0~65535,name:Following error,remarks:\n";

double frameMs(int bytes)
{
    return bytes * 10 * 1000.0 / baud;
}

// Samples a second over one capture; 0 when it failed.
double captureRate(const QList<RegisterInfo> &rows)
{
    RequestScheduler scheduler(Serial::instance());
    QObject::connect(Serial::instance(), &Serial::haveReceive, &scheduler, &RequestScheduler::takeBlock);
    scheduler.setTiming(100, 300);
    scheduler.start();
    CaptureRun run(&scheduler);
    run.setMap(rows, QString());
    CaptureSettings settings;
    settings.rows = QStringList{QStringLiteral("Position"), QStringLiteral("Speed"), QStringLiteral("Following error")};
    settings.lengthMs = lengthMs;
    Capture result;
    QObject::connect(&run, &CaptureRun::finished, [&result](const Capture &capture) { result = capture; });
    QEventLoop loop;
    QObject::connect(&run, &CaptureRun::finished, &loop, &QEventLoop::quit);
    QObject::connect(&run, &CaptureRun::failed, &loop, [&loop](CaptureRun::Failure, const QString &reason) {
        std::fprintf(stderr, "the capture failed: %s\n", qPrintable(reason));
        loop.quit();
    });
    if (!run.arm(settings))
        return 0;
    QTimer::singleShot(int(lengthMs) + 10000, &loop, &QEventLoop::quit);
    loop.exec();
    scheduler.stop();
    if (result.isEmpty() || result.curves.first().points.size() < 2)
        return 0;
    const QVector<QPointF> &points = result.curves.first().points;
    return (points.size() - 1) * 1000.0 / (points.last().x() - points.first().x());
}

// libmodbus's rate against its bound, 0 when it failed.
double libmodbusShare(const QString &device)
{
    QProcess peer;
    peer.start(QStringLiteral(BENCH_PEER_PATH), {QStringLiteral("--device"), device, QStringLiteral("--baud"),
                                                 QString::number(baud), QStringLiteral("--address"),
                                                 QStringLiteral("256"), QStringLiteral("--seconds"),
                                                 QStringLiteral("3")});
    if (!peer.waitForFinished(30000) || peer.exitCode() != 0)
        return 0;
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral(": ([0-9.]+) registers/s"))
                                              .match(QString::fromLocal8Bit(peer.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toDouble() * (frameMs(8) + turnaroundMs + frameMs(7)) / 1000 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ServedMap simulator(threeRows, baud, {QStringLiteral("--pace"), QStringLiteral("--turnaround"),
                                          QString::number(turnaroundMs)});
    RegisterMap map;
    if (!simulator.started || !loadRegisterMap(QStringLiteral("RegisterInfo"), &map)
        || !Serial::instance()->openPort(simulator.line.path(), baud)) {
        std::fprintf(stderr, "the simulator or its port did not start\n");
        return 1;
    }
    const double sampleMs = frameMs(8) + turnaroundMs + frameMs(5 + 2 * 3) + gapMs;
    const double boundRate = 1000.0 / sampleMs;
    QVector<double> rates;
    QVector<double> peerShares;
    for (int round = 0; round < rounds; ++round) {
        rates << captureRate(map.registers);
        Serial::instance()->closeLine();
        peerShares << libmodbusShare(simulator.line.path());
        // A reply to the peer's last request may still be on its way: it
        // would be a stray to the next capture, which then stops.
        bench::spinEventLoop(100);
        if (!Serial::instance()->openPort(simulator.line.path(), baud))
            return 1;
    }
    Serial::instance()->closeLine();
    bench::printFigure(QStringLiteral("libmodbus back to back, 1 register, 115200 paced, between the captures"),
                       QStringLiteral("%1 x its bound (median of %2)").arg(bench::median(peerShares), 0, 'f', 3)
                           .arg(rounds));
    const double rate = rates.contains(0) ? 0 : bench::median(rates);
    bench::printResult(QStringLiteral("capture sample rate, 3 contiguous rows, 115200 paced"),
                       QStringLiteral("%1 samples/s = %2 x the bound of %3 samples/s (%4 ms a sample)")
                           .arg(rate, 0, 'f', 1).arg(rate / boundRate, 0, 'f', 3).arg(boundRate, 0, 'f', 1)
                           .arg(sampleMs, 0, 'f', 3),
                       QStringLiteral(">= 0.9 x the bound"), rate >= 0.9 * boundRate);
    return 0;
}

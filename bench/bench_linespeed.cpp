// Line speed: the tool against libmodbus on a line that keeps time.
// tools/simdriver --pace at 115200 baud (10 bits a byte, 1 ms turnaround)
// answers
//   (a) bench_peer: libmodbus reading one register back to back for 3 s;
//   (b) the tool refreshing 50 registers at txTime 1, one register a
//       request (blockRead:1), from pressing 打开串口 to the refresh's end;
//   (c) the tool refreshing 100 consecutive registers with blockRead:100
//       against blockRead:1;
//   (d) the command line backing up 300 registers at line speed, from the
//       start of its process to its end, against libmodbus's rate, one
//       register a request and with blockRead:100.
// A refresh counts only when every request it sent got its reply; each
// figure is the median of 5 refreshes, the port closed and opened between.
#include "ui/mainwindow.h"
#include "benchsupport.h"
#include "serial/serial.h"
#include "simulatedline.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>

namespace {

constexpr int baud = 115200;
constexpr int turnaroundMs = 1;
// A one-register read: an 8-byte request and a 7-byte reply, ten bits a byte.
constexpr double singleReadMs = (8 + 7) * 10 * 1000.0 / baud + turnaroundMs;
const QStringList pacedLine = {QStringLiteral("--pace"), QStringLiteral("--turnaround"),
                               QString::number(turnaroundMs)};

QByteArray mapWithBlockRead(int registers, int txTime, int blockRead)
{
    QByteArray map = bench::generatedMap(registers, txTime);
    map.insert(map.indexOf('\n'), ",blockRead:" + QByteArray::number(blockRead));
    return map;
}

// libmodbus's rate from bench_peer's "<n> reads in <s> s: <rate> registers/s";
// 0 when it failed.
double peerRate()
{
    ServedMap simulator(mapWithBlockRead(50, 1, 1), baud, pacedLine);
    if (!simulator.started)
        return 0;
    QProcess peer;
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start(QStringLiteral(BENCH_PEER_PATH),
               {QStringLiteral("--device"), simulator.line.path(), QStringLiteral("--baud"),
                QString::number(baud), QStringLiteral("--seconds"), QStringLiteral("3")});
    if (!peer.waitForFinished(30000) || peer.exitStatus() != QProcess::NormalExit || peer.exitCode() != 0)
        return 0;
    const QString output = QString::fromLocal8Bit(peer.readAllStandardOutput());
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral(": ([0-9.]+) registers/s")).match(output);
    return match.hasMatch() ? match.captured(1).toDouble() : 0;
}

struct Refreshes
{
    double medianMs = 0;
    int requests = 0; // in the last refresh
    int replies = 0;
    bool complete = false; // every refresh ended and each request got a reply
};

Refreshes timeRefreshes(const QByteArray &map)
{
    Refreshes result;
    ServedMap simulator(map, baud, pacedLine);
    if (!simulator.started)
        return result;
    MainWindow window;
    window.show();
    int requests = 0;
    int replies = 0;
    QObject::connect(Serial::instance(), &Serial::sendDataShow, &window, [&requests] { ++requests; });
    QObject::connect(Serial::instance(), &Serial::haveReceive, &window, [&replies] { ++replies; });
    auto *openButton = window.findChild<QPushButton *>(QStringLiteral("pushButton_open"));

    QVector<double> times;
    result.complete = true;
    for (int run = 0; run < 5; ++run) {
        requests = replies = 0;
        const qint64 start = bench::monotonicNs();
        SimulatedLine::openPort(window, simulator.line.path(), baud);
        const bool ended = SimulatedLine::waitForRefreshEnd(window, 60000);
        times << (bench::monotonicNs() - start) / 1e6;
        result.complete = result.complete && ended && requests > 0 && replies == requests;
        openButton->click();
    }
    result.medianMs = bench::median(times);
    result.requests = requests;
    result.replies = replies;
    return result;
}

QString describe(const Refreshes &refreshes)
{
    return QStringLiteral("%1 ms, %2 requests, %3 replies%4")
        .arg(refreshes.medianMs, 0, 'f', 1)
        .arg(refreshes.requests)
        .arg(refreshes.replies)
        .arg(refreshes.complete ? QString() : QStringLiteral(" (incomplete)"));
}

// "274.0 reg/s = 66.2 % of 414.0 reg/s"
QString shareOfLibmodbus(double rate, double libmodbusRate, const QString &whose)
{
    return QStringLiteral("%1 reg/s = %2 % of %3%4 reg/s")
        .arg(rate, 0, 'f', 1)
        .arg(100 * rate / libmodbusRate, 0, 'f', 1)
        .arg(whose)
        .arg(libmodbusRate, 0, 'f', 1);
}

void compareSingleReads(double libmodbusRate)
{
    bench::printFigure(QStringLiteral("libmodbus back to back, 1 register, 115200 paced"),
                       QStringLiteral("%1 reg/s (line and turnaround allow %2)")
                           .arg(libmodbusRate, 0, 'f', 1)
                           .arg(1000.0 / singleReadMs, 0, 'f', 1));
    const Refreshes refreshes = timeRefreshes(mapWithBlockRead(50, 1, 1));
    bench::printFigure(QStringLiteral("tool refresh, 50 registers, txTime 1"), describe(refreshes));
    const double rate = refreshes.complete ? 50 / (refreshes.medianMs / 1000) : 0;
    const bool measured = refreshes.complete && libmodbusRate > 0;
    bench::printResult(QStringLiteral("tool read rate, txTime 1, against libmodbus"),
                       measured ? shareOfLibmodbus(rate, libmodbusRate, QString()) : QStringLiteral("not measured"),
                       QStringLiteral(">= 80 %"), measured && rate >= 0.8 * libmodbusRate);
}

void compareBlockReads()
{
    const Refreshes single = timeRefreshes(mapWithBlockRead(100, 1, 1));
    const Refreshes block = timeRefreshes(mapWithBlockRead(100, 1, 100));
    bench::printFigure(QStringLiteral("refresh of 100 registers, blockRead:1"), describe(single));
    bench::printFigure(QStringLiteral("refresh of 100 registers, blockRead:100"), describe(block));
    const bool measured = single.complete && block.complete;
    const double speedUp = measured ? single.medianMs / block.medianMs : 0;
    bench::printResult(QStringLiteral("refresh of 100 registers, blockRead:100 against blockRead:1"),
                       measured ? QStringLiteral("%1 x faster").arg(speedUp, 0, 'f', 2)
                                : QStringLiteral("not measured"),
                       QStringLiteral(">= 10 x"), measured && speedUp >= 10);
}

// Registers a second of one command-line backup, from the start of its
// process to its end; 0 when it did not complete.
double backupRate(const QByteArray &map, int registers)
{
    ServedMap simulator(map, baud, pacedLine);
    if (!simulator.started)
        return 0;
    QProcess tool;
    tool.setWorkingDirectory(simulator.dir.path());
    const qint64 start = bench::monotonicNs();
    tool.start(QStringLiteral(STEPPERTOOL_PATH),
               {QStringLiteral("--port"), simulator.line.path(), QStringLiteral("--baud"), QString::number(baud),
                QStringLiteral("--backup"), simulator.dir.filePath(QStringLiteral("backup.csv"))});
    const bool done = tool.waitForFinished(120000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    const double seconds = (bench::monotonicNs() - start) / 1e9;
    return done ? registers / seconds : 0;
}

void compareBackup(double libmodbusRate)
{
    constexpr int registers = 300;
    const double rate = backupRate(bench::generatedMap(registers, 1), registers);
    const bool measured = rate > 0 && libmodbusRate > 0;
    bench::printResult(QStringLiteral("command-line backup, 300 registers one a request, process start included"),
                       measured ? shareOfLibmodbus(rate, libmodbusRate, QStringLiteral("libmodbus's "))
                                : QStringLiteral("not measured"),
                       QStringLiteral(">= 90 %"), measured && rate >= 0.9 * libmodbusRate);
}

// Three requests of 100 registers: a 8-byte request and a 205-byte reply
// each, plus turnaround and the 1.75 ms gap, whatever the process costs.
void compareBlockBackup(double libmodbusRate)
{
    constexpr int registers = 300;
    constexpr int blocks = 3;
    const double wireMs = blocks * ((8 + 5 + 2 * 100) * 10 * 1000.0 / baud + turnaroundMs + 1.75);
    bench::printFigure(QStringLiteral("command-line backup, 300 registers, blockRead:100: wire-time bound"),
                       QStringLiteral("%1 ms = %2 reg/s = %3 x libmodbus's single-register rate")
                           .arg(wireMs, 0, 'f', 1)
                           .arg(registers / (wireMs / 1000), 0, 'f', 0)
                           .arg(libmodbusRate > 0 ? registers / (wireMs / 1000) / libmodbusRate : 0, 0, 'f', 1));
    const double rate = backupRate(mapWithBlockRead(registers, 1, 100), registers);
    const bool measured = rate > 0 && libmodbusRate > 0;
    bench::printResult(QStringLiteral("command-line backup, 300 registers, blockRead:100, process start included"),
                       measured ? QStringLiteral("%1 reg/s = %2 x libmodbus's %3 reg/s")
                                      .arg(rate, 0, 'f', 1)
                                      .arg(rate / libmodbusRate, 0, 'f', 2)
                                      .arg(libmodbusRate, 0, 'f', 1)
                                : QStringLiteral("not measured"),
                       QStringLiteral(">= 20 x"), measured && rate >= 20 * libmodbusRate);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const double libmodbusRate = peerRate();
    compareSingleReads(libmodbusRate);
    compareBlockReads();
    compareBackup(libmodbusRate);
    compareBlockBackup(libmodbusRate);
    return 0;
}

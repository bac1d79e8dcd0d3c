// Batch runs against what cannot be avoided: the command line, from the
// start of its process to its end, against tools/simdriver.
//   (a) the start of the process alone (steppertool --version), which every
//       run below pays once;
//   (b) a 300-register backup with blockRead:100 against its floor: the
//       three requests on the wire, one longest reply and a turnaround
//       listened for after the last answer, and (a);
//   (c) the same map one register a request with --gap 0 against libmodbus
//       reading back to back in the same rounds, and a one-register map,
//       whose one request is asked twice;
//   (d) a bus backup of addresses 1-5 where 2 and 4 are absent, against
//       three single backups and two timeouts for each absent driver;
//   (e) a scan of 247 unit ids over Modbus TCP through a gateway that
//       answers every one with exception 0x0B, at once and after 5 ms,
//       against 247 round trips to that gateway measured just before.
// (b) to (d) run on the paced line at 115200 baud; the simulator keeps no
// line time over TCP. Runs take turns, so a change in the machine's load
// falls on all of them; each figure is the median of its runs.
#include "benchsupport.h"
#include "simulatedline.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>

namespace {

constexpr int baud = 115200;
constexpr int turnaroundMs = 1;
constexpr double gapMs = 1.75; // the Modbus RTU gap above 19200 baud
constexpr int registers = 300;
constexpr int rounds = 5;
const QStringList pacedLine = {QStringLiteral("--pace"), QStringLiteral("--turnaround"),
                               QString::number(turnaroundMs)};

double frameMs(int bytes)
{
    return bytes * 10 * 1000.0 / baud;
}

// One read of n registers: 8-byte request, turnaround, 5 + 2n-byte reply.
double readOnWireMs(int n, double gap)
{
    return frameMs(8) + turnaroundMs + frameMs(5 + 2 * n) + gap;
}

QByteArray map(int count, int blockRead, int rxOutTimeMs = 1000)
{
    QByteArray text = bench::generatedMap(count, 1);
    text.replace("rxOutTime:1000", "rxOutTime:" + QByteArray::number(rxOutTimeMs));
    text.insert(text.indexOf('\n'), ",blockRead:" + QByteArray::number(blockRead));
    return text;
}

struct Run
{
    double ms = 0; // 0: failed
    int exitCode = -1;
    QString out;
};

Run runTool(const QStringList &arguments, const QString &folder = QString())
{
    Run run;
    QProcess tool;
    if (!folder.isEmpty())
        tool.setWorkingDirectory(folder);
    const qint64 start = bench::monotonicNs();
    tool.start(QStringLiteral(STEPPERTOOL_PATH), arguments);
    if (!tool.waitForFinished(120000) || tool.exitStatus() != QProcess::NormalExit)
        return run;
    run.ms = (bench::monotonicNs() - start) / 1e6;
    run.exitCode = tool.exitCode();
    run.out = QString::fromUtf8(tool.readAllStandardOutput());
    return run;
}

int lineCount(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : -1;
}

double processStartMs()
{
    QVector<double> times;
    for (int i = 0; i < 15; ++i) {
        const Run run = runTool({QStringLiteral("--version")});
        if (run.exitCode != 0)
            return 0;
        times << run.ms;
    }
    return bench::median(times);
}

double libmodbusRate()
{
    ServedMap simulator(map(50, 1), baud, pacedLine);
    if (!simulator.started)
        return 0;
    QProcess peer;
    peer.start(QStringLiteral(BENCH_PEER_PATH), {QStringLiteral("--device"), simulator.line.path(),
                                                 QStringLiteral("--baud"), QString::number(baud),
                                                 QStringLiteral("--seconds"), QStringLiteral("2")});
    if (!peer.waitForFinished(30000) || peer.exitCode() != 0)
        return 0;
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral(": ([0-9.]+) registers/s"))
                                              .match(QString::fromLocal8Bit(peer.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toDouble() : 0;
}

// One backup to a file; counts only when it ends well with every register saved.
double backupMs(const QByteArray &served, const QStringList &simulatorOptions, const QStringList &toolOptions,
                int expectedRows)
{
    ServedMap simulator(served, baud, pacedLine + simulatorOptions);
    if (!simulator.started)
        return 0;
    const QString file = simulator.dir.filePath(QStringLiteral("backup.csv"));
    const Run run = runTool(QStringList{QStringLiteral("--port"), simulator.line.path(), QStringLiteral("--baud"),
                                        QString::number(baud), QStringLiteral("--backup"), file}
                                + toolOptions,
                            simulator.dir.path());
    return run.exitCode == 0 && lineCount(file) >= expectedRows ? run.ms : 0;
}

// Medians that are 0 unless every run was measured.
struct Series
{
    QVector<double> values;
    bool complete = true;
    void add(double value)
    {
        complete = complete && value > 0;
        values << value;
    }
    double median() const { return complete ? bench::median(values) : 0; }
};

QString notMeasured()
{
    return QStringLiteral("not measured");
}

void blockBackup(double startMs)
{
    Series times;
    for (int round = 0; round < rounds; ++round)
        times.add(backupMs(map(registers, 100), {}, {}, registers));
    const double wireMs = 3 * readOnWireMs(100, gapMs);
    const double lateMs = frameMs(5 + 2 * 100) + turnaroundMs;
    const double floorMs = wireMs + lateMs + startMs;
    const double ms = times.median();
    const bool measured = ms > 0 && startMs > 0;
    bench::printResult(QStringLiteral("backup, 300 registers, blockRead:100, process start to end, against its floor "
                                      "(requests on the wire %1 ms + one longest reply and turnaround listened "
                                      "for %2 ms + process start %3 ms = %4 ms)")
                           .arg(wireMs, 0, 'f', 1)
                           .arg(lateMs, 0, 'f', 1)
                           .arg(startMs, 0, 'f', 1)
                           .arg(floorMs, 0, 'f', 1),
                       measured ? QStringLiteral("%1 ms = %2 x the floor").arg(ms, 0, 'f', 1).arg(ms / floorMs, 0, 'f', 3)
                                : notMeasured(),
                       QStringLiteral("<= 1.15 x the floor (%1 ms)").arg(1.15 * floorMs, 0, 'f', 1),
                       measured && ms <= 1.15 * floorMs);
}

void gapZeroBackup(double startMs)
{
    Series rates, times;
    for (int round = 0; round < rounds; ++round) {
        rates.add(libmodbusRate());
        times.add(backupMs(map(registers, 1), {}, {QStringLiteral("--gap"), QStringLiteral("0")}, registers));
    }
    const double libmodbus = rates.median();
    const double ms = times.median();
    const bool measured = libmodbus > 0 && ms > 0 && startMs > 0;
    const double rate = ms > 0 ? registers / (ms / 1000) : 0;
    // At libmodbus's own pace per register, what process start and the
    // listening for one late 7-byte reply leave reachable.
    const double paceMs = libmodbus > 0 ? registers * 1000 / libmodbus : 0;
    const double lateMs = frameMs(7) + turnaroundMs;
    const double reachable = paceMs / (paceMs + startMs + lateMs);
    bench::printResult(QStringLiteral("backup, 300 registers one a request, --gap 0, process start to end, against "
                                      "libmodbus back to back (at libmodbus's pace, process start %1 ms and one "
                                      "late reply listened for %2 ms leave at most %3 x)")
                           .arg(startMs, 0, 'f', 1)
                           .arg(lateMs, 0, 'f', 1)
                           .arg(reachable, 0, 'f', 3),
                       measured ? QStringLiteral("%1 ms = %2 reg/s = %3 x libmodbus's %4 reg/s")
                                      .arg(ms, 0, 'f', 1)
                                      .arg(rate, 0, 'f', 1)
                                      .arg(rate / libmodbus, 0, 'f', 3)
                                      .arg(libmodbus, 0, 'f', 1)
                                : notMeasured(),
                       QStringLiteral(">= 0.97 x libmodbus"), measured && rate >= 0.97 * libmodbus);
}

// A run of one request asks it twice rather than listen a whole reply wait.
void oneRegisterBackup()
{
    Series times;
    for (int round = 0; round < rounds; ++round)
        times.add(backupMs(map(1, 1, 1000), {}, {}, 1));
    const double ms = times.median();
    bench::printResult(QStringLiteral("backup of a one-register map, rxOutTime 1000 ms, process start to end"),
                       ms > 0 ? QStringLiteral("%1 ms").arg(ms, 0, 'f', 1) : notMeasured(),
                       QStringLiteral("<= 300 ms"), ms > 0 && ms <= 300);
}

// Drivers 1, 3 and 5 answer; 2 and 4 are absent.
void busBackup()
{
    constexpr int rxOutTimeMs = 100;
    const QByteArray served = map(registers, 100, rxOutTimeMs);
    const QStringList presentOnly = {QStringLiteral("--address"), QStringLiteral("1,3,5")};
    Series single, bus;
    bool allFound = true;
    for (int round = 0; round < 3; ++round) {
        single.add(backupMs(served, presentOnly, {QStringLiteral("--address"), QStringLiteral("1")}, registers));
        ServedMap simulator(served, baud, pacedLine + presentOnly);
        if (!simulator.started) {
            bus.add(0);
            continue;
        }
        const QString folder = simulator.dir.filePath(QStringLiteral("bus")) + QLatin1Char('/');
        const Run run = runTool({QStringLiteral("--port"), simulator.line.path(), QStringLiteral("--baud"),
                                 QString::number(baud), QStringLiteral("--backup"), folder, QStringLiteral("--address"),
                                 QStringLiteral("1-5")},
                                simulator.dir.path());
        // Every present driver's file whole, and the absent ones named absent.
        const QStringList files = QDir(folder).entryList(QDir::Files);
        bool whole = files.size() == 3;
        for (const QString &file : files)
            whole = whole && lineCount(QDir(folder).filePath(file)) >= registers;
        const bool absentNamed = run.out.contains(QStringLiteral("driver 2: FAILED: no answer when asked twice"))
            && run.out.contains(QStringLiteral("driver 4: FAILED: no answer when asked twice"));
        allFound = allFound && whole && absentNamed && run.exitCode == 2;
        if (!(whole && absentNamed))
            std::fprintf(stderr, "bus backup: %d files, exit %d, output:\n%s\n", int(files.size()), run.exitCode,
                         qPrintable(run.out));
        bus.add(whole && absentNamed ? run.ms : 0);
    }
    const double oneMs = single.median();
    const double busMs = bus.median();
    const double boundMs = 3 * oneMs + 2 * 2 * rxOutTimeMs;
    const bool measured = oneMs > 0 && busMs > 0 && allFound;
    bench::printResult(QStringLiteral("bus backup --address 1-5, 2 and 4 absent, 300 registers each, blockRead:100, "
                                      "rxOutTime %1 ms, against 3 x one present driver's backup + 2 x 2 x rxOutTime")
                           .arg(rxOutTimeMs),
                       measured ? QStringLiteral("%1 ms = %2 x (3 x %3 ms + %4 ms = %5 ms)")
                                      .arg(busMs, 0, 'f', 1)
                                      .arg(busMs / boundMs, 0, 'f', 3)
                                      .arg(oneMs, 0, 'f', 1)
                                      .arg(4 * rxOutTimeMs)
                                      .arg(boundMs, 0, 'f', 1)
                                : notMeasured(),
                       QStringLiteral("<= 1.1 x"), measured && busMs <= 1.1 * boundMs);
}

// Median round trip of one read per unit id 1-247 over a connection of
// this program's own; the connection is closed before the tool connects.
double gatewayRoundTripMs(const QString &hostPort)
{
    const int colon = hostPort.lastIndexOf(QLatin1Char(':'));
    QTcpSocket socket;
    socket.connectToHost(hostPort.left(colon), quint16(hostPort.mid(colon + 1).toInt()));
    if (!socket.waitForConnected(3000))
        return 0;
    QVector<double> times;
    for (int unit = 1; unit <= 247; ++unit) {
        // Transaction id, protocol 0, length 6, unit, read 1 register at 0.
        const char request[] = {0, char(unit), 0, 0, 0, 6, char(unit), 3, 0, 0, 0, 1};
        const qint64 start = bench::monotonicNs();
        socket.write(request, sizeof request);
        QByteArray reply;
        while (reply.size() < 9 && socket.waitForReadyRead(1000))
            reply += socket.readAll();
        if (reply.size() != 9 || quint8(reply.at(7)) != 0x83 || reply.at(8) != 0x0B)
            return 0;
        times << (bench::monotonicNs() - start) / 1e6;
    }
    socket.disconnectFromHost();
    return bench::median(times);
}

// delayMs: how long the gateway takes to give its answer; a real one says
// 0x0B only after its own wait for the driver, the simulator at once.
void gatewayScan(double startMs, int delayMs)
{
    Series roundTrips, scans;
    bool noneFound = true;
    for (int round = 0; round < 3; ++round) {
        ServedMap gateway(map(10, 1), baud,
                          {QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--address"),
                           QStringLiteral("1-247"), QStringLiteral("--exception"), QStringLiteral("11"),
                           QStringLiteral("--delay"), QString::number(delayMs)});
        if (!gateway.started) {
            scans.add(0);
            continue;
        }
        roundTrips.add(gatewayRoundTripMs(gateway.line.path()));
        const Run run = runTool({QStringLiteral("--tcp"), gateway.line.path(), QStringLiteral("--scan")},
                                gateway.dir.path());
        // None answers for itself: nothing found, exit 2.
        const bool right = run.exitCode == 2 && run.out.contains(QStringLiteral("scan: 0 found, 247 unit ids asked"))
            && !run.out.contains(QStringLiteral("found: "));
        if (!right)
            std::fprintf(stderr, "scan: exit %d, output:\n%s\n", run.exitCode, qPrintable(run.out));
        noneFound = noneFound && right;
        scans.add(right ? run.ms : 0);
    }
    const double roundTripMs = roundTrips.median();
    const double ms = scans.median();
    const double boundMs = 247 * roundTripMs;
    const bool measured = roundTripMs > 0 && ms > 0 && noneFound;
    bench::printResult(QStringLiteral("scan of 247 unit ids over Modbus TCP, gateway answering 0x0B to all after "
                                      "%1 ms, process start (%2 ms) to end, against 247 x the gateway's round trip")
                           .arg(delayMs)
                           .arg(startMs, 0, 'f', 1),
                       measured ? QStringLiteral("0 found; %1 ms = %2 x 247 x %3 ms (%4 ms); without the process "
                                                 "start %5 x")
                                      .arg(ms, 0, 'f', 1)
                                      .arg(ms / boundMs, 0, 'f', 2)
                                      .arg(roundTripMs, 0, 'f', 3)
                                      .arg(boundMs, 0, 'f', 1)
                                      .arg((ms - startMs) / boundMs, 0, 'f', 2)
                                : noneFound ? notMeasured() : QStringLiteral("wrong units found (see messages)"),
                       QStringLiteral("0 found, <= 1.1 x"), measured && ms <= 1.1 * boundMs);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const double startMs = processStartMs();
    bench::printFigure(QStringLiteral("process start, steppertool --version, median of 15"),
                       startMs > 0 ? QStringLiteral("%1 ms").arg(startMs, 0, 'f', 1) : notMeasured());
    blockBackup(startMs);
    gapZeroBackup(startMs);
    oneRegisterBackup();
    busBackup();
    gatewayScan(startMs, 0);
    gatewayScan(startMs, 5);
    return 0;
}

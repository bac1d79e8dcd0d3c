// Line speed: the tool against the line's own time and against libmodbus.
// tools/simdriver --pace at 115200 baud (10 bits a byte, 1 ms turnaround)
// answers
//   (a) bench_peer: libmodbus reading one register back to back;
//   (b) the command line backing up 300 registers, one a request, from the
//       start of its process to its end (the listening for late replies
//       after the last answer included): with the default gap against the
//       wire-time bound with that gap, and with --gap 0 against libmodbus;
//   (c) the same backup with blockRead:100 against its wire-time bound;
//   (d) the shortest silence before a request, as the simulator saw it
//       (--log-silence), at 115200 and 9600 baud and with --gap 10;
//   (e) the window's refresh at txTime 1, for a figure: it is paced by
//       txTime, not by the line; and 100 registers with blockRead:100
//       against blockRead:1.
// Backups and libmodbus take turns, so that a change in the machine's load
// falls on all of them; each figure is the median of its rounds.
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
constexpr int backupRegisters = 300;
constexpr int rounds = 7;
const QStringList pacedLine = {QStringLiteral("--pace"), QStringLiteral("--turnaround"),
                               QString::number(turnaroundMs), QStringLiteral("--log-silence")};

double byteMs(int lineBaud)
{
    return 10 * 1000.0 / lineBaud;
}

// The Modbus RTU gap: 3.5 characters, 1.75 ms above 19200 baud.
double defaultGapMs(int lineBaud)
{
    return lineBaud > 19200 ? 1.75 : 3.5 * byteMs(lineBaud);
}

// One read of `registers` on the wire: an 8-byte request, the turnaround, a
// reply of 5 + 2 x registers bytes and the gap after it.
double readTransactionMs(int registers, double gapMs, int lineBaud = baud)
{
    return (8 + 5 + 2 * registers) * byteMs(lineBaud) + turnaroundMs + gapMs;
}

QByteArray mapWithBlockRead(int registers, int txTime, int blockRead)
{
    QByteArray map = bench::generatedMap(registers, txTime);
    map.insert(map.indexOf('\n'), ",blockRead:" + QByteArray::number(blockRead));
    return map;
}

double libmodbusRate()
{
    ServedMap simulator(mapWithBlockRead(50, 1, 1), baud, pacedLine);
    if (!simulator.started)
        return 0;
    QProcess peer;
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start(QStringLiteral(BENCH_PEER_PATH),
               {QStringLiteral("--device"), simulator.line.path(), QStringLiteral("--baud"),
                QString::number(baud), QStringLiteral("--seconds"), QStringLiteral("2")});
    if (!peer.waitForFinished(30000) || peer.exitStatus() != QProcess::NormalExit || peer.exitCode() != 0)
        return 0;
    const QString output = QString::fromLocal8Bit(peer.readAllStandardOutput());
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral(": ([0-9.]+) registers/s")).match(output);
    return match.hasMatch() ? match.captured(1).toDouble() : 0;
}

struct Backup
{
    double ms = 0;          // process start to end; 0 when it failed
    double shortestSilenceMs = -1; // from the simulator's log; -1 when none
    double medianSilenceMs = -1;
};

// The simulator's closing summary of --log-silence.
void readSilences(const QString &logPath, Backup &backup)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("silence before (\\d+) requests: shortest (-?[0-9.]+) ms, "
                                          "median (-?[0-9.]+) ms"))
            .match(QString::fromLocal8Bit(log.readAll()));
    if (match.hasMatch() && match.captured(1).toInt() == backupRegisters - 1) {
        backup.shortestSilenceMs = match.captured(2).toDouble();
        backup.medianSilenceMs = match.captured(3).toDouble();
    }
}

// A backup counts when the tool ends well and its file holds every register.
bool backupComplete(const QString &file)
{
    QFile saved(file);
    return saved.open(QIODevice::ReadOnly) && saved.readAll().count('\n') >= backupRegisters;
}

Backup runBackup(const QByteArray &map, int lineBaud, const QStringList &toolOptions = {})
{
    Backup backup;
    ServedMap simulator(map, lineBaud, pacedLine, true);
    if (!simulator.started)
        return backup;
    const QString file = simulator.dir.filePath(QStringLiteral("backup.csv"));
    QProcess tool;
    tool.setWorkingDirectory(simulator.dir.path());
    const qint64 start = bench::monotonicNs();
    tool.start(QStringLiteral(STEPPERTOOL_PATH),
               QStringList{QStringLiteral("--port"), simulator.line.path(), QStringLiteral("--baud"),
                           QString::number(lineBaud), QStringLiteral("--backup"), file}
                   + toolOptions);
    const bool done = tool.waitForFinished(120000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    const double ms = (bench::monotonicNs() - start) / 1e6;
    if (done && backupComplete(file))
        backup.ms = ms;
    simulator.line.stop();
    readSilences(simulator.logPath(), backup);
    return backup;
}

struct Series
{
    QVector<double> values;
    bool complete = true; // every round measured

    void add(double value)
    {
        complete = complete && value > 0;
        values << value;
    }
    double median() const { return complete ? bench::median(values) : 0; }
};

// Shortest silence over every round: a single short gap is a fault.
struct SilenceSeries
{
    double shortestMs = 1e9;
    QVector<double> medians;
    bool complete = true;

    void add(const Backup &backup)
    {
        complete = complete && backup.ms > 0 && backup.shortestSilenceMs >= 0;
        shortestMs = qMin(shortestMs, backup.shortestSilenceMs);
        medians << backup.medianSilenceMs;
    }
};

struct LineSpeedRounds
{
    Series libmodbus, gapDefault, gapZero, blocks;
    SilenceSeries silenceDefault;
};

LineSpeedRounds runRounds()
{
    LineSpeedRounds measured;
    const QByteArray single = mapWithBlockRead(backupRegisters, 1, 1);
    const QByteArray block = mapWithBlockRead(backupRegisters, 1, 100);
    for (int round = 0; round < rounds; ++round) {
        measured.libmodbus.add(libmodbusRate());
        const Backup withGap = runBackup(single, baud);
        measured.gapDefault.add(withGap.ms);
        measured.silenceDefault.add(withGap);
        measured.gapZero.add(runBackup(single, baud, {QStringLiteral("--gap"), QStringLiteral("0")}).ms);
        measured.blocks.add(runBackup(block, baud).ms);
    }
    return measured;
}

QString notMeasured()
{
    return QStringLiteral("not measured");
}

void printGapDefault(const Series &times)
{
    const double boundMs = backupRegisters * readTransactionMs(1, defaultGapMs(baud));
    const double ms = times.median();
    const double share = ms > 0 ? boundMs / ms : 0;
    bench::printResult(
        QStringLiteral("command-line backup, 300 registers one a request, default gap, process start and "
                       "late-reply listening included"),
        ms > 0 ? QStringLiteral("%1 ms = %2 of the wire-time bound %3 ms (%4 reg/s)")
                     .arg(ms, 0, 'f', 1)
                     .arg(share, 0, 'f', 3)
                     .arg(boundMs, 0, 'f', 1)
                     .arg(backupRegisters / (ms / 1000), 0, 'f', 1)
               : notMeasured(),
        QStringLiteral(">= 0.92 of the bound (%1 ms a register: 15 bytes, turnaround, 1.75 ms gap)")
            .arg(readTransactionMs(1, defaultGapMs(baud)), 0, 'f', 3),
        share >= 0.92);
}

void printGapZero(const Series &times, double libmodbus)
{
    const double ms = times.median();
    const double rate = ms > 0 ? backupRegisters / (ms / 1000) : 0;
    const bool measured = rate > 0 && libmodbus > 0;
    bench::printResult(QStringLiteral("command-line backup, 300 registers one a request, --gap 0, process start "
                                      "and late-reply listening included"),
                       measured ? QStringLiteral("%1 ms = %2 reg/s = %3 x libmodbus's %4 reg/s")
                                      .arg(ms, 0, 'f', 1)
                                      .arg(rate, 0, 'f', 1)
                                      .arg(rate / libmodbus, 0, 'f', 3)
                                      .arg(libmodbus, 0, 'f', 1)
                                : notMeasured(),
                       QStringLiteral(">= 0.95 x libmodbus"), measured && rate >= 0.95 * libmodbus);
}

void printBlocks(const Series &times)
{
    const double boundMs = 3 * readTransactionMs(100, defaultGapMs(baud));
    const double ms = times.median();
    const double ratio = ms > 0 ? ms / boundMs : 0;
    bench::printResult(QStringLiteral("command-line backup, 300 registers, blockRead:100, process start and "
                                      "late-reply listening included"),
                       ms > 0 ? QStringLiteral("%1 ms = %2 x the wire-time bound %3 ms")
                                    .arg(ms, 0, 'f', 1)
                                    .arg(ratio, 0, 'f', 2)
                                    .arg(boundMs, 0, 'f', 1)
                              : notMeasured(),
                       QStringLiteral("<= 1.15 x the bound (3 x (8 + 205 bytes, turnaround, gap))"),
                       ms > 0 && ratio <= 1.15);
}

void printSilence(const QString &setting, const SilenceSeries &silences, double promisedMs)
{
    const bool measured = silences.complete && !silences.medians.isEmpty();
    bench::printResult(QStringLiteral("shortest silence before a request, 300-register backup, %1").arg(setting),
                       measured ? QStringLiteral("%1 ms (median %2 ms, %3 backups)")
                                      .arg(silences.shortestMs, 0, 'f', 3)
                                      .arg(bench::median(silences.medians), 0, 'f', 3)
                                      .arg(silences.medians.size())
                                : notMeasured(),
                       QStringLiteral(">= %1 ms").arg(promisedMs, 0, 'f', 3),
                       measured && silences.shortestMs >= promisedMs);
}

// The gap at a slow rate and a given one, three backups each.
void measureSilences(const SilenceSeries &atLineSpeed)
{
    constexpr int slowBaud = 9600;
    const QByteArray single = mapWithBlockRead(backupRegisters, 1, 1);
    SilenceSeries slow, given;
    for (int round = 0; round < 3; ++round) {
        slow.add(runBackup(single, slowBaud));
        given.add(runBackup(single, baud, {QStringLiteral("--gap"), QStringLiteral("10")}));
    }
    printSilence(QStringLiteral("9600 baud, default gap"), slow, defaultGapMs(slowBaud));
    printSilence(QStringLiteral("115200 baud, default gap"), atLineSpeed, defaultGapMs(baud));
    printSilence(QStringLiteral("115200 baud, --gap 10"), given, 10);
}

// Median time of 5 window refreshes, from pressing 打开串口 to the
// refresh's end, the port closed between; 0 unless every request of every
// refresh got its reply.
double refreshMs(const QByteArray &map, int registers, int blockRead)
{
    ServedMap simulator(map, baud, pacedLine);
    if (!simulator.started)
        return 0;
    MainWindow window;
    window.show();
    int requests = 0;
    int replies = 0;
    QObject::connect(Serial::instance(), &Serial::sendDataShow, &window, [&requests] { ++requests; });
    QObject::connect(Serial::instance(), &Serial::haveReceive, &window, [&replies] { ++replies; });
    auto *openButton = window.findChild<QPushButton *>(QStringLiteral("pushButton_open"));
    const int expected = (registers + blockRead - 1) / blockRead;
    Series times;
    for (int run = 0; run < 5; ++run) {
        requests = replies = 0;
        const qint64 start = bench::monotonicNs();
        SimulatedLine::openPort(window, simulator.line.path(), baud);
        const bool ended = SimulatedLine::waitForRefreshEnd(window, 60000);
        const double ms = (bench::monotonicNs() - start) / 1e6;
        times.add(ended && requests == expected && replies == requests ? ms : 0);
        openButton->click();
    }
    return times.median();
}

// A figure only: the refresh's requests leave on the ticks of txTime, not at
// line speed.
void printRefreshFigure(double libmodbus)
{
    const double ms = refreshMs(mapWithBlockRead(50, 1, 1), 50, 1);
    const double rate = ms > 0 ? 50 / (ms / 1000) : 0;
    bench::printFigure(QStringLiteral("tool read rate, txTime 1, against libmodbus (window's refresh of 50 "
                                      "registers, paced by txTime)"),
                       rate > 0 && libmodbus > 0 ? QStringLiteral("%1 reg/s = %2 x libmodbus's %3 reg/s")
                                                       .arg(rate, 0, 'f', 1)
                                                       .arg(rate / libmodbus, 0, 'f', 3)
                                                       .arg(libmodbus, 0, 'f', 1)
                                                 : notMeasured());
}

void compareBlockRefreshes()
{
    const double single = refreshMs(mapWithBlockRead(100, 1, 1), 100, 1);
    const double block = refreshMs(mapWithBlockRead(100, 1, 100), 100, 100);
    const bool measured = single > 0 && block > 0;
    const double speedUp = measured ? single / block : 0;
    bench::printResult(QStringLiteral("refresh of 100 registers, blockRead:100 against blockRead:1"),
                       measured ? QStringLiteral("%1 x faster (%2 against %3 ms)")
                                      .arg(speedUp, 0, 'f', 2)
                                      .arg(block, 0, 'f', 1)
                                      .arg(single, 0, 'f', 1)
                                : notMeasured(),
                       QStringLiteral(">= 10 x"), measured && speedUp >= 10);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const LineSpeedRounds measured = runRounds();
    const double libmodbus = measured.libmodbus.median();
    bench::printFigure(QStringLiteral("libmodbus back to back, 1 register, 115200 paced"),
                       libmodbus > 0 ? QStringLiteral("%1 reg/s (line and turnaround allow %2)")
                                           .arg(libmodbus, 0, 'f', 1)
                                           .arg(1000.0 / readTransactionMs(1, 0), 0, 'f', 1)
                                     : notMeasured());
    printGapDefault(measured.gapDefault);
    printGapZero(measured.gapZero, libmodbus);
    printBlocks(measured.blocks);
    measureSilences(measured.silenceDefault);
    printRefreshFigure(libmodbus);
    compareBlockRefreshes();
    return 0;
}

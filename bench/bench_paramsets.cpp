// Parameter sets against tools/simdriver at 115200 baud, txTime 5, run as
// the command line runs them (BatchRun, without a window):
// - a restore of 100 differing registers at line speed: 100 reads, 100
//   writes and 100 read backs, against the wire-time bound: each request and
//   its reply on the line, the driver's turnaround and the Modbus RTU gap
//   of 1.75 ms before the next request;
// - a backup of a 1,000-register map against one refresh of the same map in
//   the window.
#include "ui/mainwindow.h"
#include "benchsupport.h"
#include "cli/batchrun.h"
#include "cli/commandline.h"
#include "serial/serial.h"
#include "simulatedline.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>

#include <cmath>

namespace {

constexpr int baud = 115200;
constexpr int txTime = 5;
// Request and reply, ten bits a byte: a read is 8 + 7 bytes, a write 8 + 8.
constexpr double readLineMs = (8 + 7) * 10 * 1000.0 / baud;
constexpr double writeLineMs = (8 + 8) * 10 * 1000.0 / baud;

// Above 19200 baud the silence between frames is 1.75 ms.
constexpr double interFrameGapMs = 1.75;

double requestBoundMs(double lineMs, double turnaroundMs)
{
    return lineMs + turnaroundMs + interFrameGapMs;
}

QByteArray writableMap(int registers)
{
    QByteArray map = "slaveAddress:1,txTime:" + QByteArray::number(txTime) + ",rxOutTime:1000\n";
    for (int i = 0; i < registers; ++i)
        map += "indexes:0x" + QByteArray::number(i, 16).rightJustified(4, '0').toUpper()
             + ",permission:RW,defaultValue:0x0000,rangeValue:0~65535,name:Parameter "
             + QByteArray::number(i) + ",remarks:\n";
    return map;
}

// Runs steppertool's batch run in this process; its duration in ms, or -1
// when it did not end with `expected`.
double timedBatchRun(const QStringList &arguments, int expected)
{
    CommandLine commandLine;
    commandLine.parse(QStringList{QStringLiteral("steppertool")} + arguments);
    BatchRun run(commandLine);
    QEventLoop loop;
    int status = -1;
    QObject::connect(&run, &BatchRun::finished, &loop, [&](int code) {
        status = code;
        loop.quit();
    });
    const qint64 start = bench::monotonicNs();
    QTimer::singleShot(0, &run, &BatchRun::start);
    loop.exec();
    const double ms = (bench::monotonicNs() - start) / 1e6;
    return status == expected ? ms : -1;
}

void measureRestore()
{
    constexpr int count = 100;
    QTemporaryDir dir;
    const QString mapFile = dir.filePath(QStringLiteral("RegisterInfo"));
    bench::writeFile(mapFile, writableMap(count));
    QByteArray values = "address,value\n";
    for (int i = 0; i < count; ++i)
        values += "0x" + QByteArray::number(i, 16).rightJustified(4, '0') + ',' + QByteArray::number(i + 1) + '\n';
    const QString valueFile = dir.filePath(QStringLiteral("values.csv"));
    bench::writeFile(valueFile, values);
    SimulatedLine line;
    if (!line.start(mapFile, baud))
        return void(std::fprintf(stderr, "bench_paramsets: the simulator did not start\n"));
    // The driver's turnaround: from a written request to its first reply byte.
    QVector<double> turnarounds;
    qint64 sent = 0;
    QObject context;
    QObject::connect(Serial::instance(), &Serial::sendDataShow, &context, [&sent] { sent = bench::monotonicNs(); });
    QObject::connect(Serial::instance()->serialPort, &QSerialPort::readyRead, &context, [&] {
        if (sent)
            turnarounds << (bench::monotonicNs() - sent) / 1e6;
        sent = 0;
    });
    const double ms = timedBatchRun({"--port", line.path(), "--baud", QString::number(baud), "--map", mapFile,
                                     "--restore", valueFile}, 0);
    const double turnaround = bench::median(turnarounds);
    const double bound = count * (2 * requestBoundMs(readLineMs, turnaround) + requestBoundMs(writeLineMs, turnaround));
    bench::printFigure(QStringLiteral("restore: request to first reply byte"), QStringLiteral("%1 ms").arg(turnaround, 0, 'f', 2));
    bench::printResult(QStringLiteral("restore of 100 differing registers at line speed"),
                       QStringLiteral("%1 ms = %2 x the wire-time bound of %3 ms").arg(ms, 0, 'f', 0)
                           .arg(ms / bound, 0, 'f', 2).arg(bound, 0, 'f', 0),
                       QStringLiteral("<= 1.2 x"), ms > 0 && ms <= 1.2 * bound);
}

void measureBackup()
{
    constexpr int count = 1000;
    QTemporaryDir dir;
    const QString mapFile = dir.filePath(QStringLiteral("RegisterInfo"));
    bench::writeFile(mapFile, bench::generatedMap(count, txTime));
    QDir::setCurrent(dir.path());
    SimulatedLine line;
    if (!line.start(mapFile, baud))
        return void(std::fprintf(stderr, "bench_paramsets: the simulator did not start\n"));

    double refreshMs = -1;
    {
        MainWindow window;
        window.show();
        qint64 firstSend = 0;
        QObject::connect(Serial::instance(), &Serial::sendDataShow, &window, [&firstSend] {
            if (firstSend == 0)
                firstSend = bench::monotonicNs();
        });
        SimulatedLine::openPort(window, line.path(), baud);
        if (SimulatedLine::waitForRefreshEnd(window, 120000))
            refreshMs = (bench::monotonicNs() - firstSend) / 1e6;
        window.findChild<QPushButton *>(QStringLiteral("pushButton_open"))->click();
    }
    const double backupMs = timedBatchRun({"--port", line.path(), "--baud", QString::number(baud), "--map", mapFile,
                                           "--backup", dir.filePath(QStringLiteral("backup.csv"))}, 0);
    bench::printResult(QStringLiteral("backup of a 1,000-register map, txTime 5"),
                       QStringLiteral("%1 ms = %2 x one refresh (%3 ms)").arg(backupMs, 0, 'f', 0)
                           .arg(backupMs / refreshMs, 0, 'f', 2).arg(refreshMs, 0, 'f', 0),
                       QStringLiteral("<= 1.1 x"), backupMs > 0 && refreshMs > 0 && backupMs <= 1.1 * refreshMs);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir dataHome;
    // The restore's undo file must not land in the user's data folder.
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    measureRestore();
    measureBackup();
    return 0;
}

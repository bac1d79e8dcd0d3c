// Start-up: from process start until every register of the sample map shows
// its first value, with the port given on the command line (--port PATH
// --open) and served by tools/simdriver at the line's own pace; the first
// painted frame with the sample map; and the first frame with generated maps
// of 10,000 and 100,000 registers.
#include "benchsupport.h"
#include "registermap/registermap.h"
#include "simulatedline.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

constexpr int baud = 9600; // the window's own until the user picks another
constexpr double turnaroundMs = 1; // the simulator's, as --pace keeps it
constexpr int readRequestBytes = 8;
constexpr int singleReadReplyBytes = 7;
constexpr int startAllowanceMs = 200;

struct Launch
{
    double reportedMs = -1;
    double peakMiB = -1;
    int requests = -1; // requests sent until every readable row had its value
};

// Runs a program that ends itself once it has what is measured (firstpaint.h,
// startup_firstvalues.cpp) and reads what it reports. Remembered settings
// stay out of reach in a folder of the launch's own.
Launch launch(const QString &program, const QString &workDir, const QStringList &arguments = {})
{
    QTemporaryDir settings;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workDir);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), settings.path());
    environment.insert(QStringLiteral("BENCH_SPAWN_NS"), QString::number(bench::monotonicNs()));
    process.setProcessEnvironment(environment);
    process.start();
    Launch result;
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return result;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() != 2)
            continue;
        if (words[0] == "painted_ms" || words[0] == "values_ms")
            result.reportedMs = words[1].toDouble();
        else if (words[0] == "hwm_kib")
            result.peakMiB = words[1].toDouble() / 1024;
        else if (words[0] == "requests")
            result.requests = words[1].toInt();
    }
    return result;
}

struct Medians
{
    double reportedMs;
    double peakMiB;
};

Medians launchRepeatedly(const QString &program, const QString &workDir, int runs)
{
    QVector<double> times, peaks;
    for (int i = 0; i < runs; ++i) {
        const Launch run = launch(program, workDir);
        times << run.reportedMs;
        peaks << run.peakMiB;
    }
    return {bench::median(times), bench::median(peaks)};
}

QString folderWithMap(QTemporaryDir &dir, const QString &name, const QByteArray &map)
{
    const QString folder = dir.filePath(name);
    QDir().mkpath(folder);
    bench::writeFile(folder + QStringLiteral("/RegisterInfo"), map);
    return folder;
}

// The rows a refresh reads: valid addresses the map lets the tool read.
int readableRows(const QString &mapFile, int *txTime)
{
    RegisterMap map;
    loadRegisterMap(mapFile, &map);
    *txTime = map.txTime;
    int rows = 0;
    for (const RegisterInfo &info : qAsConst(map.registers))
        rows += info.addressValid && info.permission.contains(QLatin1Char('R'), Qt::CaseInsensitive);
    return rows;
}

// The time the pacing and the line need at least: the window sends one
// request a tick, the first on the first tick after the port opens, so the
// last of R requests leaves after R ticks and its reply is complete one
// transaction's wire time later.
double pacedBoundMs(double requests, int txTime)
{
    const double wireMs = (readRequestBytes + singleReadReplyBytes) * 10 * 1000.0 / baud + turnaroundMs;
    return requests * txTime + wireMs;
}

// A simulator of its own for each launch, so every run starts from the same
// line.
Launch firstValues(const QString &sampleFolder)
{
    SimulatedLine line;
    const QStringList options{QStringLiteral("--pace")};
    if (!line.start(sampleFolder + QStringLiteral("/RegisterInfo"), baud, options))
        return {};
    return launch(QStringLiteral(STARTUP_FIRSTVALUES), sampleFolder,
                  {QStringLiteral("--port"), line.path(), QStringLiteral("--open")});
}

// A launch that gets no figure ends the row: the others would wait as long.
void measureFirstValues(const QString &sampleFolder, int runs)
{
    int txTime = 0;
    const int rows = readableRows(sampleFolder + QStringLiteral("/RegisterInfo"), &txTime);
    QVector<double> times, requests;
    for (int i = 0; i < runs; ++i) {
        const Launch run = firstValues(sampleFolder);
        if (run.reportedMs < 0 || run.requests < 0)
            break;
        times << run.reportedMs;
        requests << run.requests;
    }
    const bool measured = times.size() == runs;
    const double measuredMs = bench::median(times);
    const double sent = bench::median(requests);
    const double bound = pacedBoundMs(sent, txTime);
    const double target = bound + startAllowanceMs;
    bench::printResult(QStringLiteral("start with --port SIM --open until all %1 readable rows of the sample map "
                                      "have their first value (txTime %2, 9600 baud)").arg(rows).arg(txTime),
                       measured ? QStringLiteral("%1 ms (paced bound %2 ms for the %3 requests sent)")
                                      .arg(measuredMs, 0, 'f', 0)
                                      .arg(bound, 0, 'f', 0)
                                      .arg(sent, 0, 'f', 0)
                                : QStringLiteral("not measured: launch %1 of %2 got no value in 20 s")
                                      .arg(times.size() + 1)
                                      .arg(runs),
                       QStringLiteral("<= paced bound + %1 ms").arg(startAllowanceMs),
                       measured && measuredMs <= target);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QFile sample(QStringLiteral(SOURCE_DIR "/RegisterInfo"));
    sample.open(QIODevice::ReadOnly);
    const QString sampleFolder = folderWithMap(dir, QStringLiteral("sample"), sample.readAll());
    measureFirstValues(sampleFolder, 9);

    launch(QStringLiteral(STARTUP_TOOL), sampleFolder); // warms the page cache
    const Medians painted = launchRepeatedly(QStringLiteral(STARTUP_TOOL), sampleFolder, 9);
    bench::printFigure(QStringLiteral("start-up to the first frame, tool with the sample map"),
                       QStringLiteral("%1 ms").arg(painted.reportedMs, 0, 'f', 1));

    const QString large = folderWithMap(dir, QStringLiteral("large"), bench::generatedMap(10000));
    const Medians tenThousand = launchRepeatedly(QStringLiteral(STARTUP_TOOL), large, 5);
    bench::printResult(QStringLiteral("start-up, 10,000 registers"),
                       QStringLiteral("%1 ms").arg(tenThousand.reportedMs, 0, 'f', 0),
                       QStringLiteral("< 1500 ms"), tenThousand.reportedMs > 0 && tenThousand.reportedMs < 1500);
    bench::printResult(QStringLiteral("peak memory, 10,000 registers"),
                       QStringLiteral("%1 MB").arg(tenThousand.peakMiB * 1.048576, 0, 'f', 1),
                       QStringLiteral("< 150 MB"), tenThousand.peakMiB > 0 && tenThousand.peakMiB * 1.048576 < 150);

    const QString huge = folderWithMap(dir, QStringLiteral("huge"), bench::generatedMap(100000));
    const Medians hundredThousand = launchRepeatedly(QStringLiteral(STARTUP_TOOL), huge, 3);
    bench::printFigure(QStringLiteral("start-up, 100,000 registers"),
                       QStringLiteral("%1 ms, peak %2 MB")
                           .arg(hundredThousand.reportedMs, 0, 'f', 0)
                           .arg(hundredThousand.peakMiB * 1.048576, 0, 'f', 0));
    return 0;
}

// Start-up: from process start to the first painted frame, for the tool
// with the sample map, for a minimal Qt Widgets program beside it, and for
// the tool with generated maps of 10,000 and 100,000 registers.
#include "benchsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

struct Launch
{
    double paintedMs = -1;
    double peakMiB = -1;
};

// Runs a program that ends itself at its first paint (firstpaint.h) and
// reads what it reports.
Launch launch(const QString &program, const QString &workDir)
{
    QProcess process;
    process.setProgram(program);
    process.setWorkingDirectory(workDir);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
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
        if (words[0] == "painted_ms")
            result.paintedMs = words[1].toDouble();
        else if (words[0] == "hwm_kib")
            result.peakMiB = words[1].toDouble() / 1024;
    }
    return result;
}

struct Medians
{
    double paintedMs;
    double peakMiB;
};

Medians launchRepeatedly(const QString &program, const QString &workDir, int runs)
{
    QVector<double> times, peaks;
    for (int i = 0; i < runs; ++i) {
        const Launch run = launch(program, workDir);
        times << run.paintedMs;
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

void compareWithMinimal(const QString &sampleFolder, const QString &emptyFolder, int runs)
{
    // One warm-up each, so both start from a warm page cache; then the two
    // programs alternate, so both see the same machine.
    launch(QStringLiteral(STARTUP_TOOL), sampleFolder);
    launch(QStringLiteral(STARTUP_MINIMAL), emptyFolder);
    QVector<double> tool, minimal;
    for (int i = 0; i < runs; ++i) {
        tool << launch(QStringLiteral(STARTUP_TOOL), sampleFolder).paintedMs;
        minimal << launch(QStringLiteral(STARTUP_MINIMAL), emptyFolder).paintedMs;
    }
    const double ratio = bench::median(tool) / bench::median(minimal);
    bench::printFigure(QStringLiteral("start-up, minimal Qt program"),
                       QStringLiteral("%1 ms").arg(bench::median(minimal), 0, 'f', 1));
    bench::printFigure(QStringLiteral("start-up, tool with the sample map"),
                       QStringLiteral("%1 ms").arg(bench::median(tool), 0, 'f', 1));
    bench::printResult(QStringLiteral("start-up against the minimal program"),
                       QStringLiteral("%1 x").arg(ratio, 0, 'f', 2), QStringLiteral("<= 1.5 x"),
                       ratio <= 1.5);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString empty = folderWithMap(dir, QStringLiteral("minimal"), QByteArray());
    QFile sample(QStringLiteral(SOURCE_DIR "/RegisterInfo"));
    sample.open(QIODevice::ReadOnly);
    const QString sampleFolder = folderWithMap(dir, QStringLiteral("sample"), sample.readAll());
    compareWithMinimal(sampleFolder, empty, 9);

    const QString large = folderWithMap(dir, QStringLiteral("large"), bench::generatedMap(10000));
    const Medians tenThousand = launchRepeatedly(QStringLiteral(STARTUP_TOOL), large, 5);
    bench::printResult(QStringLiteral("start-up, 10,000 registers"),
                       QStringLiteral("%1 ms").arg(tenThousand.paintedMs, 0, 'f', 0),
                       QStringLiteral("< 1500 ms"), tenThousand.paintedMs > 0 && tenThousand.paintedMs < 1500);
    bench::printResult(QStringLiteral("peak memory, 10,000 registers"),
                       QStringLiteral("%1 MB").arg(tenThousand.peakMiB * 1.048576, 0, 'f', 1),
                       QStringLiteral("< 150 MB"), tenThousand.peakMiB > 0 && tenThousand.peakMiB * 1.048576 < 150);

    const QString huge = folderWithMap(dir, QStringLiteral("huge"), bench::generatedMap(100000));
    const Medians hundredThousand = launchRepeatedly(QStringLiteral(STARTUP_TOOL), huge, 3);
    bench::printFigure(QStringLiteral("start-up, 100,000 registers"),
                       QStringLiteral("%1 ms, peak %2 MB")
                           .arg(hundredThousand.paintedMs, 0, 'f', 0)
                           .arg(hundredThousand.peakMiB * 1.048576, 0, 'f', 0));
    return 0;
}

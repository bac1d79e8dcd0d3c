// soak: runs the real main window against the simulated driver for a set
// time, polling without pause and writing registers through the value
// editor, and reports memory and traffic counts once a minute. It ends with
// a verdict and exits non-zero when the verdict fails.

#include "memoryuse.h"
#include "simulatorprocess.h"
#include "soakmap.h"
#include "soakrun.h"
#include "verdict.h"

#include "ui/mainwindow.h"
#include "support/windowinternals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int reportSeconds = 60;
// Long enough for a slow refresh of a large map at a slow pace.
constexpr int drainTimeoutMs = 120000;

struct Options
{
    int seconds = 0;
    QString simulator;
    QString mapFile;
    QString simulatorLog;
    Limits limits;
};

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

bool positiveNumber(const QString &text, int *number)
{
    bool ok = false;
    *number = text.toInt(&ok, 10);
    return ok && *number > 0;
}

bool parseOptions(const QApplication &app, Options &options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Soaks the register tool's main window against the simulated driver."));
    parser.addHelpOption();
    const QCommandLineOption minutes(QStringLiteral("minutes"), QStringLiteral("run for N minutes"), QStringLiteral("N"));
    const QCommandLineOption seconds(QStringLiteral("seconds"), QStringLiteral("run for N seconds"), QStringLiteral("N"));
    const QCommandLineOption simulator(QStringLiteral("simdriver"), QStringLiteral("the simulated driver program"),
                                       QStringLiteral("PATH"), QStringLiteral(SIMDRIVER_PATH));
    const QCommandLineOption map(QStringLiteral("map"),
                                 QStringLiteral("register map to serve (default: a generated one, 32 registers, txTime 20 ms)"),
                                 QStringLiteral("FILE"));
    const QCommandLineOption simulatorLog(QStringLiteral("sim-log"), QStringLiteral("file for the simulator's request log"),
                                          QStringLiteral("FILE"));
    const QCommandLineOption heapLimit(QStringLiteral("heap-limit-kb"), QStringLiteral("allowed heap growth after minute 1"),
                                       QStringLiteral("KB"), QStringLiteral("2048"));
    const QCommandLineOption rssLimit(QStringLiteral("rss-limit-kb"), QStringLiteral("allowed RSS growth after minute 1"),
                                      QStringLiteral("KB"), QStringLiteral("2048"));
    parser.addOptions({minutes, seconds, simulator, map, simulatorLog, heapLimit, rssLimit});
    parser.process(app);

    int number = 0;
    if (parser.isSet(minutes) == parser.isSet(seconds)) {
        say(QStringLiteral("soak: give exactly one of --minutes and --seconds"));
        return false;
    }
    if (!positiveNumber(parser.value(parser.isSet(minutes) ? minutes : seconds), &number)) {
        say(QStringLiteral("soak: the run length must be a positive whole number"));
        return false;
    }
    options.seconds = parser.isSet(minutes) ? number * 60 : number;
    int heap = 0;
    int rss = 0;
    if (!positiveNumber(parser.value(heapLimit), &heap) || !positiveNumber(parser.value(rssLimit), &rss)) {
        say(QStringLiteral("soak: memory limits must be positive whole numbers of kB"));
        return false;
    }
    options.limits.heapGrowthKb = heap;
    options.limits.rssGrowthKb = rss;
    options.simulator = parser.value(simulator);
    options.mapFile = parser.value(map);
    options.simulatorLog = parser.value(simulatorLog);
    return true;
}

// The window reads its map from the working folder; the simulator gets the same file.
bool placeMap(const Options &options, const QString &folder)
{
    QByteArray map = soakRegisterMap();
    if (!options.mapFile.isEmpty()) {
        QFile given(options.mapFile);
        if (!given.open(QIODevice::ReadOnly))
            return false;
        map = given.readAll();
    }
    QFile placed(folder + QStringLiteral("/RegisterInfo"));
    return placed.open(QIODevice::WriteOnly) && placed.write(map) == map.size();
}

QString tableLine(const Report &report)
{
    const SoakRun::Counts &c = report.counts;
    return QStringLiteral("%1:%2 %3 %4 %5 %6 %7 %8 %9")
        .arg(report.seconds / 60, 4).arg(report.seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(report.memory.rssKb, 9).arg(report.memory.heapKb, 9)
        .arg(c.refreshes, 10).arg(c.writesSent, 8).arg(c.writesEchoed, 8).arg(c.writesConfirmed, 10)
        .arg(c.timeouts, 9);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options options;
    if (!parseOptions(app, options))
        return 2;

    QTemporaryDir folder;
    if (!folder.isValid() || !placeMap(options, folder.path())) {
        say(QStringLiteral("soak: cannot place the register map in a working folder"));
        return 1;
    }
    QDir::setCurrent(folder.path());
    SimulatorProcess simulator;
    const QString port = simulator.start(options.simulator, folder.path() + QStringLiteral("/RegisterInfo"),
                                         options.simulatorLog);
    if (port.isEmpty()) {
        say(QStringLiteral("soak: the simulated driver %1 did not start").arg(options.simulator));
        return 1;
    }

    MainWindow window;
    window.show();
    SoakRun run(window);
    say(QStringLiteral("soak: %1 registers, txTime %2 ms, rxOutTime %3 ms, driver on %4, %5 s")
            .arg(MainWindowInspector::registerList(window).size())
            .arg(MainWindowInspector::txTime(window))
            .arg(MainWindowInspector::rxOutTime(window))
            .arg(port).arg(options.seconds));
    say(QStringLiteral("time   rss_kB   heap_kB  refreshes  writes   echoed  confirmed  timeouts"));
    QList<Report> reports{Report{0, currentMemoryUse(), run.counts()}};
    say(tableLine(reports.last()));
    if (!run.openPort(port)) {
        say(QStringLiteral("soak: the window could not open %1").arg(port));
        return 1;
    }

    bool drained = false;
    bool simulatorLost = false;
    QElapsedTimer clock;
    clock.start();
    QTimer checkpoint;
    checkpoint.setSingleShot(true);
    QTimer drainGuard;
    drainGuard.setSingleShot(true);
    const auto nextCheckpoint = [&] {
        const int done = reports.last().seconds;
        checkpoint.start(qMax<qint64>(0, qint64(qMin(done + reportSeconds, options.seconds)) * 1000 - clock.elapsed()));
    };
    QObject::connect(&checkpoint, &QTimer::timeout, [&] {
        reports.append(Report{qMin(reports.last().seconds + reportSeconds, options.seconds), currentMemoryUse(), run.counts()});
        say(tableLine(reports.last()));
        if (reports.last().seconds < options.seconds) {
            nextCheckpoint();
            return;
        }
        run.finish();
        drainGuard.start(drainTimeoutMs);
    });
    QObject::connect(&run, &SoakRun::drained, [&] { drained = true; app.quit(); });
    QObject::connect(&drainGuard, &QTimer::timeout, &app, &QApplication::quit);
    QObject::connect(&simulator, &SimulatorProcess::exitedEarly, [&] { simulatorLost = true; app.quit(); });
    nextCheckpoint();
    app.exec();

    for (const QString &failure : run.writeFailures())
        say(QStringLiteral("soak: write failed: ") + failure);
    Verdict verdict = judge(reports, run.counts(), drained, options.limits);
    if (simulatorLost) {
        verdict.passed = false;
        verdict.lines.prepend(QStringLiteral("FAIL  the simulated driver exited during the run"));
    }
    for (const QString &line : verdict.lines)
        say(QStringLiteral("verdict: ") + line);
    say(verdict.passed ? QStringLiteral("verdict: PASS") : QStringLiteral("verdict: FAIL"));
    window.findChild<QPushButton *>(QStringLiteral("pushButton_open"))->click();
    return verdict.passed ? 0 : 1;
}

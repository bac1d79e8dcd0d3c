#include "ui/mainwindow.h"
#include "translation.h"

#include "cli/batchrun.h"
#include "cli/busbatch.h"
#include "cli/capturecommand.h"
#include "cli/commandline.h"
#include "cli/commandsend.h"
#include "cli/mapnotread.h"
#include "util/interruptwatch.h"
#include "registermap/registermap.h"
#include "scan/scancommand.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("steppertool"));
    QCoreApplication::setOrganizationName(QStringLiteral("steppertool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(STEPPERTOOL_VERSION));
}

// The scan asks for the map's first register, or register 0 without a map.
// One run until it finishes; the first Ctrl+C asks it to stop.
template <typename Run>
int runInTurn(const CommandLine &commandLine, QCoreApplication &app)
{
    Run run(commandLine);
    InterruptWatch interrupts;
    QObject::connect(&interrupts, &InterruptWatch::interrupted, &run, &Run::interrupt);
    QObject::connect(&run, &Run::finished, &app, &QCoreApplication::exit);
    QTimer::singleShot(0, &run, &Run::start);
    return app.exec();
}

int runScan(CommandLine &commandLine)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    RegisterMap map;
    const bool mapGiven = !commandLine.startOptions().mapFile.isEmpty();
    if (!loadRegisterMap(commandLine.mapPath, &map) && mapGiven) {
        err << "steppertool: " << mapNotReadText(commandLine.mapPath) << Qt::endl;
        return 1;
    }
    for (const RegisterInfo &info : qAsConst(map.registers)) {
        if (info.addressValid) {
            commandLine.scan.registerAddress = info.address;
            break;
        }
    }
    return runScanCommand(commandLine.scan, out, err);
}

// Help, version, refusals, backup/compare/restore, the scan and a command:
// no display needed.
int runWithoutWindow(int argc, char *argv[], CommandLine &commandLine)
{
    QCoreApplication app(argc, argv);
    nameApplication();
    // The command line speaks English, also in the few texts it shares
    // with the window (a port that will not open).
    installTranslation(app, QStringLiteral("en"));
#ifdef Q_OS_UNIX
    // A reader of stdout that goes away (| head) must not end a restore
    // midway or a backup before its file is saved: writes to the closed
    // pipe fail instead, and the run finishes its work.
    signal(SIGPIPE, SIG_IGN);
#endif
    switch (commandLine.action()) {
    case CommandLine::Action::Help:
        fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    case CommandLine::Action::Version:
        printf("steppertool %s\n", STEPPERTOOL_VERSION);
        return 0;
    case CommandLine::Action::Invalid:
        // One line naming what was refused; the options are a --help away.
        fprintf(stderr, "steppertool: %s (see --help)\n", qPrintable(commandLine.error()));
        return 1;
    case CommandLine::Action::Scan:
        return runScan(commandLine);
    case CommandLine::Action::Command:
        return runInTurn<CommandSend>(commandLine, app);
    case CommandLine::Action::Capture:
        return runInTurn<CaptureCommand>(commandLine, app);
    default:
        break;
    }
    if (commandLine.slaveAddresses.size() > 1)
        return runInTurn<BusBatch>(commandLine, app);
    return runInTurn<BatchRun>(commandLine, app);
}

QStringList argumentList(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace

int main(int argc, char *argv[])
{
    // Decided before any application object exists: a run without a window
    // must not need a display.
    CommandLine commandLine;
    commandLine.parse(argumentList(argc, argv));
    if (commandLine.isBatch())
        return runWithoutWindow(argc, argv, commandLine);

    QApplication app(argc, argv);
    nameApplication();
    installTranslation(app, startLanguage(commandLine.language));
    MainWindow window;
    window.show();
    window.applyStartOptions(commandLine.startOptions());
    return app.exec();
}

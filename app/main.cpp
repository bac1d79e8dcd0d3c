#include "mainwindow.h"
#include "translation.h"

#include "cli/batchrun.h"
#include "cli/commandline.h"
#include "cli/interruptwatch.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("steppertool"));
    QCoreApplication::setOrganizationName(QStringLiteral("steppertool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(STEPPERTOOL_VERSION));
}

// Help, version, refusals and backup/compare/restore: no display needed.
int runWithoutWindow(int argc, char *argv[], CommandLine &commandLine)
{
    QCoreApplication app(argc, argv);
    nameApplication();
    switch (commandLine.action()) {
    case CommandLine::Action::Help:
        fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    case CommandLine::Action::Version:
        printf("steppertool %s\n", STEPPERTOOL_VERSION);
        return 0;
    case CommandLine::Action::Invalid:
        fprintf(stderr, "steppertool: %s\n%s", qPrintable(commandLine.error()),
                qPrintable(commandLine.helpText()));
        return 1;
    default:
        break;
    }
    BatchRun run(commandLine);
    InterruptWatch interrupts;
    QObject::connect(&interrupts, &InterruptWatch::interrupted, &run, &BatchRun::interrupt);
    QObject::connect(&run, &BatchRun::finished, &app, &QCoreApplication::exit);
    QTimer::singleShot(0, &run, &BatchRun::start);
    return app.exec();
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
    installTranslation(app, commandLine.language);
    nameApplication();
    MainWindow window;
    window.show();
    return app.exec();
}

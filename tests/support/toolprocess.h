#ifndef TOOLPROCESS_H
#define TOOLPROCESS_H

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// One run of the built steppertool, as from a script over ssh: no display
// of any kind. status is the exit code, -1 when it did not end within a
// minute, -2 when it crashed.
struct ToolRun
{
    int status = -1;
    QString out;
    QString err;
};

inline ToolRun runTool(const QString &workFolder, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workFolder);
    process.start(QStringLiteral(STEPPERTOOL_PATH), arguments);
    ToolRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

#endif // TOOLPROCESS_H

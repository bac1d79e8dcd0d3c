#include "simulatorprocess.h"

SimulatorProcess::~SimulatorProcess()
{
    disconnect(&process, nullptr, this, nullptr);
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(5000);
}

QString SimulatorProcess::start(const QString &program, const QString &mapFile, const QString &logFile)
{
    process.setStandardErrorFile(logFile.isEmpty() ? QProcess::nullDevice() : logFile);
    process.start(program, {QStringLiteral("--map"), mapFile});
    if (!process.waitForStarted(5000))
        return QString();
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(10000))
            return QString();
    }
    connect(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &SimulatorProcess::exitedEarly);
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

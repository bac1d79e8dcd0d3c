#include "simulator.h"

Simulator::~Simulator()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(5000);
}

bool Simulator::start(const QString &mapFile, const QStringList &options)
{
    process.start(QStringLiteral(SIMDRIVER_PATH), QStringList{QStringLiteral("--map"), mapFile} + options);
    if (!process.waitForStarted(5000))
        return false;
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(10000))
            return false;
    }
    path = QString::fromLocal8Bit(process.readLine()).trimmed();
    return !path.isEmpty();
}

QString Simulator::log()
{
    stderrText += QString::fromLocal8Bit(process.readAllStandardError());
    return stderrText;
}

void Simulator::kill()
{
    process.kill();
    process.waitForFinished(5000);
}

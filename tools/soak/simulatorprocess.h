#ifndef SIMULATORPROCESS_H
#define SIMULATORPROCESS_H

#include <QObject>
#include <QProcess>

// tools/simdriver as the soak's driver. Its per-request log goes to a file
// (or nowhere), never into a pipe: an unread pipe would fill and stall it,
// and a read one would grow this process's memory for hours.
class SimulatorProcess : public QObject
{
    Q_OBJECT

public:
    ~SimulatorProcess() override;

    // Starts the simulator on a pseudo-terminal of its own and waits (up to
    // 10 s) for the device path it prints; empty on failure.
    QString start(const QString &program, const QString &mapFile, const QString &logFile);

signals:
    void exitedEarly();

private:
    QProcess process;
};

#endif // SIMULATORPROCESS_H

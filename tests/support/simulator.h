#ifndef SIMULATOR_H
#define SIMULATOR_H

#include <QProcess>
#include <QStringList>

// tools/simdriver run as a separate process: an independent Modbus RTU
// slave (libmodbus) serving a RegisterInfo map on a pseudo-terminal of its
// own. start() waits (bounded) for the device path it prints; log() is what
// it has written to stderr so far, one line per request it served. The
// destructor stops it with SIGTERM.
class Simulator
{
public:
    ~Simulator();

    bool start(const QString &mapFile, const QStringList &options = {});
    QString devicePath() const { return path; }
    QString log();
    void kill();

private:
    QProcess process;
    QString path;
    QString stderrText;
};

#endif // SIMULATOR_H

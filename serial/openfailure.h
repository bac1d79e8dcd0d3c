#ifndef OPENFAILURE_H
#define OPENFAILURE_H

#include <QSerialPort>
#include <QString>

// Why a port did not open, told apart so that the advice fits: a port that
// another program holds needs that program closed, not the dialout group.
struct OpenFailure
{
    // StaleLock: a lock file names no running program, yet could not be
    // removed.
    // NoAnswer: a network host neither accepted nor refused within waitedMs.
    enum class Kind { InUse, StaleLock, NoPermission, NoAnswer, Other };
    Kind kind = Kind::Other;
    QString systemText;  // Qt's own description
    QString lockFile;
    qint64 holderPid = 0;  // 0 when no lock file names the holder
    QString holderName;  // from /proc/PID/comm; may be empty
    int waitedMs = 0;

    // English, for the command line.
    QString text() const;
};

// The lock file that serial programs (Qt's among them) create for a port,
// "LCK..ttyUSB0" under /var/lock or /run/lock; empty when none exists.
QString portLockFile(const QString &portName);

// Qt reports a locked port and a port opened exclusively (EBUSY) as a
// permission error, as it does a real one: the lock file and the system's
// text tell them apart.
OpenFailure classifyOpenFailure(QSerialPort::SerialPortError error, const QString &systemText,
                                const QString &portName);

#endif // OPENFAILURE_H

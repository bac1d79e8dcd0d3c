#include "serial/openfailure.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <signal.h>

namespace {

// Where serial programs put port locks, in the order Qt looks.
QStringList lockFolders()
{
    return {QStringLiteral("/var/lock"),         QStringLiteral("/etc/locks"),
            QStringLiteral("/var/spool/locks"),  QStringLiteral("/var/spool/uucp"),
            QStringLiteral("/tmp"),              QStringLiteral("/var/tmp"),
            QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock"),
            QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
}

bool isRunning(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

// A lock file's holder, when the file names a live process.
void readHolder(const QString &lockFile, OpenFailure *failure)
{
    qint64 pid = 0;
    QString host;
    QString program;
    if (!QLockFile(lockFile).getLockInfo(&pid, &host, &program) || !isRunning(pid))
        return;
    failure->holderPid = pid;
    failure->holderName = processName(pid);
}

} // namespace

QString portLockFile(const QString &portName)
{
    // Qt names the lock after the device path without "/dev/", with the
    // remaining slashes as underscores: /dev/pts/3 gives LCK..pts_3.
    QString device = portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
    if (device.startsWith(QLatin1String("/dev/")))
        device = device.mid(5);
    const QString fileName = QStringLiteral("/LCK..") + device.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString &folder : lockFolders()) {
        if (QFileInfo::exists(folder + fileName))
            return folder + fileName;
    }
    return QString();
}

OpenFailure classifyOpenFailure(QSerialPort::SerialPortError error, const QString &systemText,
                                const QString &portName)
{
    OpenFailure failure;
    failure.systemText = systemText;
    if (error != QSerialPort::PermissionError)
        return failure;
    failure.lockFile = portLockFile(portName);
    if (!failure.lockFile.isEmpty())
        readHolder(failure.lockFile, &failure);
    const bool busy = systemText == QString::fromLocal8Bit(std::strerror(EBUSY));
    if (failure.holderPid > 0 || busy)
        failure.kind = OpenFailure::Kind::InUse;
    else if (!failure.lockFile.isEmpty())
        failure.kind = OpenFailure::Kind::StaleLock;
    else
        failure.kind = OpenFailure::Kind::NoPermission;
    return failure;
}

QString OpenFailure::text() const
{
    switch (kind) {
    case Kind::InUse:
        if (holderPid > 0)
            return QStringLiteral("in use by another program (pid %1, %2); close it and try again")
                .arg(holderPid).arg(holderName.isEmpty() ? QStringLiteral("name unknown") : holderName);
        return QStringLiteral("in use by another program; close it and try again");
    case Kind::StaleLock:
        return QStringLiteral("locked by %1, which names no running program; remove that file if nothing uses "
                              "the port").arg(lockFile);
    case Kind::NoPermission:
        return systemText + QStringLiteral(" (add the user to the dialout group, then log in again)");
    case Kind::NoAnswer:
        return QStringLiteral("no answer within %1 ms").arg(waitedMs);
    default:
        return systemText;
    }
}

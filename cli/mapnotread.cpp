#include "cli/mapnotread.h"

#include "util/messagewords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Where cmake --install or the package put the sample map: beside the
// program's prefix, or on the usual data paths.
QString installedSampleMap()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath())
                               .absoluteFilePath(QStringLiteral("../share/steppertool/RegisterInfo"));
    if (QFileInfo(beside).isFile())
        return QDir::cleanPath(beside);
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("steppertool/RegisterInfo"));
}

} // namespace

QString mapNotReadText(const QString &path)
{
    const QString reason = unreadableReason(path);
    QString text = QStringLiteral("cannot read the register map %1").arg(path);
    if (!reason.isEmpty())
        text += QStringLiteral(": ") + reason;
    const QString sample = installedSampleMap();
    text += sample.isEmpty() ? QStringLiteral("; give one with --map FILE (the installed sample map is "
                                              "share/steppertool/RegisterInfo under the install prefix)")
                             : QStringLiteral("; give one with --map FILE, e.g. the sample map %1").arg(sample);
    return text;
}

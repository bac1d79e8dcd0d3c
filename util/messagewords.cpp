#include "util/messagewords.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

QString unreadableReason(const QString &path)
{
    const QFileInfo info(path);
    // Opening a folder would succeed, and a pipe would block.
    if (info.isDir())
        return QString::fromLocal8Bit(std::strerror(EISDIR));
    if (info.exists() && !info.isFile())
        return QStringLiteral("not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return QString();
}

QString countOf(qint64 count, const QString &singular, const QString &plural)
{
    const QString noun = count == 1 ? singular : plural.isEmpty() ? singular + QLatin1Char('s') : plural;
    return QString::number(count) + QLatin1Char(' ') + noun;
}

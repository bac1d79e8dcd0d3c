#include "settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

QString folderKey(const QString &purpose)
{
    return QStringLiteral("folders/") + purpose;
}

} // namespace

QString lastFolder(const QString &purpose)
{
    const QString folder = QSettings().value(folderKey(purpose)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void rememberFolder(const QString &purpose, const QString &path)
{
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    QSettings().setValue(folderKey(purpose), info.isDir() ? info.absoluteFilePath() : info.absolutePath());
}

#ifndef WORKFOLDER_H
#define WORKFOLDER_H

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A temporary working directory, optionally holding a RegisterInfo file, that
// is current for as long as the object lives (the window reads the map from
// the working directory).
class WorkFolder
{
public:
    WorkFolder() : previous(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
    explicit WorkFolder(const QByteArray &registerInfo) : WorkFolder()
    {
        QFile file(dir.filePath(QStringLiteral("RegisterInfo")));
        if (file.open(QIODevice::WriteOnly))
            file.write(registerInfo);
    }
    ~WorkFolder() { QDir::setCurrent(previous); }
    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
    QString previous;
};

#endif // WORKFOLDER_H

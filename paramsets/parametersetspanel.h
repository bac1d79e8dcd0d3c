#ifndef PARAMETERSETSPANEL_H
#define PARAMETERSETSPANEL_H

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include "paramsets/parameterfile.h"
#include "registermap/registerinfo.h"

class CompareDialog;
class ParameterRun;
class RequestScheduler;
class QWidget;

// The driver the window talks to, as a parameter set needs to know it.
struct DriverContext
{
    QList<RegisterInfo> registers;
    QString port;
    quint32 slaveAddress = 1;
    QString mapPath;
};

// The window's backup and restore: reads the driver through the window's
// scheduler, asks for files, and shows the compare dialog that writes.
class ParameterSetsPanel : public QObject
{
    Q_OBJECT

public:
    ParameterSetsPanel(RequestScheduler *scheduler, QWidget *window);

    // Ask for a file name once the driver has been read.
    void backup(const DriverContext &driver);
    void backupTo(const DriverContext &driver, const QString &path);
    // Ask for the file first.
    void load(const DriverContext &driver);
    void loadFrom(const DriverContext &driver, const QString &path);
    // The port closed: whatever was under way cannot finish.
    void stop();
    CompareDialog *dialog() const;

signals:
    void notice(const QString &text);
    // A file that cannot be compared: every problem of the file and every
    // value the map forbids, in the command line's words.
    void fileRefused(const QString &path, const QStringList &problems);

private:
    void readDriver(const DriverContext &driver);
    void onRead(const QHash<quint16, quint16> &values);
    void saveBackup(const QHash<quint16, quint16> &values);
    void showComparison(const QHash<quint16, quint16> &values);
    void writeTicked(const QList<ParameterEntry> &writes);

    enum class Purpose { Backup, Compare };

    QWidget *window;
    ParameterRun *run;
    QPointer<CompareDialog> compareDialog;
    DriverContext context;
    Purpose purpose = Purpose::Backup;
    QString filePath;
    ParameterFile file;
    QHash<quint16, quint16> lastRead;
    bool stopping = false;
};

#endif // PARAMETERSETSPANEL_H

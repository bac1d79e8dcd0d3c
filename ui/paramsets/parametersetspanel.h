#ifndef PARAMETERSETSPANEL_H
#define PARAMETERSETSPANEL_H

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

#include "paramsets/parameterfile.h"
#include "paramsets/parameterrun.h"
#include "paramsets/writegate.h"
#include "registermap/registerinfo.h"

class BusParameterSets;
class CompareDialog;
class RequestScheduler;
class QWidget;

// The window's backup and restore: reads the driver through the window's
// scheduler, asks for files, and shows the compare dialog that writes. A
// comparison belongs to the connection it was made on: once that closes,
// its dialog writes nothing. Before writing, the driver is read again, and
// the undo file holds those values. With several drivers selected, backup
// and load go over each of them in turn.
class ParameterSetsPanel : public QObject
{
    Q_OBJECT

public:
    ParameterSetsPanel(RequestScheduler *scheduler, QWidget *window);

    // The drivers selected for batch work; one or none means the window's.
    void setSelection(std::function<QList<int>()> selectedDrivers) { selection = std::move(selectedDrivers); }

    // Ask for a file name once the driver has been read.
    void backup(const DriverContext &driver);
    void backupTo(const DriverContext &driver, const QString &path);
    // Ask for the file first.
    void load(const DriverContext &driver);
    void loadFrom(const DriverContext &driver, const QString &path);
    // The port closed: whatever was under way cannot finish.
    void stop();
    // Another driver is now the window's: a run or comparison under way
    // belongs to the one before and ends.
    void leaveDriver();
    CompareDialog *dialog() const;
    bool isBusy() const;

signals:
    void notice(const QString &text);
    void busyChanged(bool busy);
    // A file that cannot be compared: every problem of the file and every
    // value the map forbids, in the command line's words.
    void fileRefused(const QString &path, const QStringList &problems);

private:
    QList<int> batchDrivers() const;
    void readDriver(const DriverContext &driver);
    void onRead(const QHash<quint16, qint64> &values, RunEnd end);
    void saveBackup(const QHash<quint16, qint64> &values);
    void showComparison(const QHash<quint16, qint64> &values);
    void writeTicked(const QList<ParameterEntry> &writes, const WriteConsent &consent);
    void writeIfUnchanged(const QHash<quint16, qint64> &values);
    bool changedSinceComparison(const QHash<quint16, qint64> &values) const;
    void onSessionEnded();

    enum class Purpose { Backup, Compare, Verify };

    QWidget *window;
    RequestScheduler *scheduler;
    ParameterRun *run;
    BusParameterSets *bus;
    std::function<QList<int>()> selection;
    QPointer<CompareDialog> compareDialog;
    DriverContext context;
    Purpose purpose = Purpose::Backup;
    QString filePath;
    ParameterFile file;
    QHash<quint16, qint64> comparedValues;
    QList<ParameterEntry> pendingWrites;
    WriteConsent pendingConsent;
    quint64 comparedSession = 0;
};

#endif // PARAMETERSETSPANEL_H

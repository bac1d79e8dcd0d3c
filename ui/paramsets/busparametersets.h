#ifndef BUSPARAMETERSETS_H
#define BUSPARAMETERSETS_H

#include <QList>
#include <QObject>
#include <QPointer>

#include "paramsets/parameterrun.h"

class BusBatchDialog;
class BusParameterRun;
class RequestScheduler;
class QWidget;

// The window's backup and restore over the drivers selected in the bus
// panel: asks for a folder, or for a file and one confirmation, then runs
// them in turn with one progress and one result list.
class BusParameterSets : public QObject
{
    Q_OBJECT

public:
    BusParameterSets(RequestScheduler *scheduler, QWidget *window);

    void backup(const DriverContext &context, const QList<int> &addresses);
    void load(const DriverContext &context, const QList<int> &addresses);
    bool isBusy() const;

signals:
    void busyChanged(bool busy);
    void fileRefused(const QString &path, const QStringList &problems);

private:
    void showDialog(const QString &task);

    QWidget *window;
    BusParameterRun *run;
    QPointer<BusBatchDialog> batchDialog;
};

#endif // BUSPARAMETERSETS_H

#ifndef BACKUPNAMES_H
#define BACKUPNAMES_H

#include <QDateTime>
#include <QList>
#include <QString>

#include "paramsets/parametercompare.h"
#include "registermap/registerinfo.h"

// A driver's backup among others in one folder, named by its address and,
// where the map names them and the driver answered them, its model and
// serial number: addr03-m2304-s81234.csv.
QString driverFileName(int slaveAddress, const QList<RegisterInfo> &registers, const RowValues &values);

// A backup the user names, proposed with the time it is taken so that a
// day's backups of one driver stand side by side:
// addr03-m2304-s81234-20261208-0941.csv.
QString datedDriverFileName(int slaveAddress, const QList<RegisterInfo> &registers, const RowValues &values,
                            const QDateTime &when);

// A backup that left registers unread never replaces an earlier file,
// which may be the only whole one: it goes beside it, "name.partial.csv".
QString backupPathKeepingWhole(const QString &path, bool whole);

#endif // BACKUPNAMES_H

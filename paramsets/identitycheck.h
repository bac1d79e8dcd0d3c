#ifndef IDENTITYCHECK_H
#define IDENTITYCHECK_H

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "registermap/driverroles.h"
#include "registermap/registerinfo.h"

// The identity and serial rows of the map that a read of the driver
// answered, raw in their types: what a saved file records.
DriverIdentity readIdentity(const QList<RegisterInfo> &registers, const QHash<quint16, qint64> &values);

// A parameter file's identity held against the driver it goes to, before
// anything is written. Only the rows the map names as identity count: a
// file that records none of them (older files, maps without identity rows)
// has nothing to compare, and is accepted as before.
struct IdentityCheck
{
    // "型号 Model 0x2304 · 固件 Firmware 1.12 · 序列号 Serial 81234"; the
    // driver's rows that did not answer show "?". Empty when the map has no
    // identity rows, or the file records none of them.
    QString fileText;
    QString driverText;
    // "型号 Model 0x2304 ≠ 0x2305": a row the driver did not answer differs
    // too, as an unknown model is no match.
    QStringList differences;

    bool differs() const { return !differences.isEmpty(); }
    // Whether the map names any identity row: only then are the two shown.
    bool shown = false;
};

IdentityCheck checkIdentity(const DriverIdentity &file, const QList<RegisterInfo> &registers,
                            const QHash<quint16, qint64> &driverValues);

#endif // IDENTITYCHECK_H

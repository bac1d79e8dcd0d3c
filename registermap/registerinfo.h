#ifndef REGISTERINFO_H
#define REGISTERINFO_H

#include <QString>
#include <QtGlobal>

#include "registermap/driverroles.h"
#include "registermap/registerformat.h"

// One holding register of the driver, as the register map describes it and
// as the latest reply left it.
struct RegisterInfo
{
    quint16 address = 0;
    QString addressText;
    // False when addressText is missing or is not a 16-bit hexadecimal
    // number, or when the line's value format is faulty: such a row is shown
    // but never read or written.
    bool addressValid = false;
    // The address itself was read, usable row or not: what an unusable line
    // says against writing (danger, identity, permission) still holds there.
    bool addressRead = false;
    // Why a row the map loaded is neither read nor written, as the map's
    // problem list words it; empty for a usable row.
    QString problem;
    QString permission;
    quint16 value = 0;
    // A 32-bit row's word at address + 1; `value` is the word at address.
    quint16 nextWord = 0;
    QString valueText;
    QString rangeText;
    qint32 rangeMin = 0;
    qint32 rangeMax = 0;
    // True when rangeText gave both bounds as numbers.
    bool hasRange = false;
    QString name;
    QString remarks;
    // Type, scale, unit, named states or bits (RegisterValue converts).
    RegisterFormat format;
    // Identity, alarm or status role, and the commands a write-only row takes.
    RowRoles roles;
};

// A permission with W but no R: a command register, written when the user
// asks and never read (a driver may refuse the read).
inline bool isWriteOnly(const QString &permission)
{
    return permission.contains(QLatin1Char('w'), Qt::CaseInsensitive)
        && !permission.contains(QLatin1Char('r'), Qt::CaseInsensitive);
}

#endif // REGISTERINFO_H

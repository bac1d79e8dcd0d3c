#ifndef REGISTERINFO_H
#define REGISTERINFO_H

#include <QString>
#include <QtGlobal>

// One holding register of the driver, as the register map describes it and
// as the latest reply left it.
struct RegisterInfo
{
    quint16 address = 0;
    QString addressText;
    QString permission;
    quint16 value = 0;
    QString valueText;
    QString rangeText;
    qint32 rangeMin = 0;
    qint32 rangeMax = 0;
    QString name;
    QString remarks;
    // False when the map's address text is not a 16-bit number: such a row
    // is shown but never read or written.
    bool addressValid = true;
};

#endif // REGISTERINFO_H

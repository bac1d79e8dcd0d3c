#ifndef ADDRESSRULES_H
#define ADDRESSRULES_H

#include <QList>
#include <QString>
#include <QStringList>

#include "registermap/registerinfo.h"

// What every usable line of a map says about one register, read the
// strictest way: a register is identity, serial, read-only, write-only, a
// command or danger when any of its lines says so, a line the map could not
// use included. The one way the program
// asks the map about an address.
struct AddressRules
{
    quint16 address = 0;
    // In map order; empty when the map has no usable line there.
    QList<const RegisterInfo *> lines;
    bool identity = false;      // role identity or serial: it names the driver
    bool serial = false;
    bool readOnly = false;      // a line without W
    bool writeOnly = false;     // a line with W but no R
    // Role jog or move: any value but 0 sets the motor going.
    bool startsMotion = false;
    // The commands of every line, the danger ones among them, and the
    // values those danger commands send.
    QList<RowCommand> commands;
    QStringList dangerNames;
    QList<quint16> dangerValues;

    bool inMap() const { return !lines.isEmpty(); }
    // The first line: its name, type and display rules.
    const RegisterInfo *first() const { return lines.value(0); }
    // Written by a file, an edit or a comparison: read and written, naming
    // no driver.
    bool isSetting() const { return inMap() && !readOnly && !writeOnly && !identity; }
    bool isDangerValue(quint16 word) const { return dangerValues.contains(word); }
    // The first line whose range or type leaves out `raw` (in the first
    // line's type), or null when every line takes it.
    const RegisterInfo *rangeRefusing(qint64 raw) const;
    // "0x0040 型号 Model"
    QString label() const;
};

// The usable lines at `address`, in map order.
QList<const RegisterInfo *> linesAt(const QList<RegisterInfo> &rows, quint16 address);
AddressRules addressRules(const QList<RegisterInfo> &rows, quint16 address);
// The index of the first usable line at `address` in `rows`; -1 when none.
int firstLineIndex(const QList<RegisterInfo> &rows, int address);

#endif // ADDRESSRULES_H

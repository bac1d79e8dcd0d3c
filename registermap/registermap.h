#ifndef REGISTERMAP_H
#define REGISTERMAP_H

#include <QList>
#include <QString>
#include <QStringList>

#include "registermap/registerinfo.h"

// A register map file: the line settings of its first line and one record
// per named register line, in file order. Widget-free, so the command line
// reads maps without a window.
struct RegisterMap
{
    quint32 slaveAddress = 1;
    // False when line 1 names an address outside 1..247: slaveAddress then
    // kept the value it had, which need not be the driver's.
    bool slaveAddressValid = true;
    int txTime = 100;
    quint32 rxOutTime = 1000;
    int blockRead = 1;  // registers one refresh request may read
    // Of 32-bit rows without their own wordOrder.
    WordOrder wordOrder = WordOrder::HighFirst;
    // 16 when the driver has no function 6: single registers are written
    // with function 16 too.
    int writeFunction = 6;
    QList<RegisterInfo> registers;
    // Lines that are no register, rows whose address is not a register
    // number, addresses given on more than one line, ranges that are no
    // "min~max", and a line for each of them saying where and why (the
    // first hundred, then how many more).
    int skippedLines = 0;
    int invalidAddresses = 0;
    int repeatedAddresses = 0;
    int unreadableRanges = 0;
    // Lines with a faulty setting or value format: line 1 (once, for any of
    // its settings), a register line's format keys or range, or a 32-bit row
    // over another row.
    int formatProblems = 0;
    // Lines with a key that no line of its kind has (line 1 included); such
    // a register row is neither read nor written.
    int unknownKeyLines = 0;
    QStringList problems;
};

// Fills `map` from the file; settings the file leaves out keep the values
// `map` came with. False when `path` is not a readable regular file.
bool loadRegisterMap(const QString &path, RegisterMap *map);

// One "key:value,..." register line; a record without a name when the line
// is no register. A record whose format is faulty is never read or written.
RegisterInfo parseRegisterLine(const QString &line);
// The same, saying what is wrong with the line's format keys in
// `formatProblems` and which keys it has that no register line has in
// `unknownKeys` (with the format problems when null), and leaving
// addressValid to the caller.
RegisterInfo parseRegisterLine(const QString &line, QStringList *formatProblems,
                               QStringList *unknownKeys = nullptr);

#endif // REGISTERMAP_H

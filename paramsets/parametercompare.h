#ifndef PARAMETERCOMPARE_H
#define PARAMETERCOMPARE_H

#include <QHash>
#include <QList>
#include <QStringList>

#include "paramsets/parameterfile.h"
#include "registermap/registerinfo.h"

// How a register of a parameter file stands against the map and the driver.
enum class CompareState { Same, Differs, NotWritable, NotInMap, OutOfRange, NoAnswer };

struct CompareRow
{
    ParameterEntry entry;           // from the file
    bool inMap = false;
    RegisterInfo info;              // the map's row, when in the map
    bool answered = false;
    quint16 driverValue = 0;
    CompareState state = CompareState::Same;

    QString name() const { return inMap ? info.name : entry.name; }
};

// Read and written; write-only registers are commands, read-only ones status.
bool isWritable(const QString &permission);

// The map's first readable row for each address.
QHash<quint16, const RegisterInfo *> mapIndex(const QList<RegisterInfo> &registers);

// Each valid address of the map once, in map order.
QList<quint16> mapAddresses(const QList<RegisterInfo> &registers);

// The driver's values as file entries, in map order, each address once;
// `silent` gets "0x0011 name" for each register that did not answer.
QList<ParameterEntry> answeredEntries(const QList<RegisterInfo> &registers,
                                      const QHash<quint16, quint16> &driver, QStringList *silent = nullptr);

// "0x0010 Run current"
QString registerLabel(quint16 address, const QString &name);

// Problems that forbid writing any of the file: addresses not in the map,
// values outside the map's range, one address given two values. Each names
// its line.
QStringList restoreProblems(const QList<ParameterEntry> &entries, const QList<RegisterInfo> &registers);

// One row per entry, in file order; `driver` holds the values that answered.
QList<CompareRow> compareParameters(const QList<ParameterEntry> &entries,
                                    const QList<RegisterInfo> &registers,
                                    const QHash<quint16, quint16> &driver);

// English word for the command line, Chinese text for the dialog.
QString stateWord(CompareState state);
QString stateText(CompareState state);

#endif // PARAMETERCOMPARE_H

#ifndef PARAMETERCOMPARE_H
#define PARAMETERCOMPARE_H

#include <QHash>
#include <QList>
#include <QStringList>

#include "paramsets/parameterfile.h"
#include "registermap/registerinfo.h"

// How a register of a parameter file stands against the map and the driver.
// OutOfRange: a value no row of the map can take (its type, its width), or
// a differing value of a writable row that lies outside the map's range,
// written only when the user agrees. ShownDisagrees: the file's shown column
// is not what the map makes of its value column; the file is not written.
// GivenTwice: the file gives the address another value on another line; the
// file is not written. WriteOnly rows are never read.
enum class CompareState {
    Same, Differs, NotWritable, NotInMap, OutOfRange, ShownDisagrees, GivenTwice, NoAnswer, WriteOnly
};

// Values are raw integers in the map row's type; the file's value is taken
// in the row's type (a file saved before the row had a signed type holds
// its register pattern: 65535 is -1 for an s16 row).
struct CompareRow
{
    ParameterEntry entry;           // from the file
    bool inMap = false;
    RegisterInfo info;              // the map's row, when in the map
    bool answered = false;
    qint64 driverValue = 0;
    CompareState state = CompareState::Same;
    // Writable (a command register too), differs or is never read, and
    // outside the map's range: written only when the user agrees.
    bool outsideMapRange = false;
    // For ShownDisagrees: what the map shows for the value column.
    QString shownInstead;

    QString name() const { return inMap ? info.name : entry.name; }
    // As the table shows them: "48.0 V", "过流 (1)"; plain numbers when the
    // row is not in the map.
    QString fileText() const;
    QString driverText() const;
    // The state in the command line's words and in the dialog's; a
    // disagreement names both columns.
    QString stateWord() const;
    QString stateText() const;
};

// Driver values by row address, raw in the row's type.
using RowValues = QHash<quint16, qint64>;

// Read and written; write-only registers are commands, read-only ones status.
bool isWritable(const QString &permission);

// The map's rows that are read and written, each address once, in map order.
QList<RegisterInfo> mapRows(const QList<RegisterInfo> &registers);

// A saved value in the row's type: the value itself when the type holds it,
// otherwise the row's register pattern read in its type. False when it is
// neither.
bool savedRaw(const RegisterInfo &info, qint64 saved, qint64 *raw);

// The driver's values as file entries, in map order, each address once,
// without write-only rows; `unread` gets "0x0011 name" for each row that did
// not answer, then for each row whose map line has a problem (never read).
QList<ParameterEntry> answeredEntries(const QList<RegisterInfo> &registers,
                                      const RowValues &driver, QStringList *unread = nullptr);

// "0x0010 Run current"
QString registerLabel(quint16 address, const QString &name);

// Problems that forbid writing any of the file: addresses not in the map,
// values outside the row's type, a type other than the map's (or none for a
// 32-bit row), a shown column that is not what the row makes of the value,
// one address given two values. Each names its line. Values outside the
// map's range are no such problem: see outOfRangeLabels().
QStringList restoreProblems(const QList<ParameterEntry> &entries, const QList<RegisterInfo> &registers);

// One row per entry, in file order, the entry's value in its row's type;
// `driver` holds the values that answered.
QList<CompareRow> compareParameters(const QList<ParameterEntry> &entries,
                                    const QList<RegisterInfo> &registers,
                                    const RowValues &driver);

// "0x0011 Hold current 5 (range 10~100)" for each answered row whose file
// value, to be written, lies outside the map's range.
QStringList outOfRangeLabels(const QList<CompareRow> &rows);

// English word for the command line, Chinese text for the dialog.
QString stateWord(CompareState state);
QString stateText(CompareState state);

#endif // PARAMETERCOMPARE_H

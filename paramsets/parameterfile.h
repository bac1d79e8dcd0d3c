#ifndef PARAMETERFILE_H
#define PARAMETERFILE_H

#include <QList>
#include <QString>
#include <QStringList>

#include "registermap/driverroles.h"
#include "registermap/registerinfo.h"

// One map row's saved value, and the line of the file it came from (0 when
// it did not come from a file). The value is the raw integer in the row's
// type: a 32-bit row is one entry, -1200 for an s32.
struct ParameterEntry
{
    int line = 0;
    quint16 address = 0;
    qint64 value = 0;
    // The row's type as the file names it ("u16", "s32"); empty in files
    // written before rows had types.
    QString type;
    // The value as the table shows it, with its unit: for people, and a
    // check that the value says what they read.
    QString shown;
    QString name;
    QString permission;
    QString range;
};

// A parameter file: CSV that opens in a spreadsheet, "#" comment lines, a
// header naming the columns, one register per line. Widget-free.
struct ParameterFile
{
    QList<ParameterEntry> entries;
    // "line N: why", for every line that does not hold a register value.
    QStringList problems;
    // Where it was read from.
    QString path;
    // It carries the undo comment. Only a file in the undo folder whose
    // identity is the driver's is trusted as one (see RestorePlan): its
    // values go back as they were, whatever the map's ranges say.
    bool undo = false;
    // The driver it was saved from, as its "# identity" comment records
    // it; empty in files of maps without identity rows, and older ones.
    DriverIdentity identity;
};

// Reads `path`; problems lists every fault. False when the file cannot be
// read at all (the reason is the only problem then).
bool readParameterFile(const QString &path, ParameterFile *file);

// Writes `comments` as "# " lines, the header and the entries; the data is
// flushed to the disk before this returns true. The file is replaced whole
// or not at all; a path that is no regular file is refused.
bool writeParameterFile(const QString &path, const QStringList &comments,
                        const QList<ParameterEntry> &entries, QString *error);

// "0x0010", "0010" or "10": hexadecimal, as the map writes addresses.
bool parseRegisterAddress(const QString &text, quint16 *address);

// "0x0010": how files and reports write an address.
QString addressText(quint16 address);

// What the map says about a row holding `raw`, for the file's informative
// columns.
ParameterEntry entryFor(const RegisterInfo &info, qint64 raw);

// "u16", "s16", "u32" or "s32", as map lines and files name a type.
QString valueTypeName(ValueType type);

// The comment lines a saved file starts with; the identity's line only
// when the driver has one.
QStringList parameterFileComments(const QString &port, quint32 slaveAddress, const QString &mapPath,
                                  const DriverIdentity &identity);

// The comment line that marks an undo file.
QString undoComment();

// The folder undo files are saved in, and whether `path` lies there.
QString undoFolder();
bool isInUndoFolder(const QString &path);

// The comment line that marks a backup missing rows, naming them: the file
// holds no line for them.
QString partialComment(const QStringList &unread);

// Saves the driver's values before a restore writes to it, in the undo
// folder under the user's data folder, named by date, time, port and slave
// address. The file's path, or empty with `error` set.
QString saveUndoFile(const QList<ParameterEntry> &entries, const DriverIdentity &identity, const QString &port,
                     quint32 slaveAddress, const QString &mapPath, QString *error);

#endif // PARAMETERFILE_H

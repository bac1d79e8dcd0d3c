#ifndef RESTOREPLAN_H
#define RESTOREPLAN_H

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include "paramsets/identitycheck.h"
#include "paramsets/parametercompare.h"
#include "paramsets/parameterfile.h"
#include "paramsets/writegate.h"

// What the user said about a restore: the command line's options, the
// window's answers.
struct RestoreChoices
{
    QSet<quint16> skip;              // first addresses
    QSet<quint16> includeWriteOnly;
    bool allowOutOfRange = false;
    bool confirmDanger = false;
    bool ignoreIdentity = false;
};

// How the file's driver stands against the one it goes to.
enum class IdentityVerdict {
    Matches,      // or the map names no identity row: nothing to compare
    Differs,      // another model or firmware
    NotRecorded,  // the map names identity rows, the file records none
};

// What a restore does with one row of the file.
enum class PlanStep {
    Write,
    Leave,          // same, not in the map, unread, not writable: as compared
    Skipped,        // --skip
    WriteOnlyLeft,  // a command register the user did not name
    Blocked,        // needs a confirmation the user has not given
    Refused,        // the gate never lets a file write it
};

struct PlanRow
{
    CompareRow row;
    PlanStep step = PlanStep::Leave;
    GateAnswer answer;
};

// One restore of a file to one driver, decided once for the command line,
// a run over several drivers and the window's comparison alike: the
// identity check, whether the file is this tool's own undo file for this
// very driver, and each row's fate by the write gate. Widget-free.
class RestorePlan
{
public:
    RestorePlan(const QList<RegisterInfo> &registers, const ParameterFile &file, const RowValues &driver,
                const RestoreChoices &choices, WriteOrigin origin = WriteOrigin::Restore);

    IdentityVerdict identityVerdict() const { return verdict; }
    const IdentityCheck &identity() const { return check; }
    // Differs or not recorded, and the user has not said to write anyway.
    bool identityBlocks() const { return verdict != IdentityVerdict::Matches && !choices.ignoreIdentity; }
    // "the file is for 型号 Model 0x2304 but the driver is ... (...)" or
    // "the file records no identity (型号 Model)"; empty when they match.
    QString identityProblem() const;
    // The identity rows a file that records none of them lacks, as
    // "0x0040 型号 Model, 0x0041 固件 Firmware"; empty otherwise.
    QString unrecordedRows() const
    {
        return verdict == IdentityVerdict::NotRecorded ? notRecordedRows : QString();
    }
    // An undo file this tool saved, in its undo folder, from this driver
    // (serial number included): it goes back as it was, ranges aside.
    bool isOwnUndo() const { return ownUndo; }

    const QList<PlanRow> &rows() const { return planned; }
    // Each row of the file as compared with the driver, in file order.
    QList<CompareRow> compared() const;
    // The driver's values as read for this plan, saved in the undo folder
    // before the first write; its path, or empty with `error` set.
    QString saveUndo(const QString &port, quint32 slaveAddress, const QString &mapPath, QString *error) const;
    // The rows to write, each address once, in file order.
    QList<ParameterEntry> writes() const;
    // The rows that wait for `confirmation`, and the gate's words for them.
    QList<CompareRow> blockedRows(Confirmation confirmation) const;
    QStringList blockedReasons(Confirmation confirmation) const;
    bool anyBlocked() const;
    // What the run is told the user confirmed, for the gate's second look
    // as each frame is queued.
    WriteConsent consent() const;
    WriteOrigin origin() const { return ownUndo ? WriteOrigin::Undo : writeOrigin; }

private:
    void checkIdentity(const QList<RegisterInfo> &registers, const ParameterFile &file, const RowValues &driver);
    PlanRow planRow(const WriteGate &gate, const CompareRow &row) const;

    QList<RegisterInfo> registers;
    RowValues driver;
    RestoreChoices choices;
    WriteOrigin writeOrigin;
    IdentityVerdict verdict = IdentityVerdict::Matches;
    IdentityCheck check;
    QString notRecordedRows;
    bool ownUndo = false;
    QList<PlanRow> planned;
};

// The identity a file vouches for: its "# identity" line, or failing that
// its own rows of the map's identity registers.
DriverIdentity fileIdentity(const ParameterFile &file, const QList<RegisterInfo> &registers);

#endif // RESTOREPLAN_H

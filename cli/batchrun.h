#ifndef BATCHRUN_H
#define BATCHRUN_H

#include <QHash>
#include <QList>
#include <QSet>
#include "cli/lineholdingrun.h"

#include "cli/commandline.h"
#include "paramsets/parametercompare.h"
#include "paramsets/parameterfile.h"
#include "paramsets/parameterrun.h"
#include "paramsets/restoreplan.h"
#include "registermap/registermap.h"


// A window-less backup, compare or restore: its own serial connection and
// scheduler, one line per register on stdout, a summary last, problems on
// stderr. finished() carries the exit status:
// 0 done, 1 bad map or file, or a file for another model or firmware
// (nothing written), 2 port or driver silent, or
// a reply that no request asked for (no value kept, no write confirmed),
// 3 differences (the identity's too), registers unread, values a dry run would write, writes not
// confirmed, or an interrupted run.
class BatchRun : public LineHoldingRun
{
    Q_OBJECT

public:
    enum Status { Done = 0, BadInput = 1, NoDriver = 2, NotEqual = 3 };

    // `slave`: the driver's address when a run over several drivers gives
    // it; 0 takes the options' or the map's.
    explicit BatchRun(const CommandLine &options, int slave = 0, QObject *parent = nullptr);
    ~BatchRun() override { releaseLine(); }
    // Runs after the first of several leave the map's and the file's
    // problems to the first.
    void setQuietInputs(bool quiet) { quietInputs = quiet; }
    // Exit 1 for this driver alone: the file is another model's, which
    // says nothing of the drivers after it.
    bool refusedThisDriver() const { return wrongDriver; }
    // No driver answered at the address, asked twice.
    bool driverAbsent() const { return absent; }
    // The line would not open: nothing was sent to the driver.
    bool lineUnopened() const { return unopened; }
    // The address of the first reply no request asked for; -1 when none came.
    int unaskedFrom() const { return run ? run->unaskedFrom() : -1; }

    void start();
    // The first interrupt ends the run after the request in flight; a second
    // one at once.
    void interrupt();


private:
    bool loadInputs();
    QStringList optionProblems();
    bool openLine();
    void onRead(const RowValues &values, RunEnd end);
    bool driverSilent() const;
    bool reportUnread();
    QString unreadWord(quint16 address) const;
    void backup();
    QString backupPath() const;
    QString backupTarget() const;
    QString identityMismatch() const;
    void compare();
    bool identityRefused(const RestorePlan &plan);
    RestoreChoices restoreChoices() const;
    void printPlanned(const PlanRow &planned);
    bool confirmationsMissing(const RestorePlan &plan);
    void restore();
    void startWrites();
    void onWriteOutcome(const ParameterEntry &write, WriteResult result, const QString &reason);
    void onWritesFinished(RunEnd end);
    void onLineLost(const QString &reason);
    void printRow(const CompareRow &row, const QString &word);
    // The value as the map's row shows it: "48.0 V", "-1200".
    QString shownValue(quint16 address, qint64 raw) const;
    QString unaskedReplyText() const;
    QString gatewayWord() const;

    const CommandLine &options;
    const int slave;
    bool quietInputs = false;
    bool wrongDriver = false;
    bool absent = false;
    bool unopened = false;
    RegisterMap map;
    ParameterFile file;
    RowValues driver;
    ParameterRun *run = nullptr;
    int interrupts = 0;
    bool writing = false;
    // A restore's tally.
    QString undoPath;
    QStringList unread;
    QStringList failed;
    QStringList unconfirmed;
    QStringList notSent;
    QStringList writeOnlyLeft;
    // Rows the write gate never lets a file write, with its reason.
    QStringList notWritten;
    WriteOrigin writeOrigin = WriteOrigin::Restore;
    WriteConsent writeConsent;
    // --skip's rows, by their first address.
    QSet<quint16> skipped;
    QList<ParameterEntry> writes;
    QList<ParameterEntry> confirmedWrites;
    int confirmed = 0;
};

#endif // BATCHRUN_H

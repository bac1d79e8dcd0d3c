#ifndef COMPAREDIALOG_H
#define COMPAREDIALOG_H

#include <QDialog>
#include <QList>

#include "paramsets/identitycheck.h"
#include "paramsets/parametercompare.h"
#include "paramsets/parameterrun.h"
#include "paramsets/writegate.h"

namespace Ui { class CompareDialog; }

// A parameter file beside the driver's values, one row per register of the
// file. Differing writable rows carry a tick box (ticked at first; values
// outside the map's range are asked about before writing), write-only rows
// one that starts unticked; the
// ticked ones are handed on by writeRequested, and each outcome shows in its
// row. The writing itself is done by whoever listens. The file's identity
// stands beside the driver's; a file of another model or firmware is
// written only once "write anyway" is pressed.
class CompareDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CompareDialog(QWidget *parent = nullptr);
    ~CompareDialog() override;

    // `problems` forbid any write; they are listed instead.
    void showComparison(const QString &fileName, const QList<CompareRow> &rows,
                        const QStringList &problems, bool undoFile = false);
    QList<ParameterEntry> tickedWrites() const;
    // After showComparison, which clears it. `unrecordedRows`: the map's
    // identity rows a file that names no driver lacks; writing it is asked
    // about like another model's.
    void showIdentity(const IdentityCheck &check, const QString &unrecordedRows = QString());
    // The map the write gate judges the ticked rows by.
    void setMap(const QList<RegisterInfo> &registers) { gate.setMap(registers); }

public slots:
    void showWriteStarted(const QString &undoPath);
    void showOutcome(const ParameterEntry &write, WriteResult result, const QString &reason);
    void showProgress(int done, int total);
    void showWritesFinished(RunEnd end);
    void showRefusal(const QString &text);
    // The connection it compared against is gone: nothing more is written
    // from it until it compares again.
    void showSessionEnded();
    // Another driver is now the window's: this comparison can write no more.
    void showDriverChanged();

signals:
    // `consent`: what the user has just said yes to.
    void writeRequested(const QList<ParameterEntry> &writes, const WriteConsent &consent);
    void cancelRequested();

protected:
    void changeEvent(QEvent *event) override;

private:
    void endWriting(const QString &why);
    void withdrawConfirmations();
    void applyFilter();
    void showIdentityLines();
    bool isTicked(int row) const;
    bool outOfRangeAgreed();
    bool identityAgreed();
    bool dangerAgreed(const QList<ParameterEntry> &writes);
    void setWriting(bool writing);
    int rowOf(quint16 address) const;

    Ui::CompareDialog *ui;
    QList<CompareRow> rows;
    IdentityCheck identity;
    QString unrecordedRows;
    WriteGate gate;
    bool writable = false;
    bool fromUndoFile = false;
    int confirmed = 0;
    QStringList failed;
    QStringList unconfirmed;
    QString undoFile;
};

#endif // COMPAREDIALOG_H

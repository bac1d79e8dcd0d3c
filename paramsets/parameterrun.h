#ifndef PARAMETERRUN_H
#define PARAMETERRUN_H

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include "paramsets/parameterfile.h"
#include "protocol/pendingcommand.h"

class RequestScheduler;

// Reads a driver's registers, and writes values to it, through the line's
// scheduler. A write counts only when its echo and a read back of the
// register both show the value. Widget-free: the window and the command
// line drive it alike.
class ParameterRun : public QObject
{
    Q_OBJECT

public:
    explicit ParameterRun(RequestScheduler *scheduler, QObject *parent = nullptr);

    // One read per address; readFinished once each has answered or failed.
    void readRegisters(const QList<quint16> &addresses);
    // One write at a time, each confirmed before the next is sent.
    void writeValues(const QList<ParameterEntry> &writes);
    // Reads are dropped at once; writes stop after the one in flight.
    void cancel();
    // Ends at once, the line being gone: nothing in flight will answer.
    void abandon();
    bool isRunning() const { return phase != Phase::Idle; }

signals:
    void readProgress(int done, int total);
    void readFinished(const QHash<quint16, quint16> &values);
    void writeOutcome(const ParameterEntry &write, bool confirmed, const QString &reason);
    void writeProgress(int done, int total);
    // `cancelled`: writes were left unsent.
    void writeFinished(bool cancelled);

private:
    enum class Phase { Idle, Reading, Writing };
    enum Step { WriteStep = 0, ReadBackStep = 1 };

    void onReadAnswered(const PendingCommand &request, const QList<quint16> &values);
    void onWriteEchoed(const PendingCommand &request, quint16 address, quint16 value);
    void onFailed(const PendingCommand &request, const QString &reason);
    void settleRead(int tag);
    void sendWrite();
    void finishWrite(bool confirmed, const QString &reason);
    bool isCurrentStep(const PendingCommand &request, Step step) const;

    RequestScheduler *scheduler;
    Phase phase = Phase::Idle;
    QList<quint16> readAddresses;
    QHash<quint16, quint16> readValues;
    QSet<int> settledReads;
    QList<ParameterEntry> writes;
    int writeIndex = 0;
    bool cancelRequested = false;
};

#endif // PARAMETERRUN_H

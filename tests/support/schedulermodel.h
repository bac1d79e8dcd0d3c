#ifndef SCHEDULERMODEL_H
#define SCHEDULERMODEL_H

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

#include "protocol/pendingcommand.h"
#include "protocol/requestoutcome.h"

class QTcpSocket;
class RequestScheduler;

// A scheduler among three clients and a driver that answers on time, late,
// garbled, as another slave, with the wrong kind of reply, with too few
// registers, with an exception, or not at all; sessions end and owners
// withdraw their requests meanwhile. Every choice comes from `choose`
// (a number below its bound): the property test draws them at random, the
// fuzz target reads them from its input. Time is simulated, one tick at a
// time, and a late reply comes within a reply timeout of its timeout.
//
// On a Modbus TCP line (the serial line must then be connected), replies
// travel as ADUs of their request's transaction, and a garbled one is a
// reply under another transaction id instead.
//
// Given the server's end of that connection, the replies travel through it
// instead and only as an honest server's and a network's faults make them:
// whole or split in two, once or twice, on time, late or not at all. No
// session then ends midway, and no reply may put the run in doubt.
//
// violations() lists every breach of: each request gets exactly one
// outcome; an answered read carries its own registers' values and an
// answered write its own value; a reply under another transaction id
// answers nothing; with the server's end, the doubt count stays at 0.
class SchedulerModel
{
public:
    explicit SchedulerModel(std::function<quint32(quint32 bound)> choose, bool modbusTcp = false,
                            QTcpSocket *server = nullptr);
    ~SchedulerModel();

    void step();
    // Ends the session: afterwards every request must have had its outcome.
    void finish();
    QStringList violations() const;
    int outcomes(OutcomeKind kind) const { return kinds.value(int(kind)); }

private:
    enum class Fate { OnTime, Late, BadCrc, Foreign, WrongKind, ShortRead, Exception, Missing, OtherTransaction };
    struct Delivery
    {
        qint64 atMs;
        QByteArray block;
        bool firstHalf = false;  // of a reply split in two
    };
    struct Request
    {
        PendingCommand command;
        Fate fate = Fate::Missing;
        int outcomes = 0;
        quint16 transaction = 0;
    };

    void enqueueRandom();
    void tick();
    void decideFate(int id);
    QByteArray replyFor(const Request &request, Fate fate) const;
    void deliver(qint64 atMs, const QByteArray &block);
    void writeToLine(const Delivery &delivery);
    void onCompleted(const PendingCommand &command, const RequestOutcome &outcome);

    std::function<quint32(quint32)> choose;
    bool modbusTcp;
    QTcpSocket *server;
    // Through the connection: what was written, what the line handed on as
    // blocks, and the first halves of split replies still owed their rest.
    qint64 writtenBytes = 0;
    qint64 handedBytes = 0;
    qint64 heldBytes = 0;
    qint64 streamBusyUntilMs = 0;
    quint16 lastTransaction = 0;
    std::unique_ptr<RequestScheduler> scheduler;
    QObject owners[3];
    QHash<int, Request> requests;
    QList<Delivery> deliveries;
    QStringList problems;
    QHash<int, int> kinds;
    qint64 nowMs = 0;
    quint64 sentBefore = 0;
    int nextId = 0;
};

#endif // SCHEDULERMODEL_H

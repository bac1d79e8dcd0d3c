#include "schedulermodel.h"

#include "protocol/modbusmaster.h"
#include "protocol/requestscheduler.h"
#include "serial/mbapframe.h"
#include "serial/serial.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

namespace {

constexpr int txTimeMs = 10;
constexpr quint32 rxOutTimeMs = 50;
constexpr quint8 slave = 1;

quint16 valueAt(int address)
{
    return quint16(address * 7 + 3);
}

QByteArray withCrc(QByteArray frame)
{
    ModbusMaster::instance()->appendCrc(frame);
    return frame;
}

QByteArray words(const QList<quint16> &values)
{
    QByteArray bytes;
    for (quint16 value : values) {
        bytes.append(char(value >> 8));
        bytes.append(char(value & 0xFF));
    }
    return bytes;
}

} // namespace

struct SchedulerInspector
{
    static const PendingCommand &awaited(const RequestScheduler &s) { return s.awaited; }
};

SchedulerModel::SchedulerModel(std::function<quint32(quint32)> choose, bool modbusTcp, QTcpSocket *server)
    : choose(std::move(choose))
    , modbusTcp(modbusTcp)
    , server(server)
    , scheduler(new RequestScheduler(Serial::instance()))
{
    if (server) {
        QObject::connect(Serial::instance(), &Serial::haveReceive, scheduler.get(), [this](const QByteArray &block) {
            handedBytes += block.size();
            scheduler->takeBlock(block);
        });
    }
    // The transaction id as it went over the wire: "Tx(hex):00 0B ...".
    QObject::connect(Serial::instance(), &Serial::sendDataShow, scheduler.get(), [this](const QString &text) {
        const QStringList bytes = text.mid(text.indexOf(QLatin1Char(':')) + 1).split(QLatin1Char(' '));
        if (bytes.size() > 2)
            lastTransaction = quint16(bytes.at(0).toUInt(nullptr, 16) << 8 | bytes.at(1).toUInt(nullptr, 16));
    });
    scheduler->setSlaveAddress(slave);
    scheduler->setTiming(txTimeMs, rxOutTimeMs);
    scheduler->setClock([this] { return nowMs; });
    QObject::connect(scheduler.get(), &RequestScheduler::completed, scheduler.get(),
                     [this](const PendingCommand &c, const RequestOutcome &o) { onCompleted(c, o); });
    scheduler->start();
}

SchedulerModel::~SchedulerModel() = default;

void SchedulerModel::step()
{
    const quint32 action = choose(16);
    if (action < 10)
        tick();
    else if (action < 14)
        enqueueRandom();
    else if (action == 14)
        scheduler->cancel(&owners[choose(3)]);
    else if (!server && choose(4) == 0) {
        // The port closes and opens again; late replies of the old
        // connection may still arrive.
        scheduler->stop();
        scheduler->start();
    }
}

void SchedulerModel::enqueueRandom()
{
    const int id = nextId++;
    const int address = int(choose(20));
    Request request;
    PendingCommand &command = request.command;
    command.owner = &owners[choose(3)];
    command.tag = id;
    command.address = quint16(address);
    if (choose(3) == 0) {
        command.frame = ModbusMaster::instance()->writeCmd(slave, command.address, quint16(choose(65536)));
    } else {
        command.count = quint16(1 + choose(3));
        command.frame = ModbusMaster::instance()->readCmd(slave, command.address, command.count);
    }
    requests.insert(id, request);
    if (choose(2))
        scheduler->enqueue(command);
    else
        scheduler->enqueueFirst(command);
}

void SchedulerModel::tick()
{
    nowMs += txTimeMs;
    for (int i = 0; i < deliveries.size();) {
        if (deliveries.at(i).atMs > nowMs)
            ++i;
        else if (server)
            writeToLine(deliveries.takeAt(i));
        else
            scheduler->takeBlock(deliveries.takeAt(i).block);
    }
    scheduler->tick();
    // The line holds a split reply for a while of real time, which the model
    // does not keep: long enough here never to lapse.
    if (server)
        Serial::instance()->setReplyWait(60000);
    if (scheduler->statistics().requests != sentBefore) {
        sentBefore = scheduler->statistics().requests;
        decideFate(SchedulerInspector::awaited(*scheduler).tag);
    }
}

// Replies other than a late one come within the wait.
void SchedulerModel::decideFate(int id)
{
    Request &request = requests[id];
    request.fate = Fate(choose(8));
    request.transaction = lastTransaction;
    if (modbusTcp && request.fate == Fate::BadCrc)
        request.fate = Fate::OtherTransaction;
    // An honest server's replies fit their requests; only time and the network spoil them.
    if (server && request.fate != Fate::Late && request.fate != Fate::Missing && request.fate != Fate::Exception)
        request.fate = Fate::OnTime;
    if (request.fate == Fate::Late || request.fate == Fate::Missing)
        return;
    const qint64 within = qint64(choose(rxOutTimeMs / txTimeMs)) * txTimeMs;
    deliver(nowMs + within, replyFor(request, request.fate));
}

// Through the connection, a reply may come split in two, and again later.
void SchedulerModel::deliver(qint64 atMs, const QByteArray &block)
{
    if (!server)
        return deliveries.append({atMs, block});
    // One byte stream: a reply's segments never interleave with another's.
    atMs = qMax(atMs, streamBusyUntilMs);
    if (choose(3) == 0) {
        const int cut = 1 + int(choose(quint32(block.size() - 1)));
        const qint64 restAtMs = atMs + qint64(choose(rxOutTimeMs / txTimeMs)) * txTimeMs;
        deliveries.append({atMs, block.left(cut), true});
        deliveries.append({restAtMs, block.mid(cut)});
        streamBusyUntilMs = restAtMs;
    } else {
        deliveries.append({atMs, block});
        streamBusyUntilMs = atMs;
    }
    if (choose(4) == 0) {
        streamBusyUntilMs += qint64(choose(2 * rxOutTimeMs / txTimeMs)) * txTimeMs;
        deliveries.append({streamBusyUntilMs, block});
    }
}

// Waits until the line has handed on every whole reply written so far.
void SchedulerModel::writeToLine(const Delivery &delivery)
{
    const QByteArray &bytes = delivery.block;
    heldBytes = delivery.firstHalf ? bytes.size() : 0;
    server->write(bytes);
    server->flush();
    writtenBytes += bytes.size();
    QElapsedTimer waited;
    waited.start();
    while (handedBytes < writtenBytes - heldBytes && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (handedBytes != writtenBytes - heldBytes)
        problems << QStringLiteral("%1 bytes written, %2 handed on as blocks").arg(writtenBytes).arg(handedBytes);
}

QByteArray SchedulerModel::replyFor(const Request &request, Fate fate) const
{
    const PendingCommand &command = request.command;
    QList<quint16> values;
    for (int i = 0; i < command.count; ++i)
        values.append(valueAt(command.address + i));
    const bool write = command.isWrite();
    QByteArray reply;
    reply.append(char(fate == Fate::Foreign ? slave + 1 : slave));
    if (fate == Fate::Exception) {
        reply.append(char(command.function() | 0x80));
        reply.append(char(2));
    } else if (write != (fate == Fate::WrongKind)) {
        // A write echo: of the write itself, or of a read's register.
        reply.append(char(0x06));
        reply.append(write ? command.frame.mid(2, 4) : words({quint16(command.address), values.first()}));
    } else {
        const int count = fate == Fate::ShortRead && command.count > 1 ? command.count - 1 : command.count;
        reply.append(char(0x03));
        reply.append(char(2 * count));
        reply.append(words(write ? QList<quint16>{quint16(choose(65536))} : values.mid(0, count)));
    }
    reply = withCrc(reply);
    if (fate == Fate::BadCrc)
        reply[reply.size() - 1] = char(reply.at(reply.size() - 1) ^ 0x5A);
    if (modbusTcp)
        return mbapFromRtu(reply, quint16(request.transaction + (fate == Fate::OtherTransaction ? 1 : 0)));
    return reply;
}

void SchedulerModel::onCompleted(const PendingCommand &command, const RequestOutcome &outcome)
{
    kinds[int(outcome.kind)] += 1;
    auto found = requests.find(command.tag);
    if (found == requests.end()) {
        problems << QStringLiteral("an outcome for request %1, never made").arg(command.tag);
        return;
    }
    Request &request = found.value();
    if (++request.outcomes > 1)
        problems << QStringLiteral("request %1 got a second outcome").arg(command.tag);
    if (outcome.kind == OutcomeKind::TimedOut && request.fate == Fate::Late) {
        // The driver answers after all, within one reply timeout.
        const qint64 after = qint64(choose(rxOutTimeMs / txTimeMs)) * txTimeMs;
        deliver(nowMs + after, replyFor(request, Fate::OnTime));
    }
    if (request.fate == Fate::OtherTransaction
        && (outcome.answered() || outcome.kind == OutcomeKind::Refused))
        problems << QStringLiteral("request %1 took a reply under another transaction id").arg(command.tag);
    if (!outcome.answered())
        return;
    QList<quint16> expected;
    if (command.isWrite()) {
        expected.append(quint16((uchar(command.frame.at(4)) << 8) | uchar(command.frame.at(5))));
    } else {
        for (int i = 0; i < command.count; ++i)
            expected.append(valueAt(command.address + i));
    }
    if (outcome.values != expected)
        problems << QStringLiteral("request %1 (address %2) answered with another register's values")
                        .arg(command.tag)
                        .arg(command.address);
}

void SchedulerModel::finish()
{
    // Every reply on its way arrives, so that the stream ends clean.
    while (server && !deliveries.isEmpty())
        writeToLine(deliveries.takeFirst());
    scheduler->stop();
    if (server && scheduler->doubtCount() != 0)
        problems << QStringLiteral("%1 replies of an honest server were taken for doubt").arg(scheduler->doubtCount());
    for (auto it = requests.cbegin(); it != requests.cend(); ++it) {
        if (it.value().outcomes != 1)
            problems << QStringLiteral("request %1 got %2 outcomes").arg(it.key()).arg(it.value().outcomes);
    }
}

QStringList SchedulerModel::violations() const
{
    return problems;
}

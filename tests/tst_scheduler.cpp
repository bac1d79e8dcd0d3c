#include <QtTest>
#include <QTcpServer>
#include <QScopeGuard>

#include <QRandomGenerator>

#include "paramsets/commandrun.h"
#include "protocol/modbusmaster.h"
#include "registermap/registermap.h"
#include "protocol/requestscheduler.h"
#include "serial/serial.h"
#include "serial/wiretime.h"
#include "support/schedulermodel.h"

// The scheduler's one promise, under every interleaving the model can make:
// each request gets exactly one outcome, and an answered request carries its
// own registers' values, whatever comes late, garbled, from another slave or
// of the wrong kind, and whatever sessions end meanwhile.
class TestScheduler : public QObject
{
    Q_OBJECT

private slots:
    void everyRequestGetsExactlyOneFittingOutcome_data();
    void everyRequestGetsExactlyOneFittingOutcome();
    void batchRequestsLeaveWithoutWaitingForTicks();
    void aReplyAfterItsWaitIsLateWhenHandedOverEarly();
    void aHandSentFramesReplyAnswersNoRequest();
    void everyUnaskedBlockIsReportedAndLateOnesAreAwaited();
    void noWriteLeavesAfterDoubtAndACommandWaitsAlone();
    void noSilenceIsShorterThanPromised_data();
    void noSilenceIsShorterThanPromised();
};

void TestScheduler::everyRequestGetsExactlyOneFittingOutcome_data()
{
    QTest::addColumn<bool>("modbusTcp");
    QTest::addColumn<bool>("throughConnection");
    QTest::addColumn<quint32>("seeds");
    QTest::newRow("serial line") << false << false << 1000u;
    QTest::newRow("Modbus TCP") << true << false << 1000u;
    // Late, repeated and split replies of an honest server: never doubt.
    QTest::newRow("Modbus TCP, late, repeated and split") << true << true << 40u;
}

void TestScheduler::everyRequestGetsExactlyOneFittingOutcome()
{
    QFETCH(bool, modbusTcp);
    QFETCH(bool, throughConnection);
    QFETCH(quint32, seeds);
    // The frames leave through a real connection; the replies are handed
    // to the scheduler by the model, or written back through it.
    QTcpServer server;
    QTcpSocket *serverEnd = nullptr;
    if (modbusTcp) {
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QVERIFY(Serial::instance()->openNetwork(NetworkTarget{QStringLiteral("127.0.0.1"), server.serverPort()}));
        if (throughConnection) {
            QVERIFY(server.hasPendingConnections() || server.waitForNewConnection(5000));
            serverEnd = server.nextPendingConnection();
        }
    }
    // The tests after this one time a serial line: an attempt to open one
    // (none is named, so it fails) takes the shared line off the network.
    auto closeLine = qScopeGuard([] {
        Serial::instance()->closeLine();
        Serial::instance()->openPort(QString(), 9600, QSerialPort::NoParity, QSerialPort::OneStop);
    });
    QHash<int, int> seen;
    for (quint32 seed = 1; seed <= seeds; ++seed) {
        QRandomGenerator random(seed);
        SchedulerModel model([&random](quint32 bound) { return random.bounded(bound); }, modbusTcp, serverEnd);
        for (int step = 0; step < 600; ++step)
            model.step();
        model.finish();
        QVERIFY2(model.violations().isEmpty(),
                 qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(model.violations().join("; "))));
        for (OutcomeKind kind : {OutcomeKind::Answered, OutcomeKind::Refused, OutcomeKind::Garbled,
                                 OutcomeKind::TimedOut, OutcomeKind::Cancelled})
            seen[int(kind)] += model.outcomes(kind);
    }
    // The runs went through every kind of outcome, not only the easy ones
    // (an honest server garbles none).
    for (int kind = 0; kind < 5; ++kind) {
        if (!(throughConnection && OutcomeKind(kind) == OutcomeKind::Garbled))
            QVERIFY2(seen.value(kind) > 100, qPrintable(QString::number(kind)));
    }
}

// Batch work goes at line speed: with ticks a minute apart, three reads
// that time out still each get their outcome, and the tick-paced request
// behind them waits for its tick.
void TestScheduler::batchRequestsLeaveWithoutWaitingForTicks()
{
    RequestScheduler scheduler(Serial::instance());
    scheduler.setTiming(60000, 20);
    scheduler.start();
    QObject owner;
    QList<int> done;
    connect(&scheduler, &RequestScheduler::completed, &owner,
            [&done](const PendingCommand &request, const RequestOutcome &) { done.append(request.tag); });
    for (int i = 0; i < 4; ++i) {
        PendingCommand read{ModbusMaster::instance()->readCmd(1, quint16(i), 1), quint16(i), 1, &owner, i};
        read.lineSpeed = i < 3;
        scheduler.enqueue(read);
    }
    QTRY_COMPARE(done, (QList<int>{0, 1, 2}));
    QTest::qWait(200);
    QCOMPARE(done, (QList<int>{0, 1, 2}));
    scheduler.stop();
    QCOMPARE(done, (QList<int>{0, 1, 2, 3}));
}

namespace {

// A started scheduler and the kinds of outcome its requests got, in order.
struct OutcomeRecorder
{
    OutcomeRecorder(int txTimeMs, quint32 rxOutTimeMs)
    {
        scheduler.setTiming(txTimeMs, rxOutTimeMs);
        scheduler.start();
        QObject::connect(&scheduler, &RequestScheduler::completed, &owner,
                         [this](const PendingCommand &, const RequestOutcome &outcome) { kinds.append(outcome.kind); });
    }
    PendingCommand read(quint16 address) { return {ModbusMaster::instance()->readCmd(1, address, 1), address, 1, &owner, 0}; }

    RequestScheduler scheduler{Serial::instance()};
    QObject owner;
    QList<OutcomeKind> kinds;
};

// A one-register read reply of slave 1.
QByteArray readReply(quint16 value)
{
    QByteArray reply = QByteArray::fromHex("010302");
    reply.append(char(value >> 8)).append(char(value & 0xFF));
    ModbusMaster::instance()->appendCrc(reply);
    return reply;
}

} // namespace

// A loaded event loop may hand a reply over before the deadline's timer
// fires; the clock, not the order of events, decides that it came late.
void TestScheduler::aReplyAfterItsWaitIsLateWhenHandedOverEarly()
{
    qint64 clockMs = 0;
    OutcomeRecorder line(5, 20);
    line.scheduler.setClock([&clockMs] { return clockMs; });
    PendingCommand read = line.read(0x10);
    read.lineSpeed = true;
    line.scheduler.enqueue(read);
    QTRY_VERIFY(line.scheduler.isAwaiting());
    clockMs += 1000;
    line.scheduler.takeBlock(readReply(5));
    QCOMPARE(line.kinds, QList<OutcomeKind>{OutcomeKind::TimedOut});
    QCOMPARE(line.scheduler.statistics().validReplies, 0u);
}

// The reply to a frame sent by hand may come after the next request has
// left; it must not be taken as that request's answer.
void TestScheduler::aHandSentFramesReplyAnswersNoRequest()
{
    OutcomeRecorder line(5, 1000);
    for (const bool crossed : {false, true}) {
        if (crossed)
            line.scheduler.noteHandSent();
        line.scheduler.enqueue(line.read(0x11));
        line.scheduler.tick();
        QVERIFY(line.scheduler.isAwaiting());
        line.scheduler.takeBlock(readReply(3000));
    }
    QCOMPARE(line.kinds, (QList<OutcomeKind>{OutcomeKind::Answered, OutcomeKind::Garbled}));
}

// A reply no request awaits is reported wherever it comes: after an answer,
// while the line settles after a timeout. The time a client listens for one
// after its last outcome follows the round trips seen, never beyond a whole
// reply wait, and a client waiting meanwhile hears of it before it is done.
void TestScheduler::everyUnaskedBlockIsReportedAndLateOnesAreAwaited()
{
    qint64 clockMs = 0;
    OutcomeRecorder line(5, 1000);
    line.scheduler.setClock([&clockMs] { return clockMs; });
    QSignalSpy unasked(&line.scheduler, &RequestScheduler::unaskedReply);
    QVERIFY(line.scheduler.lateReplyWindowMs() >= 1000);

    auto roundTrip = [&](qint64 ms) {
        line.scheduler.enqueue(line.read(0x10));
        line.scheduler.tick();
        clockMs += ms;
        line.scheduler.takeBlock(readReply(7));
    };
    // One answer may itself be a reply owed from before: the whole wait.
    roundTrip(4);
    QVERIFY(line.scheduler.lateReplyWindowMs() >= 1000);
    roundTrip(4);
    QVERIFY(line.scheduler.lateReplyWindowMs() >= 8);
    QVERIFY(line.scheduler.lateReplyWindowMs() < 30);
    roundTrip(900);
    QVERIFY(line.scheduler.lateReplyWindowMs() < 1100);
    QCOMPARE(unasked.count(), 0);

    line.scheduler.takeBlock(readReply(7));
    QCOMPARE(unasked.count(), 1);
    line.scheduler.enqueue(line.read(0x11));
    line.scheduler.tick();
    clockMs += 5000;
    line.scheduler.tick();
    QCOMPARE(line.kinds.last(), OutcomeKind::TimedOut);
    line.scheduler.takeBlock(readReply(7));
    QCOMPARE(unasked.count(), 2);

    bool done = false;
    line.scheduler.afterLateReplies(&line.owner, [&] { done = unasked.count() == 3; });
    line.scheduler.takeBlock(readReply(7));
    QTest::qWait(50);
    QVERIFY2(!done, "the line owes a quiet after the timeout");
    clockMs += 5000;
    QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
}

// A write queued before a reply that fits no request is held where it would
// leave, a read is not; a write queued after it goes. A command's echo wait
// lets no other owner's request leave, and a garbled block in it makes the
// command doubtful.
void TestScheduler::noWriteLeavesAfterDoubtAndACommandWaitsAlone()
{
    RequestScheduler scheduler(Serial::instance());
    scheduler.setTiming(60000, 40);
    scheduler.start();
    QObject owner;
    QObject refresh;
    QList<QPair<int, RequestOutcome>> outcomes;
    connect(&scheduler, &RequestScheduler::completed, &owner,
            [&outcomes](const PendingCommand &request, const RequestOutcome &outcome) {
                outcomes.append({request.tag, outcome});
            });
    QSignalSpy lineErrors(&scheduler, &RequestScheduler::lineError);
    ModbusMaster *modbus = ModbusMaster::instance();
    scheduler.enqueue({modbus->writeCmd(1, 0x10, 2000), 0x10, 1, &owner, 1});
    scheduler.enqueue({modbus->readCmd(1, 0x11, 1), 0x11, 1, &owner, 2});
    scheduler.takeBlock(readReply(7));
    QCOMPARE(scheduler.doubtCount(), 1u);
    scheduler.tick();
    QCOMPARE(outcomes.size(), 1);
    QCOMPARE(outcomes.at(0).first, 1);
    QCOMPARE(outcomes.at(0).second.kind, OutcomeKind::Cancelled);
    QVERIFY(!outcomes.at(0).second.frameSent);
    QVERIFY(outcomes.at(0).second.heldForDoubt);
    QVERIFY(lineErrors.last().at(0).toString().startsWith(QStringLiteral("Write held back")));
    QVERIFY(scheduler.isAwaiting());
    scheduler.takeBlock(readReply(50));
    QCOMPARE(outcomes.last().first, 2);
    QVERIFY(outcomes.last().second.answered());
    scheduler.enqueue({modbus->writeCmd(1, 0x10, 2000), 0x10, 1, &owner, 3});
    scheduler.tick();
    QVERIFY(scheduler.isAwaiting());
    QByteArray echo = modbus->writeCmd(1, 0x10, 2000);
    scheduler.takeBlock(echo);
    QCOMPARE(outcomes.last().first, 3);
    QVERIFY(outcomes.last().second.answered());

    // The command leaves first; the refresh's read waits until its whole
    // reply wait is over, so a second echo comes alone and is heard.
    CommandRun command(&scheduler);
    RegisterInfo resetRow = parseRegisterLine(QStringLiteral(
        "indexes:0x0020,permission:W,defaultValue:0,rangeValue:0~1,name:Reset,remarks:,command:reset=1"));
    resetRow.addressValid = true;
    command.setMap({resetRow});
    QList<CommandResult> results;
    connect(&command, &CommandRun::finished, &owner,
            [&results](const DriverCommand &, CommandResult result, const QString &) { results.append(result); });
    scheduler.enqueue({modbus->readCmd(1, 0x11, 1), 0x11, 1, &refresh, 4});
    QVERIFY(command.send(DriverCommand{QStringLiteral("reset"), 0x20, 1}, 6));
    scheduler.tick();
    QVERIFY(scheduler.isAwaiting());
    scheduler.takeBlock(modbus->writeCmd(1, 0x20, 1));
    for (int i = 0; i < 3; ++i) {
        scheduler.tick();
        QVERIFY2(!scheduler.isAwaiting(), "the refresh's read left during the command's wait");
    }
    QByteArray garbled = modbus->writeCmd(1, 0x20, 1);
    garbled[garbled.size() - 1] = char(garbled.at(garbled.size() - 1) ^ 0x01);
    scheduler.takeBlock(garbled);
    QTRY_COMPARE(results, QList<CommandResult>{CommandResult::Doubtful});
    QVERIFY(outcomes.last().first != 4);
    scheduler.tick();
    QVERIFY(scheduler.isAwaiting());
    scheduler.takeBlock(readReply(50));
    QCOMPARE(outcomes.last().first, 4);
    scheduler.stop();
}

void TestScheduler::noSilenceIsShorterThanPromised_data()
{
    QTest::addColumn<qint32>("baud");
    QTest::newRow("1200") << 1200;
    QTest::newRow("9600") << 9600;
    QTest::newRow("115200") << 115200;
}

// A clock in steps of a twentieth of a millisecond: the gap after an
// answer, the quiet after a garbled reply and the wait before a timeout are
// each at least what the line promises, never a rounded millisecond less.
void TestScheduler::noSilenceIsShorterThanPromised()
{
    QFETCH(qint32, baud);
    Serial::instance()->serialPort->setBaudRate(baud);
    double clockMs = 0.37;
    OutcomeRecorder line(5, 30);
    line.scheduler.setClock([&clockMs] { return clockMs; });
    double sentAtMs = -1;
    QObject probe;
    connect(Serial::instance(), &Serial::sendDataShow, &probe, [&] { sentAtMs = clockMs; });
    auto send = [&] {
        PendingCommand read = line.read(0x10);
        read.lineSpeed = true;
        sentAtMs = -1;
        line.scheduler.enqueue(read);
    };
    auto runUntil = [&](const std::function<bool()> &done) {
        QElapsedTimer guard;
        guard.start();
        // The clock never runs ahead of the real one that drives the timers.
        while (!done() && guard.elapsed() < 20000) {
            clockMs += 0.05;
            QThread::usleep(50);
            QCoreApplication::processEvents();
        }
        QVERIFY(done());
    };
    const double gap = line.scheduler.interFrameGapMs();

    send();
    runUntil([&] { return sentAtMs >= 0; });
    clockMs += 2.03;
    line.scheduler.takeBlock(readReply(9));
    const double answeredAtMs = clockMs;
    send();
    runUntil([&] { return sentAtMs >= 0; });
    QVERIFY2(sentAtMs - answeredAtMs >= gap, qPrintable(QString::number(sentAtMs - answeredAtMs)));

    const WireTime wire = WireTime::of(*Serial::instance()->serialPort);
    const double replyWait = 30 + wire.frameMs(8) + wire.frameMs(7);
    clockMs += 1.51;
    line.scheduler.takeBlock(QByteArray::fromHex("0103"));
    const double garbledAtMs = clockMs;
    send();
    runUntil([&] { return sentAtMs >= 0; });
    QVERIFY2(sentAtMs - garbledAtMs >= 30 + replyWait, qPrintable(QString::number(sentAtMs - garbledAtMs)));

    const int outcomes = line.kinds.size();
    runUntil([&] { return line.kinds.size() > outcomes; });
    QCOMPARE(line.kinds.last(), OutcomeKind::TimedOut);
    QVERIFY2(clockMs - sentAtMs >= replyWait, qPrintable(QString::number(clockMs - sentAtMs)));
    Serial::instance()->serialPort->setBaudRate(9600);
}

QTEST_MAIN(TestScheduler)
#include "tst_scheduler.moc"

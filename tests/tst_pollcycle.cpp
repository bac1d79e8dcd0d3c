#include <QtTest>

#include <cmath>

#include <QLabel>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTableWidget>

#include "protocol/modbusmaster.h"
#include "serial/serial.h"
#include "support/lamps.h"
#include "support/logview.h"
#include "support/windowinternals.h"
#include "support/ptypair.h"
#include "support/workfolder.h"

using Inspect = MainWindowInspector;

namespace {

QByteArray mapWithTiming(int txTime, int rxOutTime)
{
    return QStringLiteral("slaveAddress:1,txTime:%1,rxOutTime:%2\n"
                          "indexes:0x10,permission:RW,defaultValue:0x1,rangeValue:0~9,name:A,remarks:\n"
                          "indexes:0x11,permission:RW,defaultValue:0x2,rangeValue:0~9,name:B,remarks:\n"
                          "indexes:0x12,permission:RW,defaultValue:0x3,rangeValue:0~9,name:C,remarks:\n")
        .arg(txTime)
        .arg(rxOutTime)
        .toUtf8();
}

int timeoutLines(MainWindow &window)
{
    return logTexts(window).count(QStringLiteral("Data receiving timeout!"));
}

QByteArray readFrame(quint16 address)
{
    return ModbusMaster::instance()->readCmd(1, address, 1);
}

} // namespace

class TestPollCycle : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void waitGrowsByTxTimeUntilTimeout_data();
    void waitGrowsByTxTimeUntilTimeout();
    void refreshQueuesOneReadPerRegisterAndDrains();
    void timeoutLineOnlyWithDisplayOn();
    void replyEndsTheWaitAndNextFrameLeaves();
    void writeJumpsAheadOfQueuedReads();
    void laterWriteGoesFirst();
    void writeWithPortClosedIsRefused();
    void duplicateAddressRowsEachGetTheirOwnReply();
    void refusedBlockFallsBackToSingleReads();
    void emptyMapRefreshIsDoneOnNextTick();

private:
    bool openPort(MainWindow &window);
    PtyPair *line = nullptr;
};

void TestPollCycle::init()
{
}

void TestPollCycle::cleanup()
{
    Serial::instance()->serialPort->close();
    delete line;
    line = nullptr;
}

// Opens the port on a fresh pseudo-terminal; the poll timer stays stopped,
// so the test drives every tick itself.
bool TestPollCycle::openPort(MainWindow &window)
{
    line = new PtyPair;
    return line->start() && Serial::instance()->openPort(line->appSide(), 115200)
        && !Inspect::pollTimer(window).isActive();
}

void TestPollCycle::waitGrowsByTxTimeUntilTimeout_data()
{
    QTest::addColumn<int>("txTime");
    QTest::addColumn<int>("rxOutTime");
    QTest::addColumn<QList<quint32>>("waits");
    // The wait also covers the request's and the reply's 15.6 ms on the wire
    // at 9600 baud.
    QTest::newRow("defaults") << 100 << 1000
                              << QList<quint32>{1, 101, 201, 301, 401, 501, 601, 701, 801, 901, 1001, 0};
    QTest::newRow("300/1000") << 300 << 1000 << QList<quint32>{1, 301, 601, 901, 0};
    QTest::newRow("within the wire time is not yet a timeout")
        << 100 << 990 << QList<quint32>{1, 101, 201, 301, 401, 501, 601, 701, 801, 901, 1001, 0};
    QTest::newRow("rxOutTime 0") << 100 << 0 << QList<quint32>{1, 0};
}

// After the sending tick, every tick adds txTime; the first tick that takes
// the wait past rxOutTime and the frames' wire time logs the timeout. The
// next request leaves once the line has been quiet for rxOutTime and one
// more reply wait, so that a late reply cannot land on it.
void TestPollCycle::waitGrowsByTxTimeUntilTimeout()
{
    QFETCH(int, txTime);
    QFETCH(int, rxOutTime);
    QFETCH(QList<quint32>, waits);
    WorkFolder folder(mapWithTiming(txTime, rxOutTime));
    MainWindow window;
    Inspect::clickDataRefresh(window);

    QList<quint32> seen;
    for (int i = 0; i < waits.size(); ++i) {
        Inspect::tick(window);
        seen << Inspect::waitElapsed(window);
        QCOMPARE(timeoutLines(window), i + 1 == waits.size() ? 1 : 0);
    }
    QCOMPARE(seen, waits);
    QCOMPARE(Inspect::cmdQueue(window).size(), 2); // no retry: the request is gone
    // Quiet for rxOutTime and one more reply wait.
    const double quietMs = rxOutTime + std::ceil(rxOutTime + 15.625);
    const int quietTicks = qMax(1, int(std::ceil(quietMs / txTime)));
    for (int i = 1; i < quietTicks; ++i) {
        Inspect::tick(window);
        QCOMPARE(Inspect::waitElapsed(window), 0u);
    }
    Inspect::tick(window);
    QCOMPARE(Inspect::waitElapsed(window), 1u);
}

void TestPollCycle::refreshQueuesOneReadPerRegisterAndDrains()
{
    WorkFolder folder(mapWithTiming(100, 1000));
    MainWindow window;
    auto *button = window.findChild<QPushButton *>("pushButton_dataRefresh");
    Inspect::clickDataRefresh(window);
    QVERIFY(!button->isEnabled());
    const QList<PendingCommand> &queue = Inspect::cmdQueue(window);
    QCOMPARE(queue.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(queue.at(i).address, quint16(0x10 + i));
        QCOMPARE(queue.at(i).frame, readFrame(quint16(0x10 + i)));
    }

    QLabel *counter = nullptr;
    for (QLabel *label : window.findChild<QStatusBar *>("statusBar")->findChildren<QLabel *>())
        if (label->text().contains(QStringLiteral("数据刷新次数")))
            counter = label;
    QVERIFY(counter);
    for (int request = 0; request < 3; ++request) {
        Inspect::tick(window); // send
        Inspect::receive(window, QByteArray::fromHex("0103020064b9af"));
        QVERIFY(!button->isEnabled());
        QCOMPARE(counter->text(), QStringLiteral("    数据刷新次数 : 0    "));
    }
    Inspect::tick(window);
    QVERIFY(button->isEnabled());
    QCOMPARE(button->styleSheet(), QStringLiteral("border-image: url(:/new/prefix1/picture/dataRefresh.png)"));
    QCOMPARE(counter->text(), QStringLiteral("    数据刷新次数 : 1    "));
    Inspect::tick(window); // idle ticks do not count again
    QCOMPARE(counter->text(), QStringLiteral("    数据刷新次数 : 1    "));
}

void TestPollCycle::timeoutLineOnlyWithDisplayOn()
{
    WorkFolder folder(mapWithTiming(100, 100));
    MainWindow window;
    Inspect::isDisplayOn(window) = false;
    Inspect::clickDataRefresh(window);
    Inspect::tick(window); // send
    Inspect::tick(window); // 101: within 100 ms and the wire time
    Inspect::tick(window); // 201: timeout
    QCOMPARE(Inspect::waitElapsed(window), 0u);
    QVERIFY(logTexts(window).isEmpty());

    Inspect::isDisplayOn(window) = true;
    // Quiet for 100 + 116 ms, then the next read leaves and times out.
    for (int tick = 0; tick < 3 + 2; ++tick)
        Inspect::tick(window);
    QCOMPARE(Inspect::waitElapsed(window), 0u);
    const QList<LogLine> lines = logLines(window);
    QCOMPARE(lines.last().text, QStringLiteral("Data receiving timeout!"));
    QCOMPARE(lines.last().colour, shownColour(window, LogColour::Error));
}

void TestPollCycle::replyEndsTheWaitAndNextFrameLeaves()
{
    WorkFolder folder(mapWithTiming(100, 1000));
    MainWindow window;
    QVERIFY(openPort(window));
    QSerialPort peer(line->peerSide());
    QVERIFY(peer.open(QIODevice::ReadWrite));

    Inspect::clickDataRefresh(window);
    Inspect::tick(window);
    QCOMPARE(Inspect::currentRow(window), 0);
    QTRY_COMPARE(peer.bytesAvailable(), qint64(8));
    QCOMPARE(peer.readAll(), readFrame(0x10));

    Inspect::tick(window); // still waiting: nothing is sent
    QCOMPARE(Inspect::waitElapsed(window), 101u);
    Inspect::receive(window, QByteArray::fromHex("0103020064b9af"));
    QCOMPARE(Inspect::waitElapsed(window), 0u);
    Inspect::tick(window);
    QCOMPARE(Inspect::currentRow(window), 1);
    QTRY_COMPARE(peer.bytesAvailable(), qint64(8));
    QCOMPARE(peer.readAll(), readFrame(0x11));
}

void TestPollCycle::writeJumpsAheadOfQueuedReads()
{
    WorkFolder folder(mapWithTiming(100, 1000));
    MainWindow window;
    QVERIFY(openPort(window));
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    Inspect::clickDataRefresh(window);
    Inspect::tick(window); // read of row 0 in flight

    const QByteArray write = ModbusMaster::instance()->writeCmd(1, 0x12, 7);
    Inspect::requestWrite(window, 2, write);
    QCOMPARE(lampColour(table, 2), QStringLiteral("red"));
    QCOMPARE(Inspect::cmdQueue(window).first().frame, write);
    QCOMPARE(Inspect::cmdQueue(window).first().address, quint16(0x12));
    QCOMPARE(Inspect::waitElapsed(window), 1u); // the read in flight is not affected

    Inspect::receive(window, QByteArray::fromHex("0103020064b9af"));
    Inspect::tick(window);
    QCOMPARE(Inspect::currentRow(window), 2);
    QCOMPARE(Inspect::cmdQueue(window).size(), 2);
    QCOMPARE(Inspect::cmdQueue(window).first().address, quint16(0x11));
}

void TestPollCycle::laterWriteGoesFirst()
{
    WorkFolder folder(mapWithTiming(100, 1000));
    MainWindow window;
    QVERIFY(openPort(window));
    const QByteArray first = ModbusMaster::instance()->writeCmd(1, 0x10, 1);
    const QByteArray second = ModbusMaster::instance()->writeCmd(1, 0x11, 2);
    Inspect::requestWrite(window, 0, first);
    Inspect::requestWrite(window, 1, second);
    QCOMPARE(Inspect::cmdQueue(window).at(0).frame, second);
    QCOMPARE(Inspect::cmdQueue(window).at(1).frame, first);
}

void TestPollCycle::writeWithPortClosedIsRefused()
{
    WorkFolder folder(mapWithTiming(100, 1000));
    MainWindow window;
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    Inspect::requestWrite(window, 1, ModbusMaster::instance()->writeCmd(1, 0x11, 9));
    QVERIFY(Inspect::cmdQueue(window).isEmpty());
    QCOMPARE(lampColour(table, 1), QStringLiteral("stale"));
    // The refusal is a notice; wait for it to fade while the window lives.
    QTRY_VERIFY_WITH_TIMEOUT(window.findChildren<QPropertyAnimation *>().isEmpty(), 5000);
}

void TestPollCycle::duplicateAddressRowsEachGetTheirOwnReply()
{
    WorkFolder folder(QByteArray("slaveAddress:1\n"
                                 "indexes:0x10,permission:R,defaultValue:0x1,rangeValue:0~9,name:A,remarks:\n"
                                 "indexes:0x10,permission:R,defaultValue:0x2,rangeValue:0~9,name:B,remarks:\n"));
    MainWindow window;
    Inspect::clickDataRefresh(window);
    QCOMPARE(Inspect::cmdQueue(window).size(), 2);
    Inspect::tick(window);
    QCOMPARE(Inspect::currentRow(window), 0);
    Inspect::receive(window, QByteArray::fromHex("01030200057847"));
    Inspect::tick(window);
    QCOMPARE(Inspect::currentRow(window), 1);
    Inspect::receive(window, QByteArray::fromHex("0103020007f986"));
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("5"));
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("7"));
}

void TestPollCycle::emptyMapRefreshIsDoneOnNextTick()
{
    WorkFolder folder(QByteArray("slaveAddress:1\n"));
    MainWindow window;
    auto *button = window.findChild<QPushButton *>("pushButton_dataRefresh");
    Inspect::clickDataRefresh(window);
    QVERIFY(!button->isEnabled());
    Inspect::tick(window);
    QVERIFY(button->isEnabled());
}

// A block that the driver refuses is read register by register, at once and
// in every later refresh; rows outside it keep their block.
void TestPollCycle::refusedBlockFallsBackToSingleReads()
{
    WorkFolder folder(QByteArray("slaveAddress:1,txTime:10,rxOutTime:100,blockRead:2\n"
                                 "indexes:0x10,permission:R,defaultValue:0x1,rangeValue:0~9,name:A,remarks:\n"
                                 "indexes:0x11,permission:R,defaultValue:0x2,rangeValue:0~9,name:B,remarks:\n"
                                 "indexes:0x20,permission:R,defaultValue:0x3,rangeValue:0~9,name:C,remarks:\n"
                                 "indexes:0x21,permission:R,defaultValue:0x4,rangeValue:0~9,name:D,remarks:\n"));
    MainWindow window;
    Inspect::clickDataRefresh(window);
    const QList<PendingCommand> &queue = Inspect::cmdQueue(window);
    QCOMPARE(queue.size(), 2);
    QCOMPARE(queue.first().frame, ModbusMaster::instance()->readCmd(1, 0x10, 2));
    Inspect::tick(window);
    Inspect::receive(window, QByteArray::fromHex("018302c0f1"));
    QVERIFY(logTexts(window).last().contains(QStringLiteral("one by one")));
    QCOMPARE(queue.size(), 3);
    QCOMPARE(queue.at(1).frame, ModbusMaster::instance()->readCmd(1, 0x10, 1));
    QCOMPARE(queue.at(2).frame, ModbusMaster::instance()->readCmd(1, 0x11, 1));
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    QCOMPARE(lampColour(table, 0), QStringLiteral("stale"));
    QCOMPARE(lampColour(table, 1), QStringLiteral("stale"));

    Inspect::cmdQueue(window).clear();
    Inspect::clickDataRefresh(window);
    QCOMPARE(queue.size(), 3);
    QCOMPARE(queue.at(2).frame, ModbusMaster::instance()->readCmd(1, 0x20, 2));
}

QTEST_MAIN(TestPollCycle)
#include "tst_pollcycle.moc"

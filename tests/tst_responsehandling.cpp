#include <QtTest>

#include <QCheckBox>
#include <QTableWidget>

#include "protocol/modbusmaster.h"
#include "support/lamps.h"
#include "support/logview.h"
#include "support/windowinternals.h"
#include "support/workfolder.h"

using Inspect = MainWindowInspector;

namespace {


QByteArray withCrc(const QByteArray &payload)
{
    QByteArray frame = payload;
    ModbusMaster::instance()->appendCrc(frame);
    return frame;
}

QByteArray mapWithSlave(int slave)
{
    return QStringLiteral("slaveAddress:%1\n"
                          "indexes:0x0000,permission:R,defaultValue:0x0000,rangeValue:0~9,name:Status,remarks:\n"
                          "indexes:0x0001,permission:R,defaultValue:0x0000,rangeValue:0~9,name:Alarm,remarks:\n"
                          "indexes:0x0010,permission:RW,defaultValue:0x0064,rangeValue:0~1000,name:Current,remarks:\n")
        .arg(slave)
        .toUtf8();
}

const QByteArray goodRead = QByteArray::fromHex("0103020064b9af");

} // namespace

class TestResponseHandling : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void goodReadTurnsGreenThenWhite();
    void rejectedBlocksChangeNothingButEndTheWait_data();
    void rejectedBlocksChangeNothingButEndTheWait();
    void slaveAddressBeyond247IsRefused();
    void writeEchoConfirmsByAddress();
    void writeEchoForUnknownOrShortIsAnError_data();
    void writeEchoForUnknownOrShortIsAnError();
    void displayOffUpdatesTableSilently();
    void emptyBlockIsIgnored();
    void textModeShowsBytesUpToNul();
    void readWithoutRowStoresNothing();

private:
    MainWindow *window = nullptr;
    QTableWidget *table = nullptr;
    std::unique_ptr<WorkFolder> folder;
    std::unique_ptr<MainWindow> owner;
    void makeWindow(const QByteArray &map);
};

void TestResponseHandling::init()
{
    makeWindow(mapWithSlave(1));
}

void TestResponseHandling::makeWindow(const QByteArray &map)
{
    owner.reset();
    folder.reset(); // restores the working directory before the next one is made current
    folder.reset(new WorkFolder(map));
    owner.reset(new MainWindow);
    window = owner.get();
    table = window->findChild<QTableWidget *>("tableWidget");
}

void TestResponseHandling::goodReadTurnsGreenThenWhite()
{
    Inspect::awaitRow(*window, 2);
    Inspect::waitElapsed(*window) = 301;
    Inspect::receive(*window, goodRead);

    const QList<LogLine> lines = logLines(*window);
    QCOMPARE(lines.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d::\\d\\d\\d\\] $"))
                .match(lines.first().text.left(16)).hasMatch());
    QCOMPARE(withoutTimestamp(lines.first().text), QStringLiteral("Rx(hex):01 03 02 00 64 B9 AF "));
    QCOMPARE(lines.first().colour, shownColour(*window, LogColour::Received));

    QCOMPARE(Inspect::registerList(*window).at(2).value, quint16(100));
    QCOMPARE(Inspect::registerList(*window).at(2).valueText, QStringLiteral("100"));
    QCOMPARE(table->item(2, 1)->text(), QStringLiteral("100"));
    QCOMPARE(lampColour(table, 2), QStringLiteral("green")); // "0x0064" became "100"
    QCOMPARE(Inspect::waitElapsed(*window), 0u);

    // Only an awaited request takes a reply: the same block again is a stray,
    // and the value read before it may have been another request's.
    Inspect::scheduler(*window).start();
    Inspect::receive(*window, goodRead);
    QCOMPARE(lampColour(table, 2), QStringLiteral("stale"));
    QCOMPARE(logLines(*window).last().text, QStringLiteral("Reply ignored: no request was awaited"));
    QCOMPARE(Inspect::scheduler(*window).statistics().unmatched, 1u);
    Inspect::scheduler(*window).stop();
    Inspect::awaitRow(*window, 2);
    Inspect::receive(*window, goodRead);
    QCOMPARE(lampColour(table, 2), QStringLiteral("white"));
    // A row no reply has reached shows the map's value, not a live one.
    QCOMPARE(lampColour(table, 0), QStringLiteral("stale"));
}

void TestResponseHandling::rejectedBlocksChangeNothingButEndTheWait_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("errorLine");
    QTest::addColumn<QString>("lamp");
    QByteArray badCrc = goodRead;
    badCrc[6] = char(0xB0);
    // A read that brought no value of its own leaves the row not live.
    QTest::newRow("CRC error") << badCrc << "Data CRC Error!" << "stale";
    QTest::newRow("one byte") << QByteArray(1, '\x01') << "Data CRC Error!" << "stale";
    QTest::newRow("foreign slave") << withCrc(QByteArray::fromHex("0203020064"))
                                   << "Reply from slave 2 ignored: the request went to slave 1" << "stale";
    // A refused read leaves the row marked as not live.
    QTest::newRow("exception reply") << withCrc(QByteArray::fromHex("018302"))
                                     << "Modbus exception 02: illegal data address" << "stale";
    QTest::newRow("byte count does not fit") << withCrc(QByteArray::fromHex("0103040064")) << "Read Data Parsing Error!"
                                             << "stale";
    QTest::newRow("fewer registers than asked") << withCrc(QByteArray::fromHex("010300")) << "Read Data Parsing Error!"
                                                << "stale";
    QTest::newRow("a write echo to a read") << withCrc(QByteArray::fromHex("010600120064"))
                                            << "Reply of function 6 ignored: the request was function 3" << "stale";
}

void TestResponseHandling::rejectedBlocksChangeNothingButEndTheWait()
{
    QFETCH(QByteArray, block);
    QFETCH(QString, errorLine);
    QFETCH(QString, lamp);
    Inspect::awaitRow(*window, 2);
    Inspect::waitElapsed(*window) = 101;
    Inspect::receive(*window, block);

    const QList<LogLine> lines = logLines(*window);
    QCOMPARE(lines.size(), errorLine.isEmpty() ? 1 : 2);
    QCOMPARE(withoutTimestamp(lines.first().text), QStringLiteral("Rx(hex):") + QString::fromLatin1(block.toHex(' ').toUpper()) + ' ');
    if (!errorLine.isEmpty()) {
        QCOMPARE(lines.at(1).text, errorLine);
        QCOMPARE(lines.at(1).colour, shownColour(*window, LogColour::Error));
    }
    QCOMPARE(table->item(2, 1)->text(), QStringLiteral("0x0064"));
    QCOMPARE(lampColour(table, 2), lamp);
    QCOMPARE(Inspect::registerList(*window).at(2).value, quint16(100));
    QCOMPARE(Inspect::waitElapsed(*window), 0u);
}

// Cut to its low eight bits, 257 would be slave 1 by chance and 300 slave 44:
// the map's problem, and the window keeps address 1.
void TestResponseHandling::slaveAddressBeyond247IsRefused()
{
    makeWindow(mapWithSlave(300));
    QCOMPARE(Inspect::slaveAddress(*window), 1u);
    Inspect::awaitRow(*window, 0);
    Inspect::receive(*window, goodRead);
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("100"));
}

void TestResponseHandling::writeEchoConfirmsByAddress()
{
    const QByteArray write = ModbusMaster::instance()->writeCmd(1, 0x10, 100);
    Inspect::awaitRequest(*window, PendingCommand{write, 0x10, 1, window, 2});
    Inspect::receive(*window, QByteArray::fromHex("01060010006489e4"));
    QCOMPARE(table->item(2, 1)->text(), QStringLiteral("100"));
    QCOMPARE(lampColour(table, 2), QStringLiteral("green"));
    QCOMPARE(Inspect::registerList(*window).at(2).valueText, QStringLiteral("100"));
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("0x0000"));
    QCOMPARE(logLines(*window).size(), 1);
}

void TestResponseHandling::writeEchoForUnknownOrShortIsAnError_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("errorLine");
    QTest::newRow("another register") << withCrc(QByteArray::fromHex("010600990064"))
                                      << "Write echo 0x0099 <- 100 does not match the write: ignored";
    QTest::newRow("another value") << withCrc(QByteArray::fromHex("010600000065"))
                                   << "Write echo 0x0000 <- 101 does not match the write: ignored";
    // With a valid CRC but too short to be an echo, its bytes are never read
    // as a value; without the check the first row (address 0) would get one.
    QTest::newRow("six bytes") << withCrc(QByteArray::fromHex("01060000")) << "Write Data Parsing Error!";
    QTest::newRow("seven bytes") << withCrc(QByteArray::fromHex("0106000000")) << "Write Data Parsing Error!";
}

void TestResponseHandling::writeEchoForUnknownOrShortIsAnError()
{
    QFETCH(QByteArray, block);
    QFETCH(QString, errorLine);
    const QByteArray write = ModbusMaster::instance()->writeCmd(1, 0x00, 100);
    Inspect::awaitRequest(*window, PendingCommand{write, 0x00, 1, window, 0});
    Inspect::receive(*window, block);
    const QList<LogLine> lines = logLines(*window);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(1).text, errorLine);
    QCOMPARE(lines.at(1).colour, shownColour(*window, LogColour::Error));
    for (int row = 0; row < 3; ++row)
        QCOMPARE(lampColour(table, row), QStringLiteral("stale"));
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("0x0000"));
    QCOMPARE(Inspect::waitElapsed(*window), 0u);
}

void TestResponseHandling::displayOffUpdatesTableSilently()
{
    Inspect::isDisplayOn(*window) = false;
    Inspect::awaitRow(*window, 1);
    Inspect::receive(*window, goodRead);
    QByteArray badCrc = goodRead;
    badCrc[5] = 0;
    Inspect::receive(*window, badCrc);
    QVERIFY(logLines(*window).isEmpty());
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("100"));
    QCOMPARE(lampColour(table, 1), QStringLiteral("green"));
}

void TestResponseHandling::emptyBlockIsIgnored()
{
    Inspect::waitElapsed(*window) = 201;
    Inspect::receive(*window, QByteArray());
    QCOMPARE(Inspect::waitElapsed(*window), 201u);
    QVERIFY(logLines(*window).isEmpty());
}

void TestResponseHandling::textModeShowsBytesUpToNul()
{
    window->findChild<QCheckBox *>("checkBox_2")->setChecked(false);
    Inspect::receive(*window, QByteArray("OK\xE4\xB8\xAD\0tail", 9));
    QCOMPARE(withoutTimestamp(logLines(*window).first().text), QStringLiteral("Rx:OK中"));
}

void TestResponseHandling::readWithoutRowStoresNothing()
{
    Inspect::awaitRow(*window, -1); // the last request's address is not in the map
    Inspect::receive(*window, goodRead);
    for (int row = 0; row < 3; ++row)
        QCOMPARE(lampColour(table, row), QStringLiteral("stale"));
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("0x0000"));
}

QTEST_MAIN(TestResponseHandling)
#include "tst_responsehandling.moc"

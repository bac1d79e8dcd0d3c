#include <QtTest>

#include "protocol/modbusmaster.h"
#include "registermap/registerframes.h"

namespace {

QByteArray withCrc(const QByteArray &payload)
{
    QByteArray frame = payload;
    ModbusMaster::instance()->appendCrc(frame);
    return frame;
}

RegisterInfo registerAt(quint16 address, quint16 value = 0)
{
    RegisterInfo info;
    info.address = address;
    info.value = value;
    return info;
}

} // namespace

class TestModbusMaster : public QObject
{
    Q_OBJECT

private slots:
    void crcCheckValues();
    void crcCoversLongFrames();
    void requestFrames_data();
    void requestFrames();
    void writeMultipleLayout();
    void rowWritesAndTheirEchoes();
    void everyRequestPassesItsCheckAndNoBitFlipDoes();
    void checkCrcOnShortAndChangedBlocks();
    void readReplies_data();
    void readReplies();
    void writeReplies();
};

void TestModbusMaster::crcCheckValues()
{
    const QByteArray check("123456789");
    QCOMPARE(crc16(reinterpret_cast<const uchar *>(check.constData()), 9), quint16(0x4B37));
    QCOMPARE(crc16(nullptr, 0), quint16(0xFFFF));
}

// Frames of 256 bytes and more get the CRC of all their bytes, not of the
// length modulo 256.
void TestModbusMaster::crcCoversLongFrames()
{
    ModbusMaster *master = ModbusMaster::instance();
    QByteArray frame(256, '\x5A');
    master->appendCrc(frame);
    QCOMPARE(frame.size(), 258);
    QVERIFY(frame.right(2) != QByteArray("\xFF\xFF", 2));
    QVERIFY(master->checkCrc(frame));

    // A CRC over the length modulo 256 would cover only the first 44 bytes
    // of this block; a change at byte 200 must still be seen.
    QByteArray block(300, '\x33');
    master->appendCrc(block);
    QVERIFY(master->checkCrc(block));
    block[200] = '\x34';
    QVERIFY(!master->checkCrc(block));
}

void TestModbusMaster::requestFrames_data()
{
    QTest::addColumn<int>("slave");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    ModbusMaster *master = ModbusMaster::instance();
    QTest::newRow("read 0x0000") << 1 << readRegisterCmd(1, registerAt(0x0000))
                                 << QByteArray::fromHex("010300000001840a");
    QTest::newRow("write 100 to 0x0010") << 1 << writeRegisterCmd(1, registerAt(0x0010, 100))
                                         << QByteArray::fromHex("01060010006489e4");
    QTest::newRow("read count 2") << 1 << master->readCmd(1, 0x0000, 2) << withCrc(QByteArray::fromHex("010300000002"));
    QTest::newRow("slave F7, address high byte first")
        << 0xF7 << readRegisterCmd(0xF7, registerAt(0x1234)) << withCrc(QByteArray::fromHex("f70312340001"));
    QTest::newRow("write 65535") << 0xF7 << master->writeCmd(0xF7, 0xFFFF, 0xFFFF)
                                 << withCrc(QByteArray::fromHex("f706ffffffff"));
}

void TestModbusMaster::requestFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestModbusMaster::writeMultipleLayout()
{
    const quint16 values[] = {0x0102, 0xA0B0, 0x0000};
    const QByteArray frame = ModbusMaster::instance()->writeMultipleCmd(1, 0x0020, 3, values);
    QCOMPARE(frame.toHex(' '), withCrc(QByteArray::fromHex("011000200003060102a0b00000")).toHex(' '));
    QCOMPARE(frame.size(), 9 + 2 * 3);
}

// A 32-bit row always goes out whole in one function-16 request; a 16-bit
// row does too when the map asks for function 16.
void TestModbusMaster::rowWritesAndTheirEchoes()
{
    ModbusMaster *master = ModbusMaster::instance();
    RegisterInfo position = registerAt(0x0040, 0xFFFF);
    position.nextWord = 0xFB50;
    position.format.type = ValueType::S32;
    const RegisterInfo current = registerAt(0x0010, 100);
    QCOMPARE(writeRowCmd(1, position, 6).toHex(' '), QByteArray("01 10 00 40 00 02 04 ff ff fb 50 b4 b7"));
    QCOMPARE(writeRowCmd(1, current, 16).toHex(' '), QByteArray("01 10 00 10 00 01 02 00 64 a5 2b"));
    QCOMPARE(writeRowCmd(1, current, 6).toHex(' '), QByteArray("01 06 00 10 00 64 89 e4"));
    QVERIFY(master->writeMultipleCmd(1, 0x0010, QVector<quint16>()).isEmpty());
    QVERIFY(master->writeMultipleCmd(1, 0x0010, QVector<quint16>(124, 1)).isEmpty());
    QCOMPARE(master->writeMultipleCmd(1, 0x0010, QVector<quint16>(123, 1)).size(), 9 + 2 * 123);

    const QByteArray echo = QByteArray::fromHex("011000400002401c");
    const ModbusMaster::WriteMultipleEcho decoded = master->parseWriteMultipleReply(echo);
    QVERIFY(decoded.valid);
    QCOMPARE(decoded.address, quint16(0x0040));
    QCOMPARE(decoded.count, quint16(2));
    for (int length = 0; length < 8; ++length)
        QVERIFY(!master->parseWriteMultipleReply(echo.left(length)).valid);
    QVERIFY(!master->parseWriteMultipleReply(echo + '\0').valid);
    QVERIFY(!master->parseWriteMultipleReply(QByteArray::fromHex("01060010006489e4")).valid);
}

void TestModbusMaster::everyRequestPassesItsCheckAndNoBitFlipDoes()
{
    ModbusMaster *master = ModbusMaster::instance();
    const quint16 values[] = {1, 2, 0xFFFF};
    const QList<QByteArray> requests = {
        master->readCmd(1, 0x1234, 1), master->writeCmd(1, 0xABCD, 0x0F0F),
        master->writeMultipleCmd(1, 0x0001, 3, values)};
    for (const QByteArray &request : requests) {
        QVERIFY(master->checkCrc(request));
        for (int bit = 0; bit < request.size() * 8; ++bit) {
            QByteArray flipped = request;
            flipped[bit / 8] = char(flipped.at(bit / 8) ^ (1 << (bit % 8)));
            QVERIFY2(!master->checkCrc(flipped), qPrintable(flipped.toHex(' ')));
        }
    }
}

void TestModbusMaster::checkCrcOnShortAndChangedBlocks()
{
    ModbusMaster *master = ModbusMaster::instance();
    QVERIFY(!master->checkCrc(QByteArray()));
    QVERIFY(!master->checkCrc(QByteArray(1, '\xFF')));
    QVERIFY(master->checkCrc(QByteArray("\xFF\xFF", 2))); // the CRC of nothing

    const QByteArray reply = QByteArray::fromHex("0103020064b9af");
    QVERIFY(master->checkCrc(reply));
    for (int i = 0; i < reply.size(); ++i) {
        QByteArray changed = reply;
        changed[i] = char(changed.at(i) + 1);
        QVERIFY(!master->checkCrc(changed));
    }
}

void TestModbusMaster::readReplies_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("one register") << QByteArray::fromHex("0103020064b9af") << QList<int>{100};
    QTest::newRow("two registers") << withCrc(QByteArray::fromHex("0103040001ffff"))
                                   << QList<int>{1, 65535};
    QTest::newRow("count says 4, one byte short") << withCrc(QByteArray::fromHex("0103040001ff"))
                                                  << QList<int>{};
    QTest::newRow("count says 4, one byte long") << withCrc(QByteArray::fromHex("0103040001ffff00"))
                                                 << QList<int>{};
    QTest::newRow("count 1") << withCrc(QByteArray::fromHex("01030107")) << QList<int>{};
    QTest::newRow("odd count 3 reads bytes 3 and 4") << withCrc(QByteArray::fromHex("0103031234ff"))
                                                     << QList<int>{0x1234};
    QTest::newRow("too short for a count") << QByteArray::fromHex("0103") << QList<int>{};
    QTest::newRow("empty") << QByteArray() << QList<int>{};
}

void TestModbusMaster::readReplies()
{
    QFETCH(QByteArray, block);
    QFETCH(QList<int>, values);
    const QList<RegisterInfo> registers = parseReadReply(block);
    QCOMPARE(registers.size(), values.size());
    for (int i = 0; i < values.size(); ++i) {
        QCOMPARE(int(registers.at(i).value), values.at(i));
        QCOMPARE(registers.at(i).valueText, QString::number(values.at(i)));
    }
}

void TestModbusMaster::writeReplies()
{
    ModbusMaster *master = ModbusMaster::instance();
    const RegisterInfo echo = parseWriteReply(QByteArray::fromHex("01060010006489e4"));
    QCOMPARE(echo.address, quint16(0x0010));
    QCOMPARE(echo.value, quint16(100));
    QCOMPARE(echo.valueText, QStringLiteral("100"));

    const RegisterInfo zero = parseWriteReply(withCrc(QByteArray::fromHex("010600000000")));
    QCOMPARE(zero.valueText, QStringLiteral("0"));

    // Blocks shorter than an echo are never read past their end and come
    // back recognisably undecoded.
    for (int length = 0; length < 8; ++length) {
        const QByteArray shortBlock = QByteArray::fromHex("01060010006489e4").left(length);
        QVERIFY(parseWriteReply(shortBlock).valueText.isEmpty());
    }
}

QTEST_APPLESS_MAIN(TestModbusMaster)
#include "tst_modbusmaster.moc"

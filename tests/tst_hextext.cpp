#include <QtTest>

#include "util/hextext.h"

class TestHexText : public QObject
{
    Q_OBJECT

private slots:
    void bytesToText_data();
    void bytesToText();
    void typedHexToBytes_data();
    void typedHexToBytes();
    void decimalToHex_data();
    void decimalToHex();
    void hexToDecimal_data();
    void hexToDecimal();
    void everyByteSurvivesTheRoundTrip();
};

void TestHexText::bytesToText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty has no blank") << QByteArray() << QString();
    QTest::newRow("zero byte") << QByteArray(1, '\0') << QStringLiteral("00 ");
    QTest::newRow("high bytes never signed or lower case")
        << QByteArray::fromHex("ff80ab") << QStringLiteral("FF 80 AB ");
    QTest::newRow("read request")
        << QByteArray::fromHex("010300000001840a") << QStringLiteral("01 03 00 00 00 01 84 0A ");
}

void TestHexText::bytesToText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(byteArrayToHexString(bytes), text);
}

void TestHexText::typedHexToBytes_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray request = QByteArray::fromHex("010300000001840a");
    QTest::newRow("pairs with blanks") << "01 03 00 00 00 01 84 0A" << request;
    QTest::newRow("pairs without blanks") << "010300000001840A" << request;
    QTest::newRow("lower case") << "010300000001840a" << request;
    QTest::newRow("0x form with blanks") << "0x01 0x03 0x00 0x00 0x00 0x01 0x84 0x0A" << request;
    QTest::newRow("0X form run together") << "0X010X03" << QByteArray::fromHex("0103");
    QTest::newRow("line feed separates") << "01\n02" << QByteArray::fromHex("0102");
    QTest::newRow("odd digit count") << "1 2 3" << QByteArray();
    QTest::newRow("0x form not in fours") << "0x1 0x2" << QByteArray();
    QTest::newRow("prefix alone") << "0x" << QByteArray();
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("non-hex pair becomes zero") << "GZ" << QByteArray(1, '\0');
    QTest::newRow("later prefixes are not examined") << "0x12zz34" << QByteArray::fromHex("1234");
    QTest::newRow("tab is kept and makes the length odd") << "01\t02" << QByteArray();
    QTest::newRow("carriage return is kept") << "01\r\n02" << QByteArray();
}

void TestHexText::typedHexToBytes()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);
    const QString before = typed;
    QCOMPARE(hexStringToByteArray(typed), bytes);
    QCOMPARE(typed, before);
}

void TestHexText::decimalToHex_data()
{
    QTest::addColumn<QString>("decimal");
    QTest::addColumn<QString>("hex");
    QTest::newRow("100") << "100" << "0x0064";
    QTest::newRow("255 in upper case") << "255" << "0x00FF";
    QTest::newRow("zero") << "0" << "0x0000";
    QTest::newRow("largest register value") << "65535" << "0xFFFF";
    QTest::newRow("past one register, eight digits") << "70000" << "0x00011170";
    QTest::newRow("empty counts as zero") << "" << "0x0000";
    QTest::newRow("letters count as zero") << "abc" << "0x0000";
}

void TestHexText::decimalToHex()
{
    QFETCH(QString, decimal);
    QFETCH(QString, hex);
    QCOMPARE(decStringToHexString(decimal), hex);
}

void TestHexText::hexToDecimal_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("decimal");
    QTest::newRow("upper case") << "FF" << "255";
    QTest::newRow("lower case") << "ff" << "255";
    QTest::newRow("0x prefix") << "0x0010" << "16";
    QTest::newRow("leading zeros without prefix") << "0010" << "16";
    QTest::newRow("empty") << "" << "0";
    QTest::newRow("not hexadecimal") << "xyz" << "0";
    QTest::newRow("beyond signed 32 bits") << "FFFFFFFF" << "0";
    QTest::newRow("largest signed 32 bits") << "7FFFFFFF" << "2147483647";
}

void TestHexText::hexToDecimal()
{
    QFETCH(QString, hex);
    QFETCH(QString, decimal);
    QCOMPARE(hexStringToDecString(hex), decimal);
}

// What the log shows of a frame must parse back to the same frame when a
// user copies it into the send box.
void TestHexText::everyByteSurvivesTheRoundTrip()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QCOMPARE(hexStringToByteArray(byteArrayToHexString(all)), all);
}

QTEST_APPLESS_MAIN(TestHexText)
#include "tst_hextext.moc"

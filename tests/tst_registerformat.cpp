#include <QtTest>

#include <QRandomGenerator>
#include <QTemporaryDir>

#include "protocol/modbusmaster.h"
#include "registermap/driverroles.h"
#include "registermap/refreshplan.h"
#include "registermap/registermap.h"
#include "registermap/registervalue.h"

using Error = RegisterValue::InputError;
Q_DECLARE_METATYPE(RegisterValue::InputError)

namespace {

RegisterMap loadedMap(const QByteArray &text)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("RegisterInfo")));
    file.open(QIODevice::WriteOnly);
    file.write(text);
    file.close();
    RegisterMap map;
    loadRegisterMap(file.fileName(), &map);
    return map;
}

// The format a register line with these keys (and range) gets.
RegisterFormat formatOf(const QString &keys, const QString &range = QStringLiteral("0~1"))
{
    return parseRegisterLine(QStringLiteral("indexes:0x40,permission:RW,defaultValue:0,rangeValue:%1,"
                                            "name:X,remarks:,%2").arg(range, keys)).format;
}

QVector<quint16> words(const QString &hex)
{
    QVector<quint16> result;
    for (const QString &word : hex.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        result << quint16(word.toUInt(nullptr, 16));
    return result;
}

} // namespace

class TestRegisterFormat : public QObject
{
    Q_OBJECT

private slots:
    void mapKeysLoad();
    void loadProblems_data();
    void loadProblems();
    void unknownKeysAreProblemsWithASuggestion();
    void driverProfileOfTheSampleMap();
    void shownValues_data();
    void shownValues();
    void shownTextParsesBackForEveryType();
    void rangeInShownUnits();
    void namedBitsAndStates();
    void wideRowsAreReadWhole();
};

void TestRegisterFormat::mapKeysLoad()
{
    const RegisterMap map = loadedMap(
        "slaveAddress:1,wordOrder:lh,writeFunction:16\n"
        "indexes:0x0010,permission:RW,defaultValue:0x0064,rangeValue:0~1000,name:Plain,remarks:mA\n"
        "indexes:0x0040,permission:R,defaultValue:FFFFFB50,rangeValue:0~1,name:Position,remarks:,type:s32\n"
        "indexes:0x0050,permission:RW,defaultValue:0x00012345,rangeValue:0~1,name:Count,remarks:,type:U32,"
        "wordOrder:HL\n"
        "indexes:0x0002,permission:R,defaultValue:0x01E0,rangeValue:0~50.0,name:Bus,remarks:,scale:0.10,unit:V\n"
        "indexes:0x0001,permission:R,defaultValue:0,rangeValue:0~99,name:Alarm,remarks:,enum:0=无报警; 1 = 过流 ;\n"
        "indexes:0x0000,permission:R,defaultValue:0,rangeValue:0~99,name:Status,remarks:,bits:0=使能;15=满\n");
    QCOMPARE(map.problems, QStringList());
    QCOMPARE(map.formatProblems, 0);
    QCOMPARE(map.wordOrder, WordOrder::LowFirst);
    QCOMPARE(map.writeFunction, 16);
    QCOMPARE(map.registers.size(), 6);
    for (const RegisterInfo &info : map.registers)
        QVERIFY2(info.addressValid, qPrintable(info.name));

    const RegisterFormat &plain = map.registers.at(0).format;
    QCOMPARE(plain.type, ValueType::U16);
    QCOMPARE(plain.wordCount(), 1);
    QVERIFY(plain.unit.isEmpty() && plain.states.isEmpty() && plain.bitNames.isEmpty());
    QCOMPARE(RegisterValue(plain).text(map.registers.at(0).value), QStringLiteral("100"));
    QCOMPARE(map.registers.at(0).nextWord, quint16(0));

    // The map's word order: the low word of -1200 at the row's own address.
    const RegisterInfo &position = map.registers.at(1);
    QCOMPARE(position.format.wordOrder, WordOrder::LowFirst);
    QCOMPARE((QVector<quint16>{position.value, position.nextWord}), words("FB50 FFFF"));
    QCOMPARE(RegisterValue(position.format).text(RegisterValue(position.format).fromWords(position.value,
                                                                                           position.nextWord)),
             QStringLiteral("-1200"));
    const RegisterInfo &count = map.registers.at(2);
    QVERIFY(count.format.ownWordOrder);
    QCOMPARE((QVector<quint16>{count.value, count.nextWord}), words("0001 2345"));

    const RegisterFormat &bus = map.registers.at(3).format;
    QCOMPARE(bus.scaleUnits, 1);
    QCOMPARE(bus.decimals, 1);
    QCOMPARE(RegisterValue(bus).text(map.registers.at(3).value), QStringLiteral("48.0 V"));
    QCOMPARE(map.registers.at(4).format.states, (QMap<qint64, QString>{{0, "无报警"}, {1, "过流"}}));
    QCOMPARE(map.registers.at(5).format.bitNames, (QMap<int, QString>{{0, "使能"}, {15, "满"}}));
}

// Each faulty map names the line and leaves that row unread and unwritten.
void TestRegisterFormat::loadProblems_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QStringList>("unusable");
    const QByteArray row = "permission:RW,defaultValue:0,rangeValue:0~9,remarks:,";
    const QByteArray usual = "slaveAddress:1\n";
    const QStringList first{"First"};
    // Either row written alone would change half of the other's value.
    QTest::newRow("32-bit row over another row")
        << usual << "indexes:0x10," + row + "name:First,type:u32\nindexes:0x11," + row + "name:Second\n"
        << "line 2: 32-bit register 0x0010 also takes 0x0011, which line 3 has" << QStringList{"First", "Second"};
    QTest::newRow("32-bit row under another 32-bit row")
        << usual << "indexes:0x11," + row + "name:Second,type:s32\nindexes:0x10," + row + "name:First,type:s32\n"
        << "line 3: 32-bit register 0x0010 also takes 0x0011, which line 2 has" << QStringList{"Second", "First"};
    QTest::newRow("32-bit row at the last address")
        << usual << "indexes:0xFFFF," + row + "name:First,type:s32\n" << "line 2: a 32-bit register at 0xFFFF"
        << first;
    for (const char *scale : {"0", "-0.1", "abc", "", "1e-3", "0.0000000001"})
        QTest::newRow((QByteArray("scale ") + scale).constData())
            << usual << "indexes:0x10," + row + "name:First,scale:" + scale + "\n"
            << QStringLiteral("line 2: scale \"%1\" is no positive number").arg(scale) << first;
    QTest::newRow("enum value twice") << usual << "indexes:0x10," + row + "name:First,enum:0=a;0=b\n"
                                      << "line 2: enum \"0=a;0=b\" is malformed: 0 is named twice" << first;
    QTest::newRow("enum without =") << usual << "indexes:0x10," + row + "name:First,enum:0=a;1 b\n"
                                    << "line 2: enum \"0=a;1 b\" is malformed: \"1 b\" is no number=name pair"
                                    << first;
    QTest::newRow("enum key no number") << usual << "indexes:0x10," + row + "name:First,enum:x=a\n"
                                        << "\"x\" is no number from 0 to 65535" << first;
    QTest::newRow("enum key beyond s16") << usual << "indexes:0x10," + row + "name:First,type:s16,enum:40000=a\n"
                                         << "\"40000\" is no number from -32768 to 32767" << first;
    QTest::newRow("enum naming nothing") << usual << "indexes:0x10," + row + "name:First,enum:\n"
                                         << "line 2: enum \"\" is malformed: it names nothing" << first;
    QTest::newRow("bit 16 of a 16-bit row") << usual << "indexes:0x10," + row + "name:First,bits:0=a;16=b\n"
                                            << "bits \"0=a;16=b\" is malformed: \"16\" is no number from 0 to 15"
                                            << first;
    QTest::newRow("bit without a name") << usual << "indexes:0x10," + row + "name:First,bits:0=\n"
                                        << "\"0=\" is no number=name pair" << first;
    QTest::newRow("bits beside enum") << usual << "indexes:0x10," + row + "name:First,bits:0=a,enum:1=b\n"
                                      << "line 2: bits name the bits of the raw value" << first;
    QTest::newRow("unknown type") << usual << "indexes:0x10," + row + "name:First,type:f32\n"
                                  << "line 2: type \"f32\" is none of u16, s16, u32, s32" << first;
    QTest::newRow("unknown word order") << usual << "indexes:0x10," + row + "name:First,type:u32,wordOrder:big\n"
                                        << "line 2: wordOrder \"big\" is neither hl nor lh" << first;
    // Line 1's word order matters only to 32-bit rows without their own.
    QTest::newRow("map's word order unknown")
        << QByteArray("slaveAddress:1,wordOrder:x\n")
        << "indexes:0x10," + row + "name:First,type:u32\nindexes:0x20," + row + "name:Second\n"
           "indexes:0x30," + row + "name:Third,type:u32,wordOrder:lh\n"
        << "line 1: wordOrder \"x\" is neither hl nor lh" << first;
    QTest::newRow("write function 5")
        << QByteArray("slaveAddress:1,writeFunction:5\n") << "indexes:0x10," + row + "name:First\n"
        << "line 1: writeFunction \"5\" is neither 6 nor 16" << QStringList();
    // Cut to 8 bits, these would reach another driver or all of them.
    for (const char *address : {"257", "256", "0", "-1", "248", "abc", ""})
        QTest::newRow((QByteArray("slave address ") + address).constData())
            << "slaveAddress:" + QByteArray(address) + "\n" << "indexes:0x10," + row + "name:First\n"
            << QStringLiteral("line 1: slaveAddress \"%1\" is no address from 1 to 247").arg(address) << QStringList();
    QTest::newRow("txTime no number") << QByteArray("slaveAddress:1,txTime:abc\n") << "indexes:0x10," + row + "name:First\n"
                                      << "line 1: txTime \"abc\" is no whole number of milliseconds from 1 up; 100 is used"
                                      << QStringList();
    QTest::newRow("rxOutTime with a unit") << QByteArray("slaveAddress:1,rxOutTime:1000ms\n")
                                           << "indexes:0x10," + row + "name:First\n"
                                           << "line 1: rxOutTime \"1000ms\" is no whole number of milliseconds; 1000 is used"
                                           << QStringList();
    // A typed row's range must fit its type; a plain row's range is not
    // checked against it (tst_registermap).
    const QByteArray typed = "indexes:0x10,permission:RW,defaultValue:0,remarks:,name:First,";
    QTest::newRow("signed range on u16") << usual << typed + "rangeValue:-3000~3000,unit:mA\n"
                                         << "line 2: range \"-3000~3000\" goes beyond what a u16 register holds (0~65535)"
                                         << first;
    QTest::newRow("range beyond 16 bits") << usual << typed + "rangeValue:0~70000,type:s16\n"
                                          << "range \"0~70000\" goes beyond what a s16 register holds (-32768~32767)"
                                          << first;
    QTest::newRow("scaled range beyond 16 bits") << usual << typed + "rangeValue:0~7000.0,scale:0.1\n"
                                                 << "goes beyond what a u16 register holds (0.0~6553.5)" << first;
    QTest::newRow("inverted range on a typed row") << usual << typed + "rangeValue:1~0,type:s32\n"
                                                   << "line 2: range \"1~0\" holds no value" << first;
    const QByteArray command = "permission:W,defaultValue:0,rangeValue:0~9,remarks:,name:First,";
    const QByteArray readable = "indexes:0x10,permission:R,defaultValue:0,rangeValue:0~9,remarks:,name:First,";
    const QList<QPair<QByteArray, QString>> roleFaults = {
        {readable + "role:alarms", "role \"alarms\" is none of identity, serial, alarm, status, jog, target, position, speed, followingError, commTimeout, positionGain, speedGain, move, stop"},
        {"indexes:0x10," + command + "role:alarm", "role:alarm is on a row that cannot be read"},
        {readable + "bits:0=a;2=b,role:status,alarmBit:1", "role:status needs alarmBit:N"},
        {readable + "alarmBit:1", "alarmBit belongs on a role:status row"},
        {"indexes:0x10," + row + "name:First,command:Go=1", "command is on a row that can be read"},
        {readable + "confirm:Sure?", "confirm is on a row that can be read"},
        {"indexes:0x10," + command + "command:Go=10", "command \"Go\": 10 is outside the register's range 0~9"},
        {"indexes:0x10," + command + "command:Go=1;Go=2", "command \"Go\" is named twice"},
        {"indexes:0x10," + command + "command:Go", "command \"Go\" is no NAME=VALUE"},
        {"indexes:0x10," + command + "command:Go=1,danger:Stop", "danger \"Stop\" is no command of this line"},
        {"indexes:0x10," + command + "save:Go", "confirm, danger and save need a command on the same line"},
        {"indexes:0x10," + command + "command:Go=1,danger:", "danger names no command"},
        {"indexes:0x10," + command + "command:Go=1,danger:Go,save:Go", "save \"Go\" is also a danger command"},
        {"indexes:0x10," + command + "command:Go=1;Soft=1,danger:Go", "command \"Soft\" sends what the danger command \"Go\" sends"},
        {"indexes:0x10," + command + "type:u32,command:Go=1", "command is on a 32-bit row"},
        {"indexes:0x10," + row + "name:First,role:jog", "role:jog needs a signed row"},
        {readable + "type:s16,rangeValue:-9~9,role:jog", "role:jog is on a row that cannot be written"},
        {readable + "unit:rpm,role:commTimeout", "role:commTimeout needs unit:ms or unit:s"},
        {"indexes:0x10," + command + "command:Go=1;Halt=2,role:move", "role:move needs a command line with exactly one command"},
        {"indexes:0x10," + command + "command:Halt=1,danger:Halt,role:stop", "role:stop cannot be a danger command"}};
    for (const auto &fault : roleFaults)
        QTest::newRow(qPrintable(fault.second)) << usual << fault.first + "\n" << fault.second << first;
    for (const char *count : {"0", "-1", "126", "500", "abc"})
        QTest::newRow((QByteArray("blockRead ") + count).constData())
            << "slaveAddress:1,blockRead:" + QByteArray(count) + "\n" << "indexes:0x10," + row + "name:First\n"
            << QStringLiteral("line 1: blockRead \"%1\" is no number of registers from 1 to 125").arg(count)
            << QStringList();
}

void TestRegisterFormat::loadProblems()
{
    QFETCH(QByteArray, settings);
    QFETCH(QByteArray, lines);
    QFETCH(QString, problem);
    QFETCH(QStringList, unusable);
    const RegisterMap map = loadedMap(settings + lines);
    const QString problems = map.problems.join(QLatin1Char('\n'));
    QVERIFY2(problems.contains(problem), qPrintable(problems));
    QVERIFY(map.formatProblems > 0);
    QCOMPARE(map.skippedLines, 0);
    QCOMPARE(map.invalidAddresses, 0);
    QCOMPARE(map.slaveAddress, 1u);
    QCOMPARE(map.slaveAddressValid, !problem.contains(QLatin1String("slaveAddress")));
    QStringList neverUsed;
    for (const RegisterInfo &info : map.registers) {
        if (!info.addressValid)
            neverUsed << info.name;
    }
    QCOMPARE(neverUsed, unusable);
}

// What the window and the command line learn of the driver: which rows
// name it, where its alarm is, and which commands need care. A second row
// of a kind is named and the first one kept.
void TestRegisterFormat::driverProfileOfTheSampleMap()
{
    QFile sample(QStringLiteral(SAMPLE_MAP));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    const QByteArray extra = "indexes:0x0070,permission:R,defaultValue:0,rangeValue:0~9,name:Second,remarks:,"
                             "role:alarm\n"
                             "indexes:0x0071,permission:W,defaultValue:0,rangeValue:0~9,name:Again,remarks:,"
                             "command:存入EEPROM Store to EEPROM=2\n"
                             "indexes:0x0022,permission:W,defaultValue:0,rangeValue:0~65535,name:Soft,remarks:,"
                             "command:Soft=0x5AA5\n";
    const RegisterMap map = loadedMap(sample.readAll() + extra);
    QCOMPARE(map.problems, (QStringList{
        "line 33: address 0x0022 is already on line 16; values written there are checked against both lines",
        "line 33: address 0x0022 differs from line 16 in commands; the strictest of both lines holds",
        "register 0x0070: a second role:alarm row; the first one is used",
        "register 0x0071: command \"存入EEPROM Store to EEPROM\" is already a command of another row; the first one "
        "is used",
        "command \"Soft\" sends what the danger command \"恢复出厂 Factory reset\" sends; it is guarded alike"}));
    const DriverProfile profile = driverProfile(map.registers);
    QCOMPARE(profile.identity, (QList<quint16>{0x0040, 0x0041, 0x0042}));
    QCOMPARE(profile.serial, QList<quint16>{0x0042});
    QCOMPARE(profile.alarmAddress, 0x0001);
    QCOMPARE(profile.statusAddress, 0x0000);
    QCOMPARE(profile.alarmBit, 2);
    // The motion rows; the move and stop commands stay out of the list the
    // command panel and --command offer.
    QCOMPARE(profile.motionRows, (QMap<RowRole, quint16>{
        {RowRole::Jog, 0x50}, {RowRole::Target, 0x51}, {RowRole::Position, 0x53}, {RowRole::FollowingError, 0x55},
        {RowRole::Speed, 0x57}, {RowRole::CommTimeout, 0x58}, {RowRole::PositionGain, 0x59},
        {RowRole::SpeedGain, 0x5A}}));
    QCOMPARE(profile.moveCommand.address, quint16(0x5B));
    QCOMPARE(profile.stopCommand.address, quint16(0x5C));
    QStringList commands;
    for (const DriverCommand &command : profile.commands)
        commands << QStringLiteral("%1 0x%2=%3%4%5").arg(command.name).arg(command.address, 4, 16, QLatin1Char('0'))
                        .arg(command.value).arg(command.danger ? " danger" : "").arg(command.save ? " save" : "");
    QCOMPARE(commands, (QStringList{"报警清除 Alarm reset 0x0020=1", "存入EEPROM Store to EEPROM 0x0021=1 save",
                                    "恢复出厂 Factory reset 0x0022=23205 danger", "Soft 0x0022=23205 danger"}));
    QVERIFY(profile.command(QStringLiteral("恢复出厂 Factory reset"))->confirm.contains(QLatin1String("lost")));

    // Serial numbers differ from unit to unit and are never compared.
    DriverIdentity file;
    QVERIFY(DriverIdentity::fromComment(QStringLiteral("identity 0x0040=8964 0x0041=112 0x0042=81234"), &file));
    QCOMPARE(identityText(file, map.registers), QStringLiteral("型号 Model 8964 · 固件 Firmware 1.12 · 序列号 Serial 81234"));
    DriverIdentity driver = file;
    driver.values[0x0042] = 5;
    QCOMPARE(identityDifferences(file, driver, map.registers), QStringList());
    driver.values[0x0040] = 0x2305;
    driver.values.remove(0x0041);
    QCOMPARE(identityDifferences(file, driver, map.registers),
             (QStringList{"型号 Model 8964 ≠ 8965", "固件 Firmware 1.12 ≠ ?"}));
}

// A misspelt key would leave its row in a format nobody meant ("Type:s32"
// read as one unsigned word): it is named with a likely key, and its row is
// neither read nor written.
void TestRegisterFormat::unknownKeysAreProblemsWithASuggestion()
{
    const QByteArray row = "permission:RW,defaultValue:0,rangeValue:-100000~100000,remarks:,";
    const RegisterMap map = loadedMap("SlaveAdress:5,RxOutTime:500,note:x\n"
                                      "indexes:0x10," + row + "name:Position,Type:s32\n"
                                      "indexes:0x20," + row + "name:Wide,type:s32,wordorder:lh\n"
                                      "indexes:0x30,permission:R,defaultValue:0,rangeValue:0~60,name:Volts,remarks:,"
                                      "sacle:0.1,unit:V\n"
                                      "indexes:0x40," + row + "name:Plain\n"
                                      "indexes:0x50," + row + "Name:Nameless\n");
    const QStringList expected = {
        "line 1: unknown key 'SlaveAdress' (did you mean 'slaveAddress'?); the setting is not used",
        "line 1: unknown key 'RxOutTime' (did you mean 'rxOutTime'?); the setting is not used",
        "line 1: unknown key 'note' (known keys: slaveAddress, txTime, rxOutTime, blockRead, wordOrder, writeFunction); the setting is not used",
        "line 2: unknown key 'Type' (did you mean 'type'?); the row is neither read nor written",
        "line 3: unknown key 'wordorder' (did you mean 'wordOrder'?); the row is neither read nor written",
        "line 4: unknown key 'sacle' (did you mean 'scale'?); the row is neither read nor written",
        "line 6 skipped: no register (five fields or more, one of them name); unknown key 'Name' (did you mean 'name'?)"};
    for (const QString &problem : expected)
        QVERIFY2(map.problems.contains(problem), qPrintable(problem + "\n---\n" + map.problems.join('\n')));
    QCOMPARE(map.unknownKeyLines, 4);
    QCOMPARE(map.skippedLines, 1);
    // A guessed slaveAddress is no address: the one the map had is kept
    // and marked as unknown; a guessed timeout is not used.
    QVERIFY(!map.slaveAddressValid);
    QCOMPARE(map.slaveAddress, 1u);
    QCOMPARE(map.rxOutTime, 1000u);
    QStringList usable;
    for (const RegisterInfo &info : map.registers) {
        if (info.addressValid)
            usable << info.name;
    }
    QCOMPARE(usable, QStringList{"Plain"});
}

// Words in address order, what the table shows, then a typed text and the
// words it gives or why it is refused.
void TestRegisterFormat::shownValues_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("registerWords");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("typedWords");
    QTest::addColumn<Error>("error");
    const Error ok = Error::None;
    QTest::newRow("u16") << "" << "FFFF" << "65535" << "65536" << "" << Error::OutOfType;
    QTest::newRow("u16 refuses a sign") << "" << "0000" << "0" << "-1" << "" << Error::OutOfType;
    QTest::newRow("s16 negative") << "type:s16" << "FFFF" << "-1" << "-32768" << "8000" << ok;
    QTest::newRow("s16 above its limit") << "type:s16" << "7FFF" << "32767" << "32768" << "" << Error::OutOfType;
    QTest::newRow("s16 below its limit") << "type:s16" << "8000" << "-32768" << "-32769" << "" << Error::OutOfType;
    QTest::newRow("u32 high word first") << "type:u32" << "0001 0000" << "65536" << "4294967295" << "FFFF FFFF" << ok;
    QTest::newRow("u32 low word first") << "type:u32,wordOrder:lh" << "0000 0001" << "65536" << "70000"
                                        << "1170 0001" << ok;
    QTest::newRow("u32 above its limit") << "type:u32" << "0000 0000" << "0" << "4294967296" << ""
                                         << Error::OutOfType;
    QTest::newRow("s32 high word first") << "type:s32" << "FFFF FB50" << "-1200" << "-1200" << "FFFF FB50" << ok;
    QTest::newRow("s32 low word first") << "type:s32,wordOrder:lh" << "FB50 FFFF" << "-1200" << "2147483647"
                                        << "FFFF 7FFF" << ok;
    QTest::newRow("s32 above its limit") << "type:s32" << "8000 0000" << "-2147483648" << "2147483648" << ""
                                         << Error::OutOfType;
    QTest::newRow("scale 0.1 with unit") << "scale:0.1,unit:V" << "01E0" << "48.0 V" << "48.5 V" << "01E5" << ok;
    QTest::newRow("scale 0.1 refuses a finer value") << "scale:0.1,unit:V" << "01E0" << "48.0 V" << "48.05" << ""
                                                     << Error::NotExact;
    QTest::newRow("scale 0.1 keeps trailing zeros apart") << "scale:0.1" << "01E0" << "48.0" << "48.500" << "01E5"
                                                          << ok;
    QTest::newRow("negative scaled") << "type:s16,scale:0.01,unit:A" << "FF9C" << "-1.00 A" << "-0.05 A" << "FFFB"
                                     << ok;
    QTest::newRow("scale 0.25 between steps") << "scale:0.25" << "0005" << "1.25" << "1.3" << "" << Error::NotExact;
    QTest::newRow("scale 0.25 on a step") << "scale:0.25" << "0005" << "1.25" << "1.5" << "0006" << ok;
    QTest::newRow("scale 10") << "scale:10,unit:mA" << "0003" << "30 mA" << "35" << "" << Error::NotExact;
    QTest::newRow("scaled beyond the type") << "scale:0.1" << "0000" << "0.0" << "6553.6" << "" << Error::OutOfType;
    QTest::newRow("letters") << "" << "0000" << "0" << "12a" << "" << Error::NotANumber;
    QTest::newRow("blank") << "" << "0000" << "0" << "  " << "" << Error::Empty;
    const QString alarms = "enum:0=无报警;1=过流;2=过压;3=欠压";
    QTest::newRow("enum by name") << alarms << "0001" << "过流 (1)" << "过压" << "0002" << ok;
    QTest::newRow("enum as shown") << alarms << "0000" << "无报警 (0)" << "欠压 (3)" << "0003" << ok;
    QTest::newRow("enum state without a name") << alarms << "0007" << "7" << "9" << "0009" << ok;
    QTest::newRow("a number is a number, whatever a state is named") << "enum:0=200;1=400" << "0001" << "400 (1)"
                                                                     << "400" << "0190" << ok;
    QTest::newRow("enum unknown name") << alarms << "0000" << "无报警 (0)" << "过热" << "" << Error::NotANumber;
    const QString status = "bits:0=使能;1=运行;2=报警";
    QTest::newRow("bits by name") << status << "0003" << "使能|运行 (0x0003)" << "报警|使能" << "0005" << ok;
    QTest::newRow("bits none named set") << status << "0100" << "0x0100" << "使能|运行 (0x0103)" << "0103" << ok;
    QTest::newRow("bits in hexadecimal") << status << "0000" << "0x0000" << "0x10" << "0010" << ok;
    QTest::newRow("bits beyond 16") << status << "0000" << "0x0000" << "0x10000" << "" << Error::OutOfType;
    QTest::newRow("bits of a u32 low word first") << "type:u32,wordOrder:lh,bits:0=低;31=高" << "0001 8000"
                                                  << "低|高 (0x80000001)" << "高" << "0000 8000" << ok;
}

void TestRegisterFormat::shownValues()
{
    QFETCH(QString, keys);
    QFETCH(QString, registerWords);
    QFETCH(QString, typed);
    QFETCH(QString, typedWords);
    QFETCH(Error, error);
    const RegisterValue value(formatOf(keys));
    const QVector<quint16> held = words(registerWords);
    QCOMPARE(held.size(), value.wordCount());
    const qint64 raw = value.fromWords(held.value(0), held.value(1));
    QTEST(value.text(raw), "shown");
    QCOMPARE(value.toWords(raw), held);

    const RegisterValue::Input input = value.parse(typed);
    QCOMPARE(input.error, error);
    if (input.ok())
        QCOMPARE(value.toWords(input.raw), words(typedWords));
}

// For every type and a few scales: the shown text, the number alone and the
// hexadecimal field all give back the raw value, and so do the words.
void TestRegisterFormat::shownTextParsesBackForEveryType()
{
    const QStringList formats = {"",
                                 "type:s16",
                                 "type:u32",
                                 "type:s32,wordOrder:lh",
                                 "type:s16,scale:0.1,unit:V",
                                 "type:u32,scale:0.25,unit:mm",
                                 "type:s32,scale:2",
                                 "type:s32,scale:0.001,wordOrder:lh,unit:°"};
    QRandomGenerator random(21);
    for (const QString &keys : formats) {
        const RegisterFormat format = formatOf(keys);
        const RegisterValue value(format);
        QVector<qint64> raws = {format.minRaw(), format.maxRaw(), 0, 1, -1};
        for (int i = 0; i < 200; ++i)
            raws << format.minRaw() + qint64(random.bounded(double(format.maxRaw() - format.minRaw() + 1)));
        for (qint64 raw : qAsConst(raws)) {
            if (!value.fitsType(raw))
                continue;
            const QString where = keys + QStringLiteral(": ") + QString::number(raw);
            const QVector<quint16> held = value.toWords(raw);
            QCOMPARE(value.fromWords(held.value(0), held.value(1)), raw);
            QVERIFY2(value.parse(value.text(raw)).raw == raw && value.parse(value.text(raw)).ok(), qPrintable(where));
            QVERIFY2(value.parse(value.numberText(raw)).raw == raw, qPrintable(where));
            QVERIFY2(value.parseHex(value.hexText(raw)).raw == raw, qPrintable(where));
            QVERIFY2(qFuzzyCompare(1 + value.shown(raw), 1 + value.numberText(raw).toDouble()), qPrintable(where));
        }
    }
}

void TestRegisterFormat::rangeInShownUnits()
{
    const RegisterValue volts(formatOf("scale:0.1,unit:V", "0~50.0"));
    QVERIFY(volts.inRange(0) && volts.inRange(500));
    QVERIFY(!volts.inRange(501) && !volts.inRange(-1));
    // Bounds finer than the scale round inwards.
    const RegisterValue finer(formatOf("scale:0.1", "0.05~50.05"));
    QVERIFY(!finer.inRange(0) && finer.inRange(1) && finer.inRange(500) && !finer.inRange(501));
    const RegisterValue wide(formatOf("type:u32", "0~3000000000"));
    QVERIFY(wide.inRange(3000000000LL) && !wide.inRange(3000000001LL));
    const RegisterValue negative(formatOf("type:s32,scale:0.5", "-10~-0.5"));
    QVERIFY(negative.inRange(-20) && negative.inRange(-1) && !negative.inRange(0) && !negative.inRange(-21));
    // Without a scale the bounds stay whole numbers, as they always were.
    QVERIFY(!formatOf("", "0~50.5").hasRange);
    QVERIFY(RegisterValue(formatOf("", "0~abc")).inRange(70000));
}

void TestRegisterFormat::namedBitsAndStates()
{
    const RegisterValue status(formatOf("bits:0=使能;1=运行;2=报警"));
    QCOMPARE(status.withNamedBits(0x0103, {2}), qint64(0x0104));
    QCOMPARE(status.withNamedBits(0x8000, {0, 1, 2, 9}), qint64(0x8007));
    QVERIFY(status.isBitSet(0x0004, 2) && !status.isBitSet(0x0004, 1) && !status.isBitSet(0x0004, 16));
    QCOMPARE(status.toolTip(0x0105),
             QStringLiteral("bit 0 使能 = 1\nbit 1 运行 = 0\nbit 2 报警 = 1\n+ 0x0100"));
    const RegisterValue signedBits(formatOf("type:s16,bits:15=负"));
    QCOMPARE(signedBits.withNamedBits(0x0001, {15}), qint64(-32767));

    const RegisterValue alarm(formatOf("enum:0=无报警;1=过流"));
    QCOMPARE(alarm.toolTip(1), QStringLiteral("○ 0 = 无报警\n● 1 = 过流"));
    QCOMPARE(alarm.toolTip(5), QStringLiteral("○ 0 = 无报警\n○ 1 = 过流\n● 5"));
    QVERIFY(RegisterValue(formatOf("unit:V")).toolTip(1).isEmpty());
}

// A 32-bit row is always read as one request of its two registers, alone or
// inside a block, and both words land in that row.
void TestRegisterFormat::wideRowsAreReadWhole()
{
    RegisterMap map = loadedMap("slaveAddress:1\n"
                                "indexes:0x10,permission:R,defaultValue:0,rangeValue:0~9,name:A,remarks:\n"
                                "indexes:0x11,permission:R,defaultValue:0,rangeValue:0~9,name:P,remarks:,type:s32\n"
                                "indexes:0x13,permission:R,defaultValue:0,rangeValue:0~9,name:B,remarks:\n"
                                "indexes:0x20,permission:R,defaultValue:0,rangeValue:0~9,name:Q,remarks:,type:u32\n");
    QList<RegisterInfo> &rows = map.registers;
    QCOMPARE(rows.size(), 4);
    const QList<int> all = {0, 1, 2, 3};
    const auto shape = [](const QList<PendingCommand> &requests) {
        QStringList parts;
        for (const PendingCommand &request : requests)
            parts << QStringLiteral("%1/%2@%3").arg(request.address, 0, 16).arg(request.count).arg(request.tag);
        return parts.join(QLatin1Char(' '));
    };
    RefreshPlan plan;
    QCOMPARE(shape(plan.requests(rows, all, 7, nullptr)), QStringLiteral("10/1@0 11/2@1 13/1@2 20/2@3"));
    QCOMPARE(plan.requests(rows, {1}, 7, nullptr).first().frame, ModbusMaster::instance()->readCmd(7, 0x11, 2));
    plan.setBlockSize(3);
    const QList<PendingCommand> blocks = plan.requests(rows, all, 7, nullptr);
    QCOMPARE(shape(blocks), QStringLiteral("10/3@0 13/1@2 20/2@3"));
    plan.setBlockSize(2);
    QCOMPARE(shape(plan.requests(rows, all, 7, nullptr)), QStringLiteral("10/1@0 11/2@1 13/1@2 20/2@3"));

    QCOMPARE(RefreshPlan::storeWords(rows, blocks.first(), {5, 0xFFFF, 0xFB50}), QList<int>({0, 1}));
    QCOMPARE(rows.at(0).value, quint16(5));
    QCOMPARE(RegisterValue(rows.at(1).format).fromWords(rows.at(1).value, rows.at(1).nextWord), qint64(-1200));
    // A reply that ends early fills only the rows it covers whole.
    QCOMPARE(RefreshPlan::storeWords(rows, blocks.first(), {6, 1}), QList<int>({0}));
    // Rows that moved since the request was planned get nothing.
    rows[1].address = 0x30;
    QCOMPARE(RefreshPlan::rowsOf(rows, blocks.first()), QList<int>({0}));
}

QTEST_GUILESS_MAIN(TestRegisterFormat)
#include "tst_registerformat.moc"

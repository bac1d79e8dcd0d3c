#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include "support/lamps.h"
#include "support/logview.h"
#include "support/toasts.h"
#include "support/windowinternals.h"
#include "support/workfolder.h"

using Inspect = MainWindowInspector;

class TestRegisterMap : public QObject
{
    Q_OBJECT

private slots:
    void registerLine_data();
    void registerLine();
    void ranges_data();
    void ranges();
    void settingsLine_data();
    void settingsLine();
    void fileLoadsRegistersInOrder();
    void onlySettingsGivesEmptyTable();
    void crLfBomAndNulLoadLikePlainLines();
    void firstLineIsAlwaysSettings();
    void duplicateAddressesKeepBothRows();
    void tableRowsShowTheRecords();
    void valuesNeverSetAnotherField();
    void rowsWithoutAValidAddressAreNeverReadOrWritten();
};

void TestRegisterMap::registerLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("remarks");

    QTest::newRow("ordinary") << "indexes:0x0010,permission:RW,defaultValue:0x0064,rangeValue:0~1000,name:Run current,remarks:mA"
                              << true << 16 << 100 << "Run current" << "mA";
    QTest::newRow("values without prefix are hexadecimal")
        << "indexes:0x0011,permission:RW,defaultValue:0010,rangeValue:1~256,name:Microsteps,remarks:x"
        << true << 17 << 16 << "Microsteps" << "x";
    QTest::newRow("parts in any order") << "name:A,remarks:B,indexes:1F,permission:R,defaultValue:0"
                                        << true << 31 << 0 << "A" << "B";
    QTest::newRow("key test is case-sensitive") << "indexes:1,permission:R,defaultValue:0,Name:A,remarks:B"
                                                << false << 0 << 0 << "" << "";
    QTest::newRow("a key named in a value is not a key")
        << "indexes:1,permission:R,defaultValue:0,name:A,remarks:see name list"
        << true << 1 << 0 << "A" << "see name list";
    QTest::newRow("a part without a colon is no key")
        << "indexes:1,permission:R,defaultValue:0,name:A,remarks:B,name"
        << true << 1 << 0 << "A" << "B";
    QTest::newRow("blanks and a byte-order mark around keys")
        << " \xEF\xBB\xBF indexes :0x20,\xEF\xBB\xBFpermission:R, defaultValue :0x5,name\t:A,remarks:B"
        << true << 32 << 5 << "A" << "B";
    QTest::newRow("further colons belong to the value")
        << "indexes:1,permission:R,defaultValue:0,name:A,remarks:ratio 1:2" << true << 1 << 0 << "A" << "ratio 1:2";
    QTest::newRow("four parts are too few") << "indexes:1,permission:R,defaultValue:0,name:A"
                                            << false << 0 << 0 << "" << "";
    QTest::newRow("trailing comma makes a fifth part") << "indexes:1,permission:R,defaultValue:0,name:A,"
                                                       << true << 1 << 0 << "A" << "";
    QTest::newRow("address above 16 bits") << "indexes:1FFFF,permission:R,defaultValue:0,name:A,remarks:"
                                           << true << 0 << 0 << "A" << "";
    QTest::newRow("negative address") << "indexes:-1,permission:R,defaultValue:0,name:A,remarks:"
                                      << true << 0 << 0 << "A" << "";
    QTest::newRow("largest value") << "indexes:1,permission:R,defaultValue:FFFF,name:A,remarks:"
                                   << true << 1 << 65535 << "A" << "";
    QTest::newRow("blanks around values are trimmed")
        << "  indexes: 0x20 ,permission: RW ,defaultValue: 0x5 ,name: Speed ,remarks: rpm  "
        << true << 32 << 5 << "Speed" << "rpm";
}

void TestRegisterMap::registerLine()
{
    QFETCH(QString, line);
    QFETCH(bool, loaded);
    WorkFolder folder(QByteArray("slaveAddress:1\n"));
    MainWindow window;
    const RegisterInfo info = window.parseRegisterLine(line);
    QCOMPARE(!info.name.isEmpty(), loaded);
    if (!loaded)
        return;
    QTEST(int(info.address), "address");
    QTEST(int(info.value), "value");
    QTEST(info.name, "name");
    QTEST(info.remarks, "remarks");
}

void TestRegisterMap::ranges_data()
{
    QTest::addColumn<QString>("range");
    QTest::addColumn<int>("rangeMin");
    QTest::addColumn<int>("rangeMax");
    QTest::newRow("min~max") << "0~1000" << 0 << 1000;
    QTest::newRow("negative bound") << "-10~10" << -10 << 10;
    QTest::newRow("single number") << "100" << 0 << 0;
    QTest::newRow("three pieces") << "1~2~3" << 0 << 0;
    QTest::newRow("letters") << "a~b" << 0 << 0;
    QTest::newRow("beyond 16 bits") << "0~100000" << 0 << 100000;
}

void TestRegisterMap::ranges()
{
    QFETCH(QString, range);
    WorkFolder folder(QByteArray("slaveAddress:1\n"));
    MainWindow window;
    const RegisterInfo info = window.parseRegisterLine(
        QStringLiteral("indexes:1,permission:R,defaultValue:0,rangeValue:%1,name:A,remarks:").arg(range));
    QCOMPARE(info.rangeText, range);
    QTEST(int(info.rangeMin), "rangeMin");
    QTEST(int(info.rangeMax), "rangeMax");
}

void TestRegisterMap::settingsLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<uint>("slaveAddress");
    QTest::addColumn<int>("txTime");
    QTest::addColumn<uint>("rxOutTime");
    QTest::newRow("all three") << QByteArray("slaveAddress:5,txTime:50,rxOutTime:300") << 5u << 50 << 300u;
    QTest::newRow("blanks and a missing key") << QByteArray("slaveAddress: 5 ,txTime:50") << 5u << 50 << 1000u;
    // Address 0 would reach every driver: an address that is no number
    // leaves the one the window had.
    QTest::newRow("hexadecimal address is refused") << QByteArray("slaveAddress:0x05") << 1u << 100 << 1000u;
    // A timeout of 0 would give up on every reply: text that is no number
    // keeps the one the map had.
    QTest::newRow("empty values") << QByteArray("slaveAddress:,rxOutTime:") << 1u << 100 << 1000u;
    QTest::newRow("txTime below 1 ms is used as 1 ms") << QByteArray("txTime:0") << 1u << 1 << 1000u;
    QTest::newRow("negative txTime") << QByteArray("txTime:-50") << 1u << 1 << 1000u;
    QTest::newRow("keys are case-sensitive") << QByteArray("SlaveAddress:5") << 1u << 100 << 1000u;
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFslaveAddress:7,txTime:20") << 7u << 20 << 1000u;
    QTest::newRow("key names in values and unknown keys")
        << QByteArray("slaveAddress:5,note:txTime is 20,blockRead:4,rxOutTime:300") << 5u << 100 << 300u;
    QTest::newRow("carriage return") << QByteArray("slaveAddress:3,rxOutTime:500\r") << 3u << 100 << 500u;
}

void TestRegisterMap::settingsLine()
{
    QFETCH(QByteArray, line);
    WorkFolder folder(line + '\n');
    MainWindow window;
    QTEST(Inspect::slaveAddress(window), "slaveAddress");
    QTEST(Inspect::txTime(window), "txTime");
    QTEST(Inspect::rxOutTime(window), "rxOutTime");
    QCOMPARE(Inspect::pollTimer(window).interval(), Inspect::txTime(window));
    QCOMPARE(window.findChild<QLineEdit *>("lineEdit_deviceAddr")->text(),
             QString::number(Inspect::slaveAddress(window)));
}

void TestRegisterMap::fileLoadsRegistersInOrder()
{
    WorkFolder folder(QByteArray(
        "slaveAddress:1,txTime:100,rxOutTime:1000\n"
        "indexes:0x0000,permission:R,defaultValue:0x0000,rangeValue:0~65535,name:Status word,remarks:read only\n"
        "indexes:0x0010,permission:RW,defaultValue:0x0064,rangeValue:0~1000,name:Run current,remarks:mA\n"
        "\n"
        "free text that is not a register\n"
        "indexes:0x0011,permission:RW,defaultValue:0010,rangeValue:1~256,name:Microsteps,remarks:per full step\n"));
    MainWindow window;
    const QList<RegisterInfo> &list = Inspect::registerList(window);
    QCOMPARE(list.size(), 3);
    QCOMPARE(Inspect::registerAddrs(window), (QList<quint16>{0x0000, 0x0010, 0x0011}));
    const RegisterInfo &current = list.at(1);
    QCOMPARE(current.addressText, QStringLiteral("0x0010"));
    QCOMPARE(current.permission, QStringLiteral("RW"));
    QCOMPARE(current.valueText, QStringLiteral("0x0064"));
    QCOMPARE(current.value, quint16(100));
    QCOMPARE(current.rangeMin, 0);
    QCOMPARE(current.rangeMax, 1000);
    QCOMPARE(list.at(2).value, quint16(16));
}

void TestRegisterMap::onlySettingsGivesEmptyTable()
{
    WorkFolder folder(QByteArray("slaveAddress:9,txTime:40,rxOutTime:400"));
    MainWindow window;
    QVERIFY(Inspect::registerList(window).isEmpty());
    QVERIFY(Inspect::registerAddrs(window).isEmpty());
    QCOMPARE(window.findChild<QTableWidget *>("tableWidget")->rowCount(), 0);
    QCOMPARE(Inspect::slaveAddress(window), 9u);
}

void TestRegisterMap::crLfBomAndNulLoadLikePlainLines()
{
    static const char map[] =
        "\xEF\xBB\xBFslaveAddress:2\r\n"
        "indexes:0x10,permission:RW,defaultValue:0x1,rangeValue:0~9,name:Speed,remarks:rpm\r\n"
        "indexes:0x11,permission:R,defaultValue:0x2,rangeValue:0~9,name:Load,remarks:%\0trailing junk\n";
    WorkFolder folder(QByteArray(map, sizeof map - 1));
    MainWindow window;
    const QList<RegisterInfo> &list = Inspect::registerList(window);
    QCOMPARE(list.size(), 2);
    QCOMPARE(list.at(0).remarks, QStringLiteral("rpm"));
    QCOMPARE(list.at(1).remarks, QStringLiteral("%"));
    QCOMPARE(Inspect::slaveAddress(window), 2u);
}

void TestRegisterMap::firstLineIsAlwaysSettings()
{
    WorkFolder folder(QByteArray(
        "indexes:0x10,permission:RW,defaultValue:0x1,rangeValue:0~9,name:First,remarks:\n"
        "indexes:0x11,permission:RW,defaultValue:0x1,rangeValue:0~9,name:Second,remarks:\n"));
    MainWindow window;
    QCOMPARE(Inspect::registerList(window).size(), 1);
    QCOMPARE(Inspect::registerList(window).at(0).name, QStringLiteral("Second"));
    QCOMPARE(Inspect::slaveAddress(window), 1u);
}

void TestRegisterMap::duplicateAddressesKeepBothRows()
{
    WorkFolder folder(QByteArray(
        "slaveAddress:1\n"
        "indexes:0x10,permission:RW,defaultValue:0x1,rangeValue:0~9,name:One,remarks:\n"
        "indexes:0x10,permission:RW,defaultValue:0x2,rangeValue:5~20,name:Two,remarks:\n"
        "indexes:0x11,permission:RW,defaultValue:0x2,rangeValue:abc,name:Three,remarks:\n"
        "indexes:0x12,permission:RW,defaultValue:0x5,rangeValue:100~-100,name:Four,remarks:\n"));
    MainWindow window;
    QCOMPARE(Inspect::registerAddrs(window), (QList<quint16>{0x10, 0x10, 0x11, 0x12}));
    QCOMPARE(window.findChild<QTableWidget *>("tableWidget")->rowCount(), 4);

    // Both rows stay, but not without a word; nor does a range that says
    // nothing.
    const auto notices = [] {
        QString texts;
        for (QFrame *frame : toastFrames())
            texts += toastText(frame);
        return texts;
    };
    const QString notice = notices();
    QVERIFY2(notice.contains(QStringLiteral("1 行的地址与前面的行重复"))
                 && notice.contains(QStringLiteral("2 行的范围无法识别")), qPrintable(notice));
    const QStringList log = logTexts(window);
    // In the window's language, Chinese here.
    QVERIFY2(log.contains(QStringLiteral("RegisterInfo 第 3 行：地址 0x10 已在第 2 行；写入该地址的值按两行检查")),
             qPrintable(log.join('\n')));
    QVERIFY(log.contains(QStringLiteral("RegisterInfo 第 4 行：范围“abc”不是“最小~最大”形式的两个整数（前者不大于后者）；"
                                        "不检查范围")));
    // A minimum above its maximum would refuse the driver's own values.
    QVERIFY(log.contains(QStringLiteral("RegisterInfo 第 5 行：范围“100~-100”不是“最小~最大”形式的两个整数（前者不大于后者）；"
                                        "不检查范围")));
    QTRY_VERIFY_WITH_TIMEOUT(!notices().contains(QStringLiteral("重复")), 5000);
}

void TestRegisterMap::tableRowsShowTheRecords()
{
    WorkFolder folder(QByteArray(
        "slaveAddress:1\n"
        "indexes:0x0010,permission:RW,defaultValue:0x0064,rangeValue:0~1000,name:Run current,remarks:mA\n"
        "indexes:0x0000,permission:R,defaultValue:0x0000,rangeValue:0~65535,name:Status,remarks:bits\n"));
    MainWindow window;
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    QCOMPARE(table->rowCount(), 2);
    const QStringList expected = {"0x0010", "0x0064", "0~1000", "RW", "Run current", "mA"};
    for (int column = 0; column < 6; ++column)
        QCOMPARE(table->item(0, column)->text(), expected.at(column));
    QCOMPARE(table->item(1, 3)->text(), QStringLiteral("R"));

    const int centred = Qt::AlignHCenter | Qt::AlignVCenter;
    for (int column = 0; column < 4; ++column)
        QCOMPARE(table->item(0, column)->textAlignment(), centred);
    QVERIFY(table->item(0, 4)->textAlignment() != centred);

    for (int row = 0; row < 2; ++row) {
        auto *lamp = qobject_cast<QLabel *>(table->cellWidget(row, 1));
        QVERIFY(lamp);
        QCOMPARE(lamp->size(), QSize(20, 20));
        // No driver has answered: the map's value is not live.
        QCOMPARE(lampColour(table, row), QStringLiteral("stale"));
    }
}

void TestRegisterMap::valuesNeverSetAnotherField()
{
    WorkFolder folder(QByteArray("slaveAddress:1\n"));
    MainWindow window;
    const RegisterInfo info = window.parseRegisterLine(QStringLiteral(
        "indexes:0x10,permission:R,defaultValue:0x5,rangeValue:0~9,name:A,remarks:write permission, see indexes 0x20"));
    QCOMPARE(info.permission, QStringLiteral("R"));
    QCOMPARE(int(info.address), 0x10);
    QCOMPARE(info.remarks, QStringLiteral("write permission"));
}

void TestRegisterMap::rowsWithoutAValidAddressAreNeverReadOrWritten()
{
    // Notices of earlier cases' maps cannot fade: their windows are gone.
    qDeleteAll(toastFrames());
    WorkFolder folder(QByteArray(
        "slaveAddress:1\n"
        "indexes:0x00l0,permission:RW,defaultValue:0x7,rangeValue:0~9,name:Typo,remarks:\n"
        "indexes:0x0000,permission:RW,defaultValue:0x1,rangeValue:0~9,name:Zero,remarks:\n"
        "indexes:0x10000,permission:RW,defaultValue:0x1,rangeValue:0~9,name:Wide,remarks:\n"
        "indexes:0,permission:RW,defaultValue:0x1,rangeValue:0~9,name:Bare zero,remarks:\n"
        "indexes:1FFFF,permission:RW,defaultValue:0x1,rangeValue:0~9,name:Wider,remarks:\n"
        "indexes:0x0,permission:RW,defaultValue:0x1,rangeValue:0~9,name:Short zero,remarks:\n"
        "permission:RW,defaultValue:0x1,rangeValue:0~9,name:No address,remarks:\n"
        "indexes:,permission:RW,defaultValue:0x1,rangeValue:0~9,name:Empty address,remarks:\n"
        "indexes:0x0011,permission:RW,defaultValue:0x1,rangeValue:0~9,name:Good,remarks:\n"));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(toastFrames().size(), 1);
    QVERIFY2(toastText(toastFrames().first()).contains(QStringLiteral("5")),
             qPrintable(toastText(toastFrames().first())));
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);

    auto *table = window.findChild<QTableWidget *>("tableWidget");
    QCOMPARE(table->rowCount(), 9);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("0x00l0"));
    // A row never read has no value and no lamp to show; its tooltip says why.
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("—"));
    QCOMPARE(lampColour(table, 0), QString());
    QVERIFY2(table->item(0, 1)->toolTip().contains(QStringLiteral("地址“0x00l0”不是 16 位数")), qPrintable(table->item(0, 1)->toolTip()));
    QCOMPARE(table->item(8, 1)->text(), QStringLiteral("0x0001"));

    Inspect::clickDataRefresh(window);
    QList<quint16> read;
    for (const PendingCommand &command : Inspect::cmdQueue(window))
        read << command.address;
    QCOMPARE(read, (QList<quint16>{0x0000, 0x0000, 0x0000, 0x0011}));
    Inspect::cmdQueue(window).clear();

    const QPoint cell = table->visualRect(table->model()->index(0, 1)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    QCOMPARE(toastFrames().size(), 1);
    const QString refusal = toastText(toastFrames().first());
    QVERIFY2(refusal.contains(QStringLiteral("地址“0x00l0”不是 16 位数")), qPrintable(refusal));
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);
}

QTEST_MAIN(TestRegisterMap)
#include "tst_registermap.moc"

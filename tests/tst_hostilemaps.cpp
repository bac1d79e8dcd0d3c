#include <QtTest>

#include <QRandomGenerator>
#include <QTableWidget>

#include <sys/stat.h>
#include <unistd.h>

#include "support/windowinternals.h"
#include "support/toasts.h"
#include "support/workfolder.h"

using Inspect = MainWindowInspector;

namespace {

const QString missingMapToast = QStringLiteral("文件读取失败，请检查文件是否存在!");
const QByteArray settingsLine("slaveAddress:1,txTime:100,rxOutTime:1000\n");

QByteArray registerLine(const QByteArray &index, const QByteArray &name, const QByteArray &remarks = "")
{
    return "indexes:" + index + ",permission:RW,defaultValue:0x0001,rangeValue:0~10,name:" + name
        + ",remarks:" + remarks + "\n";
}

// A literal with NUL bytes inside, all of it.
template<int size>
QByteArray bytes(const char (&text)[size])
{
    return QByteArray(text, size - 1);
}

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

} // namespace

// Register maps are edited by hand and copied around: whatever the file
// holds, start-up must finish, and the table must hold exactly the lines
// that describe a register.
class TestHostileMaps : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void binaryGarbageLoadsOnlyWhatParses();
    void nulEndsALine();
    void invalidUtf8IsReplacedNotFatal();
    void tenMegabyteLines();
    void hundredThousandRegisters();
    void folderInsteadOfAFile();
    void pathsThatCannotBeRead_data();
    void pathsThatCannotBeRead();
    void pipeDoesNotHangStartUp();

private:
    void verifyListsMatchTable(MainWindow &window);
    void verifyOnlyToastIsMissingMap();
    void verifyOnlyNoticeOfSkippedLines();
};

void TestHostileMaps::cleanup()
{
    QVERIFY(toastFrames().isEmpty());
}

// A toast's fade belongs to the window, so it is awaited while the window lives.
void TestHostileMaps::verifyOnlyToastIsMissingMap()
{
    const QList<QFrame *> frames = toastFrames();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(toastText(frames.first()), missingMapToast);
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);
}

// Lines that describe no register are counted in one notice.
void TestHostileMaps::verifyOnlyNoticeOfSkippedLines()
{
    const QList<QFrame *> frames = toastFrames();
    QCOMPARE(frames.size(), 1);
    QVERIFY2(toastText(frames.first()).contains(QStringLiteral("行无法识别")), qPrintable(toastText(frames.first())));
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);
}

void TestHostileMaps::verifyListsMatchTable(MainWindow &window)
{
    const QList<RegisterInfo> &records = Inspect::registerList(window);
    const QList<quint16> &addresses = Inspect::registerAddrs(window);
    const auto *table = window.findChild<QTableWidget *>("tableWidget");
    QCOMPARE(addresses.size(), records.size());
    QCOMPARE(table->rowCount(), records.size());
    for (int row = 0; row < records.size(); ++row) {
        QVERIFY(!records.at(row).name.isEmpty());
        QCOMPARE(addresses.at(row), records.at(row).address);
        QCOMPARE(table->item(row, 4)->text(), records.at(row).name);
    }
}

void TestHostileMaps::binaryGarbageLoadsOnlyWhatParses()
{
    // Garbage around two good lines: the good lines load, nothing else does.
    QByteArray map = randomBytes(65536, 20261207);
    map.replace("name", "nmae");
    map += "\n" + registerLine("0x0010", "Run current") + randomBytes(4096, 7).replace("name", "nmae")
        + "\n" + registerLine("0x0011", "Microsteps");
    WorkFolder folder(map);
    MainWindow window;
    verifyListsMatchTable(window);
    const QList<RegisterInfo> &records = Inspect::registerList(window);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.at(0).address, quint16(0x10));
    QCOMPARE(records.at(1).name, QStringLiteral("Microsteps"));
    verifyOnlyNoticeOfSkippedLines();
}

void TestHostileMaps::nulEndsALine()
{
    WorkFolder folder(bytes("slaveAddress:7\0,txTime:5\n")
                      + bytes("indexes:0x20,permission:RW,defaultValue:1,rangeValue:0~9,name:A\0,remarks:B\n")
                      + bytes("\0indexes:0x21,permission:RW,defaultValue:1,rangeValue:0~9,name:C,remarks:D\n"));
    MainWindow window;
    QCOMPARE(Inspect::slaveAddress(window), 7u);
    QCOMPARE(Inspect::txTime(window), 100);
    const QList<RegisterInfo> &records = Inspect::registerList(window);
    QCOMPARE(records.size(), 1);
    QCOMPARE(records.at(0).name, QStringLiteral("A"));
    QCOMPARE(records.at(0).remarks, QString());
    verifyListsMatchTable(window);
}

void TestHostileMaps::invalidUtf8IsReplacedNotFatal()
{
    WorkFolder folder(settingsLine + registerLine("0x0030", "\xff\xfe\xc3", "\xc0\x80\xed\xa0\x80")
                      + registerLine("0x0031", "Next"));
    MainWindow window;
    const QList<RegisterInfo> &records = Inspect::registerList(window);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.at(0).address, quint16(0x30));
    QVERIFY(records.at(0).name.contains(QChar::ReplacementCharacter));
    QCOMPARE(records.at(1).name, QStringLiteral("Next"));
    verifyListsMatchTable(window);
}

void TestHostileMaps::tenMegabyteLines()
{
    const int tenMegabytes = 10 * 1024 * 1024;
    const QByteArray longRemarks(tenMegabytes, 'x');
    // One long line without any comma, one with a long value, one made of
    // a million empty parts.
    WorkFolder folder(settingsLine + QByteArray(tenMegabytes, 'n') + "\n"
                      + registerLine("0x0040", "Long", longRemarks)
                      + QByteArray(1000000, ',') + "name:Commas\n"
                      + registerLine("0x0041", "After"));
    MainWindow window;
    const QList<RegisterInfo> &records = Inspect::registerList(window);
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.at(0).remarks.size(), tenMegabytes);
    QCOMPARE(records.at(1).name, QStringLiteral("Commas"));
    QCOMPARE(records.at(2).address, quint16(0x41));
    verifyListsMatchTable(window);
    // The line without a comma is skipped and the line of commas names no
    // address: one notice tells both.
    QCOMPARE(toastFrames().size(), 1);
    const QString notice = toastText(toastFrames().first());
    QVERIFY2(notice.contains(QStringLiteral("1 行无法识别")) && notice.contains(QStringLiteral("1 行地址无效")),
             qPrintable(notice));
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);
}

void TestHostileMaps::hundredThousandRegisters()
{
    const int count = 100000;
    QByteArray map = settingsLine;
    for (int i = 0; i < count; ++i)
        map += registerLine(QByteArray::number(i % 65536, 16), "R" + QByteArray::number(i));
    WorkFolder folder(map);
    MainWindow window;
    const auto *table = window.findChild<QTableWidget *>("tableWidget");
    QCOMPARE(table->rowCount(), count);
    QCOMPARE(Inspect::registerAddrs(window).size(), count);
    QCOMPARE(table->item(count - 1, 4)->text(), QStringLiteral("R%1").arg(count - 1));
    QCOMPARE(Inspect::registerAddrs(window).last(), quint16((count - 1) % 65536));
    QVERIFY(table->cellWidget(count - 1, 1));
    // Addresses wrap after 0xFFFF: every later line repeats one, in one notice.
    QCOMPARE(toastFrames().size(), 1);
    QVERIFY2(toastText(toastFrames().first()).contains(QStringLiteral("%1 行的地址与前面的行重复").arg(count - 65536)),
             qPrintable(toastText(toastFrames().first())));
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);
}

void TestHostileMaps::folderInsteadOfAFile()
{
    WorkFolder folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("RegisterInfo")));
    MainWindow window;
    QCOMPARE(window.findChild<QTableWidget *>("tableWidget")->rowCount(), 0);
    QCOMPARE(Inspect::txTime(window), 100);
    verifyOnlyToastIsMissingMap();
}

void TestHostileMaps::pathsThatCannotBeRead_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("toastExpected");
    // A dangling link cannot be opened at all; kernel memory opens but every
    // read fails.
    QTest::newRow("dangling link") << QStringLiteral("/nonexistent/RegisterInfo") << true;
    QTest::newRow("read fails") << QStringLiteral("/proc/self/mem") << false;
}

void TestHostileMaps::pathsThatCannotBeRead()
{
    QFETCH(QString, target);
    QFETCH(bool, toastExpected);
    WorkFolder folder;
    QVERIFY(QFile::link(target, QDir(folder.path()).filePath(QStringLiteral("RegisterInfo"))));
    MainWindow window;
    QCOMPARE(window.findChild<QTableWidget *>("tableWidget")->rowCount(), 0);
    QCOMPARE(Inspect::slaveAddress(window), 1u);
    QCOMPARE(Inspect::rxOutTime(window), 1000u);
    if (toastExpected)
        verifyOnlyToastIsMissingMap();
}

void TestHostileMaps::pipeDoesNotHangStartUp()
{
    // Opening a pipe that nobody writes would block start-up for good: it
    // is refused like a missing file.
    WorkFolder folder;
    const QByteArray path = QDir(folder.path()).filePath(QStringLiteral("RegisterInfo")).toLocal8Bit();
    QCOMPARE(mkfifo(path.constData(), 0600), 0);
    MainWindow window;
    QCOMPARE(window.findChild<QTableWidget *>("tableWidget")->rowCount(), 0);
    verifyOnlyToastIsMissingMap();
}

QTEST_MAIN(TestHostileMaps)
#include "tst_hostilemaps.moc"

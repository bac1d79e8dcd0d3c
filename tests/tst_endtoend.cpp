#include <QtTest>

#include <QCheckBox>
#include <QMenu>
#include <QComboBox>
#include <QRegularExpression>
#include <QTextEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTableWidget>

#include "ui/monitor/monitordock.h"
#include "protocol/requestscheduler.h"
#include "serial/serial.h"
#include "support/lamps.h"
#include "support/logview.h"
#include "support/windowinternals.h"
#include "support/refreshwait.h"
#include "support/simulator.h"
#include "support/workfolder.h"

using Inspect = MainWindowInspector;

namespace {

const QByteArray driverMap(
    "slaveAddress:1,txTime:20,rxOutTime:300\n"
    "indexes:0x0000,permission:R,defaultValue:0x0007,rangeValue:0~65535,name:Status,remarks:\n"
    "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:100~6000,name:Run current,remarks:mA\n"
    "indexes:0x0012,permission:RW,defaultValue:0x0010,rangeValue:1~256,name:Microsteps,remarks:\n"
    "indexes:0x0030,permission:RW,defaultValue:0xFFFF,rangeValue:0~65535,name:Top,remarks:\n");
const QStringList decimalDefaults = {"7", "3000", "16", "65535"};

// Every kind of value: named bits, named states, a scaled value with its
// unit, and a signed 32-bit value with its low word first, read in one block.
const QByteArray typedMap(
    "slaveAddress:1,txTime:20,rxOutTime:300,blockRead:8\n"
    "indexes:0x0000,permission:RW,defaultValue:0x0083,rangeValue:0~65535,name:Status,remarks:,"
    "bits:0=使能;1=运行;2=报警\n"
    "indexes:0x0001,permission:RW,defaultValue:0x0001,rangeValue:0~3,name:Alarm,remarks:,enum:0=无报警;1=过流;2=过压\n"
    "indexes:0x0002,permission:RW,defaultValue:0x01E0,rangeValue:0~50.0,name:Bus voltage,remarks:,scale:0.1,unit:V\n"
    "indexes:0x0003,permission:RW,defaultValue:0xFFFFFB50,rangeValue:-100000~100000,name:Position,remarks:,"
    "type:s32,wordOrder:lh\n");

} // namespace

// The real window and serial line against tools/simdriver, a libmodbus
// slave in its own process, as a technician would use them.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void openingReadsEveryRegister();
    void editorWriteReachesTheDriver();
    void silentDriverTimesOutEachRequest();
    void closingDropsTheQueue();
    void faultyRepliesChangeNothing_data();
    void faultyRepliesChangeNothing();
    void replyDribbledWithinTheSilenceIsOneBlock();
    void vanishedDriverClosesThePort();
    void continuousRefreshRunsUntilUnticked();
    void handSentReplyIsStoredNowhere();
    void handSentReplyDuringPollingShiftsNoRow();
    void blockReadFillsEachRow();
    void plottedRowsAreRecordedUntilTheDriverVanishes();
    void typedValuesAreShownAndWrittenWhole();
    void refusedFunction16IsReported();

private:
    QList<quint64> statistics();
    QWidget *openEditor(int row);
    void writeInEditor(int row, const QString &value);
    bool openSimulator(const QStringList &options = {});
    void useTypedMap();
    void clickOpen();
    QPushButton *button(const char *name) { return window->findChild<QPushButton *>(name); }

    WorkFolder *folder = nullptr;
    Simulator *simulator = nullptr;
    MainWindow *window = nullptr;
    QTableWidget *table = nullptr;
};

void TestEndToEnd::init()
{
    folder = new WorkFolder(driverMap);
    window = new MainWindow;
    table = window->findChild<QTableWidget *>("tableWidget");
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void TestEndToEnd::cleanup()
{
    if (Serial::instance()->serialPort->isOpen())
        clickOpen();
    delete window;
    delete simulator;
    simulator = nullptr;
    delete folder;
}

bool TestEndToEnd::openSimulator(const QStringList &options)
{
    simulator = new Simulator;
    if (!simulator->start(folder->path() + QStringLiteral("/RegisterInfo"), options))
        return false;
    // Qt does not list pseudo-terminals: the path is typed into the field.
    QLineEdit *portField = window->findChild<QComboBox *>("comboBox_port")->lineEdit();
    portField->clear();
    QTest::keyClicks(portField, simulator->devicePath());
    clickOpen();
    return Serial::instance()->serialPort->isOpen();
}

void TestEndToEnd::clickOpen()
{
    QTest::mouseClick(button("pushButton_open"), Qt::LeftButton);
}

void TestEndToEnd::openingReadsEveryRegister()
{
    QVERIFY(openSimulator());
    QVERIFY(waitForRefreshDone(*window, 15000));
    for (int row = 0; row < decimalDefaults.size(); ++row) {
        QCOMPARE(table->item(row, 1)->text(), decimalDefaults.at(row));
        QCOMPARE(lampColour(table, row), QStringLiteral("green"));
    }

    // Every frame we built passed libmodbus's own checks.
    const QString served = simulator->log();
    QCOMPARE(served.count(QStringLiteral("simdriver: read ")), 4);
    QVERIFY2(!served.contains(QStringLiteral("receive failed")), qPrintable(served));

    const QList<LogLine> lines = logLines(*window);
    QCOMPARE(lines.size(), 8);
    for (int i = 0; i < lines.size(); i += 2) {
        QVERIFY(withoutTimestamp(lines.at(i).text).startsWith(QStringLiteral("Tx(hex):01 03 ")));
        QCOMPARE(lines.at(i).colour, shownColour(*window, LogColour::Normal));
        QVERIFY(withoutTimestamp(lines.at(i + 1).text).startsWith(QStringLiteral("Rx(hex):01 03 02 ")));
        QCOMPARE(lines.at(i + 1).colour, shownColour(*window, LogColour::Received));
    }

    // A second refresh reads the same values: the lamps go white.
    QTest::mouseClick(button("pushButton_dataRefresh"), Qt::LeftButton);
    QVERIFY(!button("pushButton_dataRefresh")->isEnabled());
    QVERIFY(waitForRefreshDone(*window, 15000));
    for (int row = 0; row < decimalDefaults.size(); ++row)
        QCOMPARE(lampColour(table, row), QStringLiteral("white"));
    const auto refreshCountShown = [this](int count) {
        bool shown = false;
        for (QLabel *label : window->findChild<QStatusBar *>("statusBar")->findChildren<QLabel *>())
            shown |= label->text() == QStringLiteral("    数据刷新次数 : %1    ").arg(count);
        return shown;
    };
    QVERIFY(refreshCountShown(2));

    // 统计清零 from the counts' menu zeroes the refresh count with them.
    QTimer::singleShot(100, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (menu && !menu->actions().isEmpty())
            menu->actions().first()->trigger();
        if (menu)
            menu->close();
    });
    emit window->findChild<QLabel *>("label_statistics")->customContextMenuRequested(QPoint(2, 2));
    QVERIFY(refreshCountShown(0));
    QTRY_COMPARE(statistics(), (QList<quint64>{0, 0, 0, 0}));
}

void TestEndToEnd::editorWriteReachesTheDriver()
{
    QVERIFY(openSimulator());
    QVERIFY(waitForRefreshDone(*window, 15000));

    QWidget *editor = openEditor(1);
    QVERIFY(editor && editor->isVisible());
    auto *decimal = editor->findChild<QLineEdit *>("lineEdit_dec");
    QCOMPARE(decimal->text(), QStringLiteral("3000"));
    decimal->selectAll();
    QTest::keyClicks(decimal, QStringLiteral("1234"));
    QTest::mouseClick(editor->findChild<QPushButton *>("pushButton_Write"), Qt::LeftButton);

    QTRY_VERIFY_WITH_TIMEOUT(simulator->log().contains(QStringLiteral("simdriver: write 0x0010 <- 1234")), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(table->item(1, 1)->text(), QStringLiteral("1234"), 10000);
    QCOMPARE(lampColour(table, 1), QStringLiteral("green"));
    editor->hide();

    // Read back from the driver: the value stays, unchanged means white.
    QTest::mouseClick(button("pushButton_dataRefresh"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(*window, 15000));
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("1234"));
    QCOMPARE(lampColour(table, 1), QStringLiteral("white"));
}

void TestEndToEnd::silentDriverTimesOutEachRequest()
{
    QVERIFY(openSimulator({QStringLiteral("--silent")}));
    QVERIFY(waitForRefreshDone(*window, 20000));
    QCOMPARE(logTexts(*window).count(QStringLiteral("Data receiving timeout!")), 4);
    QCOMPARE(simulator->log().count(QStringLiteral("silent, no reply")), 4);
    for (int row = 0; row < decimalDefaults.size(); ++row)
        QCOMPARE(lampColour(table, row), QStringLiteral("stale"));
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("0x0BB8"));
    QTRY_COMPARE(statistics(), (QList<quint64>{4, 0, 4, 0}));
}

void TestEndToEnd::closingDropsTheQueue()
{
    QVERIFY(openSimulator({QStringLiteral("--silent")}));
    QTRY_VERIFY_WITH_TIMEOUT(simulator->log().contains(QStringLiteral("silent, no reply")), 10000);
    clickOpen();
    QVERIFY(!Serial::instance()->serialPort->isOpen());
    QVERIFY(Inspect::cmdQueue(*window).isEmpty());
    const int served = simulator->log().count(QStringLiteral("silent, no reply"));
    QTest::qWait(1000); // long enough for three more requests had they stayed queued
    QCOMPARE(simulator->log().count(QStringLiteral("silent, no reply")), served);
    QVERIFY(served < 4);
}

// A driver that misbehaves on every reply: the poll cycle moves on, the log
// says what went wrong, no value changes and every lamp says not live.
void TestEndToEnd::faultyRepliesChangeNothing_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("errorLine");
    QTest::addColumn<int>("errorsPerReply");
    QTest::addColumn<QString>("lamp");
    QTest::addColumn<quint64>("crcErrors");
    QTest::newRow("broken CRC") << QStringList{"--bad-crc"} << "Data CRC Error!" << 1 << "stale" << quint64(4);
    QTest::newRow("foreign slave") << QStringList{"--reply-address", "9"}
                                   << "Reply from slave 9 ignored: the request went to slave 1" << 1 << "stale"
                                   << quint64(0);
    QTest::newRow("exception") << QStringList{"--exception", "2"} << "Modbus exception 02: illegal data address" << 1
                               << "stale" << quint64(0);
    // Gaps above the 12 ms silence cut each reply into pieces, none of
    // which passes the CRC test.
    QTest::newRow("dribbled, 30 ms gaps") << QStringList{"--byte-gap", "30"} << "Data CRC Error!" << 1 << "stale"
                                          << quint64(4);
}

void TestEndToEnd::faultyRepliesChangeNothing()
{
    QFETCH(QStringList, options);
    QFETCH(QString, errorLine);
    QFETCH(int, errorsPerReply);
    QFETCH(QString, lamp);
    QFETCH(quint64, crcErrors);
    QVERIFY(openSimulator(options));
    QVERIFY(waitForRefreshDone(*window, 30000));
    const QStringList texts = logTexts(*window);
    QCOMPARE(texts.filter(QStringLiteral("Tx(hex):")).size(), 4);
    if (!errorLine.isEmpty())
        QVERIFY(texts.count(errorLine) >= 4 * errorsPerReply);
    for (const LogLine &line : logLines(*window)) {
        if (!line.text.startsWith('['))
            QCOMPARE(line.colour, shownColour(*window, LogColour::Error));
    }
    for (int row = 0; row < decimalDefaults.size(); ++row)
        QCOMPARE(lampColour(table, row), lamp);
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("0x0BB8"));
    // No valid reply, no timeout; every broken block is a CRC error (a
    // dribbled reply breaks into several).
    QTRY_COMPARE(statistics().mid(0, 3), (QList<quint64>{4, 0, 0}));
    if (crcErrors > 0)
        QVERIFY(statistics().at(3) >= crcErrors);
    else
        QCOMPARE(statistics().at(3), crcErrors);
}

void TestEndToEnd::replyDribbledWithinTheSilenceIsOneBlock()
{
    QVERIFY(openSimulator({QStringLiteral("--byte-gap"), QStringLiteral("3")}));
    QVERIFY(waitForRefreshDone(*window, 30000));
    for (int row = 0; row < decimalDefaults.size(); ++row)
        QCOMPARE(table->item(row, 1)->text(), decimalDefaults.at(row));
    QVERIFY(!logTexts(*window).contains(QStringLiteral("Data CRC Error!")));
}

// Killing the driver's process takes the far side of the line away, as a
// pulled adapter does.
void TestEndToEnd::vanishedDriverClosesThePort()
{
    QVERIFY(openSimulator({QStringLiteral("--silent")}));
    QTRY_VERIFY_WITH_TIMEOUT(simulator->log().contains(QStringLiteral("silent, no reply")), 10000);
    simulator->kill();
    QTRY_VERIFY_WITH_TIMEOUT(!Serial::instance()->serialPort->isOpen(), 10000);
    QTest::qWait(200);
    QCOMPARE(button("pushButton_open")->text(), QStringLiteral("打开串口"));
    QVERIFY(Inspect::cmdQueue(*window).isEmpty());
    QVERIFY(!Inspect::pollTimer(*window).isActive());
    int lost = 0;
    for (const LogLine &line : logLines(*window)) {
        if (line.text.startsWith(QStringLiteral("Serial port error: "))) {
            ++lost;
            QCOMPARE(line.colour, shownColour(*window, LogColour::Error));
        }
    }
    QCOMPARE(lost, 1);

    // A driver that is back can be opened again.
    delete simulator;
    QVERIFY(openSimulator());
    QVERIFY(waitForRefreshDone(*window, 15000));
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("3000"));
}

// The four counts of the status bar's statistics, in their order.
QList<quint64> TestEndToEnd::statistics()
{
    const auto *label = window->findChild<QLabel *>("label_statistics");
    QList<quint64> counts;
    QRegularExpressionMatchIterator numbers = QRegularExpression(QStringLiteral("\\d+")).globalMatch(label->text());
    while (numbers.hasNext() && counts.size() < 4)
        counts << numbers.next().captured().toULongLong();
    return counts;
}

// The editor, opened by a double click on the row's value.
void TestEndToEnd::useTypedMap()
{
    QFile map(folder->path() + QStringLiteral("/RegisterInfo"));
    QVERIFY(map.open(QIODevice::WriteOnly | QIODevice::Truncate));
    map.write(typedMap);
    map.close();
    QVERIFY(window->loadRegisterMap(map.fileName()));
}

// Reads bring each row's value in its type and unit, the 32-bit row whole
// inside the block; its write is one function-16 request the simulator
// takes whole, and the echo shows the value in green.
void TestEndToEnd::typedValuesAreShownAndWrittenWhole()
{
    useTypedMap();
    QVERIFY(openSimulator());
    QVERIFY(waitForRefreshDone(*window, 15000));
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("使能|运行 (0x0083)"));
    QVERIFY(table->item(0, 1)->toolTip().contains(QStringLiteral("bit 2 报警 = 0")));
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("过流 (1)"));
    QVERIFY(table->item(1, 1)->toolTip().contains(QStringLiteral("● 1 = 过流")));
    QCOMPARE(table->item(2, 1)->text(), QStringLiteral("48.0 V"));
    QCOMPARE(table->item(3, 1)->text(), QStringLiteral("-1200"));
    QVERIFY(simulator->log().contains(QStringLiteral("simdriver: read 0x0000 x5 -> 131 1 480 64336 65535")));

    writeInEditor(3, QStringLiteral("-70000"));
    QTRY_COMPARE_WITH_TIMEOUT(table->item(3, 1)->text(), QStringLiteral("-70000"), 10000);
    QCOMPARE(lampColour(table, 3), QStringLiteral("green"));
    const QString served = simulator->log();
    QCOMPARE(served.count(QStringLiteral("simdriver: write multiple 0x0003 x2")), 1);
    QVERIFY(served.contains(QStringLiteral("simdriver: 32-bit 0x0003 <- -70000")));
    QVERIFY2(!served.contains(QStringLiteral("half of")), qPrintable(served));
    for (const QString &line : logTexts(*window)) {
        const QString text = withoutTimestamp(line);
        QVERIFY2(!text.startsWith(QStringLiteral("Tx(hex):01 06 00 03")) && !text.startsWith(QStringLiteral("Tx(hex):01 06 00 04")),
                 qPrintable(text));
    }

    // A scaled value is written as the scale gives it; a named bit ticked
    // keeps the unnamed bit 7 that the driver reported.
    writeInEditor(2, QStringLiteral("12.3"));
    QTRY_VERIFY_WITH_TIMEOUT(simulator->log().contains(QStringLiteral("simdriver: write 0x0002 <- 123")), 10000);
    QWidget *editor = openEditor(0);
    QVERIFY(editor && editor->isVisible());
    QCheckBox *alarmTick = nullptr;
    for (QCheckBox *tick : editor->findChildren<QCheckBox *>())
        if (tick->text().contains(QStringLiteral("报警")))
            alarmTick = tick;
    QVERIFY(alarmTick && !alarmTick->isChecked());
    QTest::mouseClick(alarmTick, Qt::LeftButton);
    QTest::mouseClick(editor->findChild<QPushButton *>("pushButton_Write"), Qt::LeftButton);
    editor->hide();
    QTRY_VERIFY_WITH_TIMEOUT(simulator->log().contains(QStringLiteral("simdriver: write 0x0000 <- 135")), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(table->item(0, 1)->text(), QStringLiteral("使能|运行|报警 (0x0087)"), 10000);
}

// A driver without function 16 gets no two single writes instead: the log
// says which function it refused.
void TestEndToEnd::refusedFunction16IsReported()
{
    useTypedMap();
    QVERIFY(openSimulator({QStringLiteral("--refuse-function"), QStringLiteral("16")}));
    QVERIFY(waitForRefreshDone(*window, 15000));
    writeInEditor(3, QStringLiteral("5"));
    QTRY_VERIFY_WITH_TIMEOUT(logTexts(*window).join(QLatin1Char('\n')).contains(QStringLiteral("功能码 16")), 10000);
    QTest::qWait(300);
    const QString served = simulator->log();
    QVERIFY2(!served.contains(QStringLiteral("simdriver: write 0x0003")), qPrintable(served));
    QCOMPARE(table->item(3, 1)->text(), QStringLiteral("-1200"));
    for (const LogLine &line : logLines(*window))
        if (line.text.contains(QStringLiteral("功能码 16")))
            QCOMPARE(line.colour, shownColour(*window, LogColour::Error));
}

QWidget *TestEndToEnd::openEditor(int row)
{
    const QPoint cell = table->visualRect(table->model()->index(row, 1)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("ValueEditWin"))
            return widget;
    return nullptr;
}

void TestEndToEnd::writeInEditor(int row, const QString &value)
{
    QWidget *editor = openEditor(row);
    QVERIFY(editor && editor->isVisible());
    auto *decimal = editor->findChild<QLineEdit *>("lineEdit_dec");
    decimal->selectAll();
    QTest::keyClicks(decimal, value);
    QTest::mouseClick(editor->findChild<QPushButton *>("pushButton_Write"), Qt::LeftButton);
    editor->hide();
}

// Refreshes follow each other while the box is ticked; a write made
// meanwhile is confirmed and read back by the refreshes after it; the
// counts agree with what the driver saw; closing the port unticks the box.
void TestEndToEnd::continuousRefreshRunsUntilUnticked()
{
    auto *continuous = window->findChild<QCheckBox *>("checkBox_continuous");
    QVERIFY(!continuous->isEnabled());
    QVERIFY(openSimulator());
    QVERIFY(waitForRefreshDone(*window, 15000));
    QVERIFY(continuous->isEnabled());
    continuous->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(simulator->log().count(QStringLiteral("simdriver: read ")) >= 12, 15000);

    writeInEditor(1, QStringLiteral("1234"));
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY_WITH_TIMEOUT(simulator->log().contains(QStringLiteral("write 0x0010 <- 1234")), 5000);
    const int readsAfterWrite = simulator->log().count(QStringLiteral("simdriver: read "));
    QTRY_VERIFY_WITH_TIMEOUT(simulator->log().count(QStringLiteral("simdriver: read ")) >= readsAfterWrite + 8, 15000);
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("1234"));

    continuous->setChecked(false);
    QVERIFY(waitForRefreshDone(*window, 15000));
    const QString served = simulator->log();
    const quint64 requests = quint64(served.count(QStringLiteral("simdriver: read ")) + served.count(QStringLiteral("simdriver: write ")));
    QTest::qWait(300); // a stopped refresh sends nothing more
    QCOMPARE(quint64(simulator->log().count(QStringLiteral("simdriver: read "))
                     + simulator->log().count(QStringLiteral("simdriver: write "))), requests);
    QTRY_COMPARE(statistics(), (QList<quint64>{requests, requests, 0, 0}));

    continuous->setChecked(true);
    clickOpen();
    QVERIFY(!continuous->isChecked());
    QVERIFY(!continuous->isEnabled());
}

// A frame typed by hand while nothing is awaited: its reply is logged but
// belongs to no row.
void TestEndToEnd::handSentReplyIsStoredNowhere()
{
    QVERIFY(openSimulator());
    QVERIFY(waitForRefreshDone(*window, 15000));
    window->findChild<QCheckBox *>("checkBox")->setChecked(true);
    auto *sendBox = window->findChild<QTextEdit *>("textEdit_send");
    sendBox->setPlainText(QStringLiteral("01 03 00 10 00 01 85 CF"));
    QTest::mouseClick(button("pushButton_send"), Qt::LeftButton);
    QTRY_VERIFY(logTexts(*window).last().contains(QStringLiteral("Rx(hex):01 03 02 0B B8")));
    QCOMPARE(table->item(3, 1)->text(), QStringLiteral("65535"));
    QCOMPARE(lampColour(table, 3), QStringLiteral("green"));
}

// A frame sent by hand while the poll runs: its reply answers the hand
// frame, never the read that leaves after it, so no row ever shows another
// register's value.
void TestEndToEnd::handSentReplyDuringPollingShiftsNoRow()
{
    QVERIFY(openSimulator({"--delay", "40"}));
    QVERIFY(waitForRefreshDone(*window, 15000));
    window->findChild<QCheckBox *>("checkBox_continuous")->setChecked(true);
    QStringList seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (int row = 0; row < decimalDefaults.size(); ++row) {
            const QString shown = table->item(row, 1)->text();
            const QString wrong = QStringLiteral("row %1 showed %2").arg(row).arg(shown);
            if (shown != decimalDefaults.at(row) && !seen.contains(wrong))
                seen.append(wrong);
        }
    });
    watch.start(2);
    window->findChild<QCheckBox *>("checkBox")->setChecked(true);
    window->findChild<QTextEdit *>("textEdit_send")->setPlainText(QStringLiteral("01 03 00 10 00 01 85 CF"));
    QTest::qWait(300);
    // Once while a poll is awaited, once just after a poll's answer, before
    // the next poll leaves: its delayed reply must meet neither.
    QTest::mouseClick(button("pushButton_send"), Qt::LeftButton);
    QTest::qWait(1000);
    auto *scheduler = window->findChild<RequestScheduler *>();
    QVERIFY(scheduler);
    bool armed = true;
    const auto clickAfterAnswer = connect(scheduler, &RequestScheduler::completed, window, [&] {
        if (std::exchange(armed, false))
            QTest::mouseClick(button("pushButton_send"), Qt::LeftButton);
    });
    QTest::qWait(1500);
    disconnect(clickAfterAnswer);
    QVERIFY(!armed);
    window->findChild<QCheckBox *>("checkBox_continuous")->setChecked(false);
    QVERIFY2(seen.isEmpty(), qPrintable(seen.join(QLatin1String("; "))));
}

// With blockRead on the map's first line, consecutive rows are read in one
// request, and each value lands in its own row.
void TestEndToEnd::blockReadFillsEachRow()
{
    delete window;
    delete folder;
    folder = new WorkFolder(QByteArray(
        "slaveAddress:1,txTime:20,rxOutTime:300,blockRead:3\n"
        "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:100~6000,name:Run current,remarks:\n"
        "indexes:0x0011,permission:RW,defaultValue:0x0005,rangeValue:0~65535,name:Hold,remarks:\n"
        "indexes:0x0012,permission:RW,defaultValue:0x0010,rangeValue:1~256,name:Microsteps,remarks:\n"
        "indexes:0x0013,permission:RW,defaultValue:0x0021,rangeValue:0~65535,name:Dir,remarks:\n"
        "indexes:0x0030,permission:RW,defaultValue:0xFFFF,rangeValue:0~65535,name:Top,remarks:\n"));
    window = new MainWindow;
    table = window->findChild<QTableWidget *>("tableWidget");
    QVERIFY(openSimulator());
    QVERIFY(waitForRefreshDone(*window, 15000));
    const QStringList expected = {"3000", "5", "16", "33", "65535"};
    for (int row = 0; row < expected.size(); ++row)
        QCOMPARE(table->item(row, 1)->text(), expected.at(row));
    const QString served = simulator->log();
    QVERIFY2(served.contains(QStringLiteral("read 0x0010 x3")), qPrintable(served));
    QVERIFY(served.contains(QStringLiteral("read 0x0013 x1")));
    QVERIFY(served.contains(QStringLiteral("read 0x0030 x1")));
    QCOMPARE(served.count(QStringLiteral("simdriver: read ")), 3);

    // A block answered with fewer registers than asked, and replies that
    // come after their timeout: no row takes a value that is not its own,
    // and every row that got none says so.
    for (const QStringList &options : {QStringList{"--short-read"}, QStringList{"--delay", "450"}}) {
        clickOpen();
        delete simulator;
        simulator = nullptr;
        QVERIFY(openSimulator(options));
        QVERIFY(waitForRefreshDone(*window, 15000));
        for (int row = 0; row < expected.size(); ++row)
            QCOMPARE(table->item(row, 1)->text(), expected.at(row));
        const bool late = options.first() == QLatin1String("--delay");
        for (int row = 0; row < 3; ++row)
            QCOMPARE(lampColour(table, row), QStringLiteral("stale"));
        QCOMPARE(lampColour(table, 4), late ? QStringLiteral("stale") : QStringLiteral("white"));
        QTRY_COMPARE(statistics().at(1), late ? 0u : 2u);
    }
}

// Two rows picked from the table's menu are plotted; continuous refresh
// narrowed to them reads only them, and their values go to the recording
// until the driver vanishes, which closes the file with every finished
// refresh in it.
void TestEndToEnd::plottedRowsAreRecordedUntilTheDriverVanishes()
{
    QVERIFY(openSimulator());
    QVERIFY(waitForRefreshDone(*window, 15000));
    table->selectRow(1);
    table->selectionModel()->select(table->model()->index(2, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTimer::singleShot(100, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (menu && !menu->actions().isEmpty())
            menu->actions().first()->trigger();
        if (menu)
            menu->close();
    });
    emit table->customContextMenuRequested(table->visualRect(table->model()->index(1, 1)).center());
    auto *dock = window->findChild<MonitorDock *>();
    QVERIFY(dock && dock->isVisible());
    QCOMPARE(dock->watched().size(), 2);

    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("values.csv"));
    QVERIFY(dock->startRecording(csv));
    window->findChild<QCheckBox *>("checkBox_watchedOnly")->setChecked(true);
    const int readsBefore = simulator->log().count(QStringLiteral("simdriver: read "));
    window->findChild<QCheckBox *>("checkBox_continuous")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(simulator->log().count(QStringLiteral("simdriver: read ")) >= readsBefore + 12, 15000);
    const QStringList narrowed = simulator->log().split('\n').filter(QStringLiteral("simdriver: read ")).mid(readsBefore);
    QVERIFY(narrowed.filter(QStringLiteral("read 0x0010")).size() >= 5);
    QVERIFY(narrowed.filter(QStringLiteral("read 0x0030")).isEmpty());
    QVERIFY(narrowed.filter(QStringLiteral("read 0x0000")).isEmpty());
    simulator->kill();
    QTRY_VERIFY_WITH_TIMEOUT(!Serial::instance()->serialPort->isOpen(), 10000);
    QVERIFY(!dock->isRecording());
    QVERIFY(!window->findChild<QCheckBox *>("checkBox_continuous")->isChecked());

    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.first().trimmed(), QByteArray("\xEF\xBB\xBFtime,0x0010 Run current,0x0012 Microsteps"));
    QVERIFY(lines.size() >= 6);
    QVERIFY2(lines.at(1).trimmed().endsWith(",3000,16"), lines.at(1).constData());
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"

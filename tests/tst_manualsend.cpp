#include <QtTest>

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPort>
#include <QTextEdit>

#include "serial/serial.h"
#include "support/logview.h"
#include "support/windowinternals.h"
#include "support/ptypair.h"
#include "support/workfolder.h"

namespace {

const QColor black(0, 0, 0, 255);
const QColor red(255, 0, 0, 255);

} // namespace

class TestManualSend : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void hexFormsSendTheSameBytes_data();
    void hexFormsSendTheSameBytes();
    void rejectedHexSendsNothing();
    void textIsSentAsTyped();
    void closedPortShowsToastAndRedLine();
    void emptyBoxDoesNothing();
    void everyRegisterWriteIsAskedAbout();

private:
    void type(const QString &text, bool hex);
    void clickSend();
    QByteArray arrivedAtPeer();

    PtyPair line;
    QSerialPort *peer = nullptr;
    WorkFolder *folder = nullptr;
    MainWindow *window = nullptr;
};

void TestManualSend::init()
{
    QVERIFY(line.start());
    folder = new WorkFolder(QByteArray("slaveAddress:1\n"));
    window = new MainWindow;
    QVERIFY(Serial::instance()->openPort(line.appSide(), 9600));
    peer = new QSerialPort(line.peerSide());
    QVERIFY(peer->open(QIODevice::ReadWrite));
}

void TestManualSend::cleanup()
{
    Serial::instance()->serialPort->close();
    delete peer;
    QTRY_VERIFY_WITH_TIMEOUT(window->findChildren<QPropertyAnimation *>().isEmpty(), 5000);
    delete window;
    delete folder;
}

void TestManualSend::type(const QString &text, bool hex)
{
    auto *box = window->findChild<QTextEdit *>("textEdit_send");
    box->clear();
    QTest::keyClicks(box, text);
    window->findChild<QCheckBox *>("checkBox")->setChecked(hex);
}

void TestManualSend::clickSend()
{
    QTest::mouseClick(window->findChild<QPushButton *>("pushButton_send"), Qt::LeftButton);
}

// What reached the far end within a generous second. The event loop must
// run meanwhile: the port hands its write buffer to the line from there.
QByteArray TestManualSend::arrivedAtPeer()
{
    QByteArray bytes;
    for (int i = 0; i < 20; ++i) {
        QTest::qWait(50);
        bytes += peer->readAll();
    }
    return bytes;
}

void TestManualSend::hexFormsSendTheSameBytes_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("pairs with blanks") << "01 03 00 00 00 01 84 0A";
    QTest::newRow("pairs run together") << "010300000001840A";
    QTest::newRow("0x form") << "0x01 0x03 0x00 0x00 0x00 0x01 0x84 0x0A";
}

void TestManualSend::hexFormsSendTheSameBytes()
{
    QFETCH(QString, typed);
    type(typed, true);
    clickSend();
    QCOMPARE(arrivedAtPeer(), QByteArray::fromHex("010300000001840a"));
    const QList<LogLine> lines = logLines(*window);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(withoutTimestamp(lines.first().text), QStringLiteral("Tx(hex):01 03 00 00 00 01 84 0A "));
    QCOMPARE(lines.first().colour, black);
    QCOMPARE(window->findChild<QTextEdit *>("textEdit_send")->toPlainText(), typed);
}

void TestManualSend::rejectedHexSendsNothing()
{
    type(QStringLiteral("123"), true);
    clickSend();
    QCOMPARE(arrivedAtPeer(), QByteArray());
    const QList<LogLine> lines = logLines(*window);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(withoutTimestamp(lines.first().text), QStringLiteral("Tx(hex):"));
    QCOMPARE(lines.first().colour, red);
}

void TestManualSend::textIsSentAsTyped()
{
    auto *box = window->findChild<QTextEdit *>("textEdit_send");
    box->setPlainText(QStringLiteral(" AT+RUN\nAT+STOP "));
    clickSend();
    QCOMPARE(arrivedAtPeer(), QByteArray(" AT+RUN\nAT+STOP "));
    const QStringList lines = logTexts(*window);
    QCOMPARE(lines.size(), 2); // the line feed starts a second paragraph
    QCOMPARE(withoutTimestamp(lines.at(0)), QStringLiteral("Tx: AT+RUN"));
    QCOMPARE(lines.at(1), QStringLiteral("AT+STOP "));
}

void TestManualSend::closedPortShowsToastAndRedLine()
{
    Serial::instance()->serialPort->close();
    type(QStringLiteral("AT"), false);
    clickSend();
    QCOMPARE(window->findChildren<QPropertyAnimation *>().size(), 1);
    const QList<LogLine> lines = logLines(*window);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(withoutTimestamp(lines.first().text), QStringLiteral("Tx:AT"));
    QCOMPARE(lines.first().colour, red);
}

void TestManualSend::emptyBoxDoesNothing()
{
    type(QString(), true);
    clickSend();
    QCOMPARE(arrivedAtPeer(), QByteArray());
    QVERIFY(logLines(*window).isEmpty());
    QVERIFY(window->findChildren<QPropertyAnimation *>().isEmpty());

    Serial::instance()->serialPort->close();
    clickSend();
    QVERIFY(logLines(*window).isEmpty());
    QCOMPARE(window->findChildren<QPropertyAnimation *>().size(), 1); // only the notice
}

// Whatever function writes a register (6, 16, 22 mask write, 23 read and
// write), wherever the frame starts and behind whatever frame it follows, a danger value or a word of the
// driver's serial number goes out only after the question; answered No,
// nothing reaches the line.
void TestManualSend::everyRegisterWriteIsAskedAbout()
{
    delete window;
    delete folder;
    folder = new WorkFolder(QByteArray(
        "slaveAddress:1\n"
        "indexes:0x0021,permission:RW,defaultValue:0x0000,rangeValue:0~65535,name:Setting,remarks:\n"
        "indexes:0x0022,permission:W,defaultValue:0x0000,rangeValue:0~65535,name:Factory reset,remarks:,"
        "command:Factory reset=0x5AA5,danger:Factory reset\n"
        "indexes:0x0042,permission:R,defaultValue:0x0,rangeValue:0~4294967295,name:Serial,remarks:,type:u32,"
        "role:serial\n"));
    window = new MainWindow;
    const char *frames[] = {
        "01 17 00 22 00 01 00 22 00 01 02 5A A5 08 57", // read and write 0x0022
        "01 16 00 22 00 00 5A A5 F4 DA",                // mask write 0x0022
        "01 06 00 43 12 34 75 69",                      // the serial's second word
        "01 10 00 43 00 01 02 12 34 A5 D4",
        "01 10 00 21 00 01 04 00 00 5A A5 CA 93",       // one word counted, two carried
        "01 03 00 10 00 01 85 CF 01 06 00 22 5A A5 D3 1B", // a read, then the write
    };
    for (const char *frame : frames) {
        QTimer no;
        bool asked = false;
        QObject::connect(&no, &QTimer::timeout, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                asked = true;
                box->button(QMessageBox::No)->click();
            }
        });
        no.start(20);
        type(QString::fromLatin1(frame), true);
        clickSend();
        QVERIFY2(asked, frame);
        QCOMPARE(arrivedAtPeer(), QByteArray());
    }
}

QTEST_MAIN(TestManualSend)
#include "tst_manualsend.moc"

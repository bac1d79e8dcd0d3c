#include <QtTest>

#include <QCheckBox>
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

QTEST_MAIN(TestManualSend)
#include "tst_manualsend.moc"

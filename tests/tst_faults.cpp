#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QTableWidget>
#include <QTextBrowser>

#include <malloc.h>
#ifdef __SANITIZE_ADDRESS__
// From the sanitizer runtime; g++ ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include "serial/serial.h"
#include "support/lamps.h"
#include "support/logview.h"
#include "support/windowinternals.h"
#include "support/ptypair.h"
#include "support/refreshwait.h"
#include "support/workfolder.h"

using Inspect = MainWindowInspector;

namespace {

const QByteArray faultMap(
    "slaveAddress:1,txTime:20,rxOutTime:300\n"
    "indexes:0x0010,permission:RW,defaultValue:0x0000,rangeValue:0~65535,name:A,remarks:\n"
    "indexes:0x0011,permission:RW,defaultValue:0x0000,rangeValue:0~65535,name:B,remarks:\n"
    "indexes:0x0012,permission:RW,defaultValue:0x0000,rangeValue:0~65535,name:C,remarks:\n");

// What the driver holds at each address.
quint16 valueAt(quint16 address)
{
    return quint16(1000 + address);
}

quint16 modbusCrc(const QByteArray &bytes)
{
    quint16 crc = 0xFFFF;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

// A driver scripted by the test, on the far side of a pseudo-terminal pair:
// it answers function-3 requests for one register, now or later, and lets
// the test put any bytes on the line besides.
class ScriptedDriver : public QObject
{
public:
    bool open(const QString &path)
    {
        port.setPortName(path);
        connect(&port, &QSerialPort::readyRead, this, [this] { answerRequests(); });
        return port.open(QIODevice::ReadWrite);
    }
    void write(const QByteArray &bytes)
    {
        port.write(bytes);
        port.flush();
    }

    int answerDelayMs = 0;
    bool answerOnlyFirst = false;
    int requestsSeen = 0;

private:
    void answerRequests()
    {
        pending += port.readAll();
        while (pending.size() >= 8) {
            const QByteArray request = pending.left(8);
            pending.remove(0, 8);
            if (request.at(1) != 0x03)
                continue;
            if (answerOnlyFirst && requestsSeen > 0)
                continue;
            ++requestsSeen;
            const quint16 address = quint16(quint8(request.at(2)) << 8 | quint8(request.at(3)));
            const QByteArray reply = readReply(address);
            QTimer::singleShot(answerDelayMs, this, [this, reply] { write(reply); });
        }
    }
    static QByteArray readReply(quint16 address)
    {
        const quint16 value = valueAt(address);
        QByteArray reply("\x01\x03\x02", 3);
        reply.append(char(value >> 8)).append(char(value & 0xFF));
        const quint16 crc = modbusCrc(reply);
        return reply.append(char(crc & 0xFF)).append(char(crc >> 8));
    }

    QSerialPort port;
    QByteArray pending;
};

// The sanitizers bring their own allocator, which mallinfo2 does not see.
size_t heapInUse()
{
#ifdef __SANITIZE_ADDRESS__
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

} // namespace

// Line faults that need exact control of the bytes: a reply after its
// timeout, and a flood of garbage while polling.
class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lateReplyLandsInNoRow();
    void floodOfGarbageLeavesPollingIntact();

private:
    void expectEveryValueRead();

    WorkFolder *folder = nullptr;
    PtyPair *line = nullptr;
    ScriptedDriver *driver = nullptr;
    MainWindow *window = nullptr;
    QTableWidget *table = nullptr;
};

void TestFaults::init()
{
    folder = new WorkFolder(faultMap);
    line = new PtyPair;
    QVERIFY(line->start());
    driver = new ScriptedDriver;
    QVERIFY(driver->open(line->peerSide()));
    window = new MainWindow;
    table = window->findChild<QTableWidget *>("tableWidget");
    QLineEdit *portField = window->findChild<QComboBox *>("comboBox_port")->lineEdit();
    portField->setText(line->appSide());
}

void TestFaults::cleanup()
{
    if (Serial::instance()->serialPort->isOpen())
        QTest::mouseClick(window->findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    delete window;
    delete driver;
    delete line;
    delete folder;
}

void TestFaults::expectEveryValueRead()
{
    for (int row = 0; row < 3; ++row)
        QCOMPARE(table->item(row, 1)->text(), QString::number(valueAt(quint16(0x10 + row))));
}

void TestFaults::lateReplyLandsInNoRow()
{
    // The first reply comes 500 ms late, after its 300 ms timeout; the driver
    // answers nothing else. The line waits until it is quiet, so the late
    // reply is a stray that no row takes.
    driver->answerDelayMs = 500;
    driver->answerOnlyFirst = true;
    QTest::mouseClick(window->findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(Serial::instance()->serialPort->isOpen());
    QVERIFY(waitForRefreshDone(*window, 10000));

    for (int row = 0; row < 3; ++row) {
        QCOMPARE(table->item(row, 1)->text(), QStringLiteral("0x0000"));
        QCOMPARE(lampColour(table, row), QStringLiteral("stale"));
    }
    const QStringList texts = logTexts(*window);
    QCOMPARE(texts.count(QStringLiteral("Data receiving timeout!")), 3);
    QCOMPARE(texts.count(QStringLiteral("Reply ignored: no request was awaited")), 1);
    QCOMPARE(texts.filter(QStringLiteral("Tx(hex):")).size(), 3);

    // Nothing else broke: a driver that answers at once fills every row. A
    // reply within a reply timeout of the last unanswered request might be
    // that request's, so the refresh comes after one.
    driver->answerDelayMs = 0;
    driver->answerOnlyFirst = false;
    QTest::qWait(400);
    QTest::mouseClick(window->findChild<QPushButton *>("pushButton_dataRefresh"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(*window, 10000));
    expectEveryValueRead();
}

void TestFaults::floodOfGarbageLeavesPollingIntact()
{
    QTest::mouseClick(window->findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(*window, 10000));
    expectEveryValueRead();
    auto *log = window->findChild<QTextBrowser *>("textBrowser_show");
    log->clear();
    const size_t heapBefore = heapInUse();

    // Garbage may decode as a valid reply now and then; values are only
    // compared after the line is quiet again.
    QRandomGenerator random(20261207);
    QByteArray burst(64 * 1024, '\0');
    for (char &byte : burst)
        byte = char(random.bounded(256));
    driver->write(burst);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000) {
        QByteArray chunk(256, '\0');
        for (char &byte : chunk)
            byte = char(random.bounded(256));
        driver->write(chunk);
        QTest::qWait(5);
        if (window->findChild<QPushButton *>("pushButton_dataRefresh")->isEnabled())
            QTest::mouseClick(window->findChild<QPushButton *>("pushButton_dataRefresh"), Qt::LeftButton);
    }
    QVERIFY(waitForRefreshDone(*window, 10000));
    QVERIFY(logTexts(*window).contains(QStringLiteral("Data CRC Error!")));

    QTest::mouseClick(window->findChild<QPushButton *>("pushButton_dataRefresh"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(*window, 10000));
    expectEveryValueRead();
    QVERIFY(Serial::instance()->serialPort->bytesAvailable() == 0);

    // Back to normal once the log's own text is gone.
    log->clear();
    QTest::qWait(100);
    const size_t heapAfter = heapInUse();
    QVERIFY2(heapAfter < heapBefore + 4 * 1024 * 1024,
             qPrintable(QStringLiteral("heap %1 -> %2 bytes").arg(heapBefore).arg(heapAfter)));
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"

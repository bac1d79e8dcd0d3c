#include <QtTest>

#include <QSerialPort>
#include <QSerialPortInfo>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <memory>

#include "serial/openfailure.h"
#include "serial/serial.h"
#include "support/ptypair.h"

// Serial is one object for the whole process: every case opens it on a
// fresh pty pair and cleanup() closes it again.
class TestSerial : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void frameReachesTheFarEndAndIsEchoed();
    void textGoesOutAsLatin1ButIsEchoedAsTyped();
    void failedWritesAreEchoedAsFailed();
    void burstsWithShortPausesMakeOneBlock();
    void burstsWithALongPauseMakeTwoBlocks();
    void reopeningKeepsTheRateWhenTheNewOneIsNotOffered();
    void reopeningResetsStopBitsAndFlowControl();
    void missingPortDoesNotOpen();
    void portInUseIsToldFromMissingPermission();
    void portListHoldsOnlyEnumeratedPorts();
    void portListLeavesOutAPortInUse();
    void vanishedDeviceIsReportedOncePerOpening();
    void expectedReplyEndsAtItsLength_data();
    void expectedReplyEndsAtItsLength();

private:
    void writeAtFarEnd(const QByteArray &bytes);
    QByteArray readAtFarEnd();

    std::unique_ptr<PtyPair> line;
    int farEnd = -1;
    QByteArray farEndReceived;
};

const QByteArray readRequest = QByteArray::fromHex("010300000001840a");

void TestSerial::init()
{
    line = std::make_unique<PtyPair>();
    QVERIFY(line->start());
    farEnd = ::open(QFile::encodeName(line->peerSide()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(farEnd >= 0);
    farEndReceived.clear();
}

void TestSerial::cleanup()
{
    Serial::instance()->serialPort->close();
    if (farEnd >= 0)
        ::close(farEnd);
    farEnd = -1;
    line.reset();
}

void TestSerial::writeAtFarEnd(const QByteArray &bytes)
{
    QCOMPARE(::write(farEnd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
}

// Everything the far end has received so far.
QByteArray TestSerial::readAtFarEnd()
{
    char buffer[256];
    ssize_t count;
    while ((count = ::read(farEnd, buffer, sizeof buffer)) > 0)
        farEndReceived.append(buffer, int(count));
    return farEndReceived;
}

void TestSerial::frameReachesTheFarEndAndIsEchoed()
{
    Serial *serial = Serial::instance();
    QVERIFY(serial->openPort(line->appSide(), 9600));
    QSignalSpy echo(serial, &Serial::sendDataShow);

    QVERIFY(serial->sendData(readRequest));
    QCOMPARE(echo.count(), 1);
    QCOMPARE(echo.at(0).at(0).toString(), QStringLiteral("Tx(hex):01 03 00 00 00 01 84 0A "));
    QCOMPARE(echo.at(0).at(1).toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(readAtFarEnd(), readRequest, 5000);
}

void TestSerial::textGoesOutAsLatin1ButIsEchoedAsTyped()
{
    Serial *serial = Serial::instance();
    QVERIFY(serial->openPort(line->appSide(), 9600));
    QSignalSpy echo(serial, &Serial::sendDataShow);

    QVERIFY(serial->sendText(QStringLiteral("A中")));
    QCOMPARE(echo.count(), 1);
    QCOMPARE(echo.at(0).at(0).toString(), QStringLiteral("Tx:A中"));
    QCOMPARE(echo.at(0).at(1).toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(readAtFarEnd(), QByteArray("A?"), 5000);
}

// The log shows what was tried even when nothing went out.
void TestSerial::failedWritesAreEchoedAsFailed()
{
    Serial *serial = Serial::instance();
    QSignalSpy echo(serial, &Serial::sendDataShow);

    QVERIFY(!serial->sendData(readRequest));
    QVERIFY(!serial->sendText(QStringLiteral("hello")));

    QVERIFY(serial->openPort(line->appSide(), 9600));
    QVERIFY(!serial->sendData(QByteArray()));
    QVERIFY(!serial->sendText(QString()));

    const QList<QList<QVariant>> expected = {
        {QStringLiteral("Tx(hex):01 03 00 00 00 01 84 0A "), false},
        {QStringLiteral("Tx:hello"), false},
        {QStringLiteral("Tx(hex):"), false},
        {QStringLiteral("Tx:"), false},
    };
    QCOMPARE(echo, expected);
}

static QByteArray joined(const QSignalSpy &blocks)
{
    QByteArray bytes;
    for (const QList<QVariant> &block : blocks)
        bytes += block.at(0).toByteArray();
    return bytes;
}

static qint64 longestPause(const QList<qint64> &arrivals)
{
    qint64 longest = 0;
    for (int k = 1; k < arrivals.size(); ++k)
        longest = qMax(longest, arrivals.at(k) - arrivals.at(k - 1));
    return longest;
}

// Four bursts 5 ms apart span more than 12 ms, so they stay together only
// if every arrival restarts the countdown. On a busy machine an arrival can
// come 12 ms or more after the one before; such a try is repeated, while a
// split without such a pause is a fault.
void TestSerial::burstsWithShortPausesMakeOneBlock()
{
    Serial *serial = Serial::instance();
    QVERIFY(serial->openPort(line->appSide(), 115200));
    const QByteArray reply = QByteArray::fromHex("0103020000b844");

    for (int attempt = 0; attempt < 5; ++attempt) {
        QSignalSpy blocks(serial, &Serial::haveReceive);
        QList<qint64> arrivals;
        QElapsedTimer clock;
        clock.start();
        QObject recorder; // ends the connection with this try
        connect(serial->serialPort, &QSerialPort::readyRead, &recorder,
                [&] { arrivals.append(clock.elapsed()); });
        for (int k = 0; k < reply.size(); k += 2) {
            QTimer::singleShot(5 * k / 2, Qt::PreciseTimer, this,
                               [this, burst = reply.mid(k, 2)] { writeAtFarEnd(burst); });
        }

        // A real event loop, not QTRY's polling, so that pauses are not stretched.
        while (joined(blocks).size() < reply.size() && blocks.wait(5000)) {
        }
        QCOMPARE(joined(blocks), reply);
        if (blocks.count() == 1)
            return;
        QVERIFY2(longestPause(arrivals) >= 11, "a block ended without a 12 ms pause");
    }
    QFAIL("every try saw a pause of 12 ms or more: the machine is too busy");
}

void TestSerial::burstsWithALongPauseMakeTwoBlocks()
{
    Serial *serial = Serial::instance();
    QVERIFY(serial->openPort(line->appSide(), 115200));
    QSignalSpy blocks(serial, &Serial::haveReceive);

    const QByteArray first = QByteArray::fromHex("0103020000b844");
    const QByteArray second = QByteArray::fromHex("0106001000640c1e");
    QTimer::singleShot(0, this, [this, first] { writeAtFarEnd(first); });
    QTimer::singleShot(100, this, [this, second] { writeAtFarEnd(second); });

    QTRY_COMPARE_WITH_TIMEOUT(blocks.count(), 2, 5000);
    QCOMPARE(blocks.at(0).at(0).toByteArray(), first);
    QCOMPARE(blocks.at(1).at(0).toByteArray(), second);
}

// The rate also has to reach the terminal, not only the QSerialPort object.
static speed_t lineSpeed(const QSerialPort *port)
{
    termios settings = {};
    return ::tcgetattr(port->handle(), &settings) == 0 ? ::cfgetospeed(&settings) : B0;
}

void TestSerial::reopeningKeepsTheRateWhenTheNewOneIsNotOffered()
{
    Serial *serial = Serial::instance();
    QVERIFY(serial->openPort(line->appSide(), 19200));
    QCOMPARE(serial->serialPort->baudRate(), 19200);
    QCOMPARE(lineSpeed(serial->serialPort), speed_t(B19200));

    QVERIFY(serial->openPort(line->appSide(), 2400));
    QVERIFY(serial->serialPort->isOpen());
    QCOMPARE(serial->serialPort->baudRate(), 19200);
    QCOMPARE(lineSpeed(serial->serialPort), speed_t(B19200));

    QVERIFY(serial->openPort(line->appSide(), 115200));
    QCOMPARE(serial->serialPort->baudRate(), 115200);
    QCOMPARE(lineSpeed(serial->serialPort), speed_t(B115200));
}

// A pty keeps 8 data bits without parity whatever it is told, so only the
// stop bits and the flow control can show that opening sets the frame format.
void TestSerial::reopeningResetsStopBitsAndFlowControl()
{
    Serial *serial = Serial::instance();
    QSerialPort *port = serial->serialPort;
    QVERIFY(serial->openPort(line->appSide(), 9600));
    QVERIFY(port->setStopBits(QSerialPort::TwoStop));
    QVERIFY(port->setFlowControl(QSerialPort::SoftwareControl));

    QVERIFY(serial->openPort(line->appSide(), 9600));
    QCOMPARE(port->stopBits(), QSerialPort::OneStop);
    QCOMPARE(port->flowControl(), QSerialPort::NoFlowControl);
}

// A failed open also drops the port that was open before.
void TestSerial::missingPortDoesNotOpen()
{
    Serial *serial = Serial::instance();
    QVERIFY(serial->openPort(line->appSide(), 9600));
    QVERIFY(!serial->openPort(line->appSide() + QStringLiteral("-missing"), 9600));
    QVERIFY(!serial->serialPort->isOpen());
}

// A lock file naming a live program means the port is in use, whatever
// Qt's "permission error" says; the dialout advice is kept for real
// permission problems.
void TestSerial::portInUseIsToldFromMissingPermission()
{
    QProcess holder;
    holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(holder.waitForStarted());
    // As QLockFile writes it: pid, program, host. Qt looks in /var/lock
    // first and names the lock after the device path.
    const QString lockPath = QStringLiteral("/var/lock/LCK..") + QString(line->appSide()).replace('/', '_');
    QFile lock(lockPath);
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QStringLiteral("%1\nsleep\n%2\n").arg(holder.processId()).arg(QSysInfo::machineHostName()).toUtf8());
    lock.close();
    const auto removeLock = qScopeGuard([&lockPath] { QFile::remove(lockPath); });

    Serial *serial = Serial::instance();
    QVERIFY(!serial->openPort(line->appSide(), 9600));
    const OpenFailure held = serial->openFailure();
    QCOMPARE(held.kind, OpenFailure::Kind::InUse);
    QCOMPARE(held.holderPid, holder.processId());
    QCOMPARE(held.text(), QStringLiteral("in use by another program (pid %1, sleep); close it and try again")
                              .arg(holder.processId()));
    QVERIFY2(serial->openError().contains(QStringLiteral("sleep")) && !serial->openError().contains("dialout"),
             qPrintable(serial->openError()));

    // Once the holder has ended, its lock is stale and the port opens.
    holder.kill();
    QVERIFY(holder.waitForFinished());
    QVERIFY(serial->openPort(line->appSide(), 9600));
    serial->serialPort->close();

    const QString noLock = line->appSide() + QStringLiteral("-unlocked");
    const OpenFailure denied = classifyOpenFailure(QSerialPort::PermissionError, QStringLiteral("Permission denied"), noLock);
    QCOMPARE(denied.kind, OpenFailure::Kind::NoPermission);
    QVERIFY(denied.text().contains(QStringLiteral("dialout")));
    const OpenFailure exclusive = classifyOpenFailure(QSerialPort::PermissionError,
                                                      QString::fromLocal8Bit(strerror(EBUSY)), noLock);
    QCOMPARE(exclusive.kind, OpenFailure::Kind::InUse);
    QCOMPARE(exclusive.holderPid, 0);
    QCOMPARE(classifyOpenFailure(QSerialPort::DeviceNotFoundError, QStringLiteral("No such file or directory"), noLock)
                 .text(), QStringLiteral("No such file or directory"));
}

// Only ports that Qt enumerates, by name and in Qt's order (ptys are never
// among them).
void TestSerial::portListHoldsOnlyEnumeratedPorts()
{
    QStringList enumerated;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        enumerated.append(info.portName());

    const QStringList listed = Serial::instance()->portList();
    int from = 0;
    for (const QString &name : listed) {
        const int at = enumerated.indexOf(name, from);
        QVERIFY2(at >= 0, qPrintable(name));
        from = at + 1;
    }
}

// Serial's own port is locked while open, like a port held by another program.
void TestSerial::portListLeavesOutAPortInUse()
{
    Serial *serial = Serial::instance();
    const QStringList free = serial->portList();
    if (free.isEmpty())
        QSKIP("this machine has no serial port that can be opened");
    QVERIFY(serial->openPort(free.first(), 9600));
    QVERIFY(!serial->portList().contains(free.first()));
}

// Killing socat hangs up the pty under the open port, as pulling a USB
// adapter does. Qt keeps reporting that failure while the port stays open;
// the loss must still come once, and again only after the next opening.
void TestSerial::vanishedDeviceIsReportedOncePerOpening()
{
    Serial *serial = Serial::instance();
    QSignalSpy lost(serial, &Serial::portLost);
    QVERIFY(!serial->openPort(line->appSide() + QStringLiteral("-missing"), 9600));
    QVERIFY(serial->openPort(line->appSide(), 9600));
    QTest::qWait(50);
    QCOMPARE(lost.count(), 0); // neither the failed open nor a quiet line is a loss

    for (int opening = 1; opening <= 2; ++opening) {
        ::close(farEnd);
        farEnd = -1;
        line.reset();
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), opening, 5000);
        QVERIFY(!lost.last().at(0).toString().isEmpty());
        QTest::qWait(200); // still open: the failure goes on, the report does not
        QCOMPARE(lost.count(), opening);
        QVERIFY(serial->serialPort->isOpen());

        init();
        QVERIFY(serial->openPort(line->appSide(), 9600));
    }
    // A device that stays is not lost, and the line works.
    QVERIFY(serial->sendData(readRequest));
    QTRY_COMPARE_WITH_TIMEOUT(readAtFarEnd(), readRequest, 5000);
    QCOMPARE(lost.count(), 2);
}

// The reply a request expects is handed on the moment its last byte is
// read; every other block still waits for the 12 ms silence. Checked without
// the event loop: a block handed on early is out before any timer can run.
void TestSerial::expectedReplyEndsAtItsLength_data()
{
    QTest::addColumn<bool>("expecting");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("early");
    const QByteArray read = QByteArray::fromHex("0103020064b9af");
    QTest::newRow("read reply") << true << read << true;
    QTest::newRow("exception reply") << true << QByteArray::fromHex("018302c0f1") << true;
    QTest::newRow("foreign address") << true << QByteArray::fromHex("0203020064fdaf") << false;
    QTest::newRow("longer than expected") << true << read + QByteArray(1, '\0') << false;
    QTest::newRow("short") << true << read.left(5) << false;
    QTest::newRow("garbage") << true << QByteArray::fromHex("ff00ff00ff00ff") << false;
    QTest::newRow("hand-sent frame") << false << read << false;
}

void TestSerial::expectedReplyEndsAtItsLength()
{
    QFETCH(bool, expecting);
    QFETCH(QByteArray, reply);
    QFETCH(bool, early);
    Serial *serial = Serial::instance();
    QVERIFY(serial->openPort(line->appSide(), 115200));
    QSignalSpy blocks(serial, &Serial::haveReceive);
    serial->sendData(readRequest);
    if (expecting)
        serial->expectReply(0x01, 0x03, 7);
    writeAtFarEnd(reply);
    while (serial->serialPort->bytesAvailable() < reply.size() && blocks.isEmpty())
        QVERIFY(serial->serialPort->waitForReadyRead(2000));
    QCOMPARE(blocks.size(), early ? 1 : 0);
    QTRY_COMPARE(blocks.size(), 1);
    QCOMPARE(blocks.first().first().toByteArray(), reply);
}

QTEST_GUILESS_MAIN(TestSerial)
#include "tst_serial.moc"

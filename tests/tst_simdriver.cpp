#include <QtTest>

#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QThread>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A map with a byte-order mark, CR LF line ends and the kinds of line that
// are not registers, so that reading it the tool's way is checked on the wire.
const QByteArray kMap = "\xEF\xBB\xBF"
                        "slaveAddress:1,txTime:100,rxOutTime:1000\r\n"
                        "indexes:0x0010,permission:RW,defaultValue:0x0064,rangeValue:0~1000,name:Run current,remarks:mA\r\n"
                        "name:Hold current,remarks:%,indexes:11,permission:RW,defaultValue:32\r\n"
                        "indexes:0x0012,permission:R,defaultValue:0x1FFFF,rangeValue:0~1,name:Too big,remarks:\r\n"
                        "indexes:0x0013,permission:R,defaultValue:0x0005,name:Four parts\r\n"
                        "indexes:0x0014,permission:R,defaultValue:0x0006,rangeValue:0~9,remarks:see name list\r\n"
                        "indexes:0x0015,permission:R,defaultValue:0x0007,rangeValue:0~9,remarks:x\r\n"
                        "indexes:0x0016,permission:R,defaultValue:0x0008,rangeValue:0~9,name: ,remarks:x\r\n"
                        "\r\n"
                        "some other text\r\n"
                        "indexes:0x0020,permission:W,defaultValue:0xFFFF,rangeValue:0~1,name:Alarm reset,remarks:x\r\n";

const int kReplyWaitMs = 5000;
const int kSilenceMs = 800;

quint16 crc16(const QByteArray &data)
{
    quint16 crc = 0xFFFF;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

// Spaces in the hexadecimal text are only for reading.
QByteArray frame(int slave, const char *pduHex)
{
    const QByteArray bytes = char(slave) + QByteArray::fromHex(pduHex);
    const quint16 crc = crc16(bytes);
    return bytes + char(crc & 0xFF) + char(crc >> 8);
}

// A Modbus TCP frame: transaction id, protocol 0, the length that follows,
// the unit id, then the PDU.
QByteArray mbap(int transaction, int unit, const char *pduHex)
{
    const QByteArray pdu = QByteArray::fromHex(pduHex);
    QByteArray header;
    for (const int word : {transaction, 0, int(pdu.size()) + 1})
        header.append(char(word >> 8)).append(char(word & 0xFF));
    return header + char(unit) + pdu;
}

// A plain socket of the test's own, for what an independent client cannot
// show: exact frames, and a reset told apart from an orderly close.
class TcpClient
{
public:
    ~TcpClient()
    {
        if (fd >= 0)
            ::close(fd);
    }

    bool connectTo(int port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }

    // Whatever arrives within the wait, or as soon as expectedSize bytes
    // have; readError is the errno of a failed read (ECONNRESET for a reset).
    QByteArray exchange(const QByteArray &request, int expectedSize = 256, int waitMs = kReplyWaitMs)
    {
        readError = 0;
        if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size())
            readError = errno;
        QDeadlineTimer deadline(waitMs);
        QByteArray reply;
        while (readError == 0 && reply.size() < expectedSize) {
            struct pollfd readable = {fd, POLLIN, 0};
            if (::poll(&readable, 1, int(deadline.remainingTime())) <= 0)
                break;
            char bytes[256];
            const ssize_t size = ::recv(fd, bytes, sizeof bytes, 0);
            if (size <= 0) {
                readError = size < 0 ? errno : -1;
                break;
            }
            reply += QByteArray(bytes, int(size));
        }
        return reply;
    }

    int fd = -1;
    int readError = 0;
};

// mbpoll, a Modbus TCP client that is not ours: reads count holding
// registers from address of unit, or writes values there. Its output.
QByteArray mbpoll(int port, int unit, int address, const QStringList &values = {}, int count = 1)
{
    QStringList arguments{"-m", "tcp", "-a", QString::number(unit), "-0", "-r", QString::number(address),
                          "-1", "-o", "2", "-p", QString::number(port)};
    if (values.isEmpty())
        arguments << "-c" << QString::number(count);
    QProcess process;
    process.start(QStringLiteral("mbpoll"), arguments << QStringLiteral("127.0.0.1") << values);
    process.waitForFinished(3 * kReplyWaitMs);
    return process.readAllStandardOutput() + process.readAllStandardError();
}

// The values in mbpoll's "[16]:  100" lines.
QList<int> valuesRead(const QByteArray &output)
{
    QList<int> values;
    QRegularExpressionMatchIterator lines = QRegularExpression(R"(\[\d+\]:\s+(-?\d+))").globalMatch(output);
    while (lines.hasNext())
        values << lines.next().captured(1).toInt();
    return values;
}

// One simulator process on a map of its own, killed if a test leaves it running.
class Simulator
{
public:
    explicit Simulator(const QByteArray &map, const QStringList &options = {})
    {
        QFile file(dir.filePath(QStringLiteral("RegisterInfo")));
        file.open(QIODevice::WriteOnly);
        file.write(map);
        file.close();
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(SIMDRIVER_PATH), options);
    }
    ~Simulator()
    {
        process.kill();
        process.waitForFinished();
    }

    bool openPort()
    {
        QDeadlineTimer deadline(kReplyWaitMs);
        while (!process.canReadLine() && process.waitForReadyRead(int(deadline.remainingTime()))) {}
        port.setPortName(QString::fromUtf8(process.readLine().trimmed()));
        port.setBaudRate(QSerialPort::Baud9600);
        port.setDataBits(QSerialPort::Data8);
        port.setParity(QSerialPort::NoParity);
        port.setStopBits(QSerialPort::OneStop);
        port.setFlowControl(QSerialPort::NoFlowControl);
        return port.open(QIODevice::ReadWrite);
    }

    // Whatever arrives within the wait, or as soon as expectedSize bytes have.
    QByteArray exchange(const QByteArray &request, int expectedSize = 256, int waitMs = kReplyWaitMs)
    {
        port.clear();
        port.write(request);
        port.waitForBytesWritten(kReplyWaitMs);
        QDeadlineTimer deadline(waitMs);
        QByteArray reply;
        while (reply.size() < expectedSize && port.waitForReadyRead(int(deadline.remainingTime())))
            reply += port.readAll();
        return reply + port.readAll();
    }

    QByteArray silenceAfter(const QByteArray &request) { return exchange(request, 256, kSilenceMs); }

    // The port of "127.0.0.1:PORT", the first line over TCP; 0 when it is not that.
    int tcpPort()
    {
        QDeadlineTimer deadline(kReplyWaitMs);
        while (!process.canReadLine() && process.waitForReadyRead(int(deadline.remainingTime()))) {}
        const QByteArray line = process.readLine().trimmed();
        return line.startsWith("127.0.0.1:") ? line.mid(10).toInt() : 0;
    }

    // Sends the signal and returns the exit code (-1 unless it exited normally).
    int stop(int signal = SIGTERM)
    {
        port.close();
        ::kill(pid_t(process.processId()), signal);
        const bool exited = process.waitForFinished(kReplyWaitMs) && process.exitStatus() == QProcess::NormalExit;
        log = process.readAllStandardError();
        return exited ? process.exitCode() : -1;
    }

    QTemporaryDir dir;
    QProcess process;
    QSerialPort port;
    QByteArray log;
};

} // namespace

class TestSimDriver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answersAHandWrittenRead();
    void servesTheMapsRegisters_data();
    void servesTheMapsRegisters();
    void writesChangeTheServedValues();
    void severalDriversWithAlarmsAndCommands();
    void keepsThirtyTwoBitValuesInTwoRegisters();
    void silentNeverAnswers();
    void answersOnlyItsOwnAddress_data();
    void answersOnlyItsOwnAddress();
    void delayHoldsTheReply();
    void faultOptionsChangeEveryReply_data();
    void faultOptionsChangeEveryReply();
    void byteGapSpreadsTheReply();
    void paceKeepsTheLinesTime_data();
    void paceKeepsTheLinesTime();
    void logsTheSilenceBeforeEachRequest();
    void recoversFromABrokenFrameAndAReopenedPort();
    void stopsCleanlyOnSignals_data();
    void stopsCleanlyOnSignals();
    void badInvocations_data();
    void badInvocations();
    void servesModbusTcp();
    void servesRtuOverTcp();

private:
    QScopedPointer<Simulator> shared;
};

void TestSimDriver::initTestCase()
{
    QCOMPARE(crc16("123456789"), quint16(0x4B37));
    shared.reset(new Simulator(kMap));
    QVERIFY(shared->openPort());
}

void TestSimDriver::answersAHandWrittenRead()
{
    const QByteArray reply = shared->exchange(QByteArray::fromHex("01030010000185CF"), 7);
    QCOMPARE(reply.toHex(' '), QByteArray("01 03 02 00 64 b9 af"));
}

// Requests and replies without the slave address and CRC.
void TestSimDriver::servesTheMapsRegisters_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("parts in any order, hex without 0x") << QByteArray("03 0011 0001") << QByteArray("03 02 0032");
    QTest::newRow("default above 16 bits is 0") << QByteArray("03 0012 0001") << QByteArray("03 02 0000");
    QTest::newRow("write-only register reads too") << QByteArray("03 0020 0001") << QByteArray("03 02 ffff");
    QTest::newRow("a part with 'name' in it names") << QByteArray("03 0014 0001") << QByteArray("03 02 0006");
    QTest::newRow("two registers") << QByteArray("03 0010 0002") << QByteArray("03 04 0064 0032");
    QTest::newRow("address not in the map") << QByteArray("03 0099 0001") << QByteArray("83 02");
    QTest::newRow("unlisted address between listed ones") << QByteArray("03 0017 0001") << QByteArray("83 02");
    QTest::newRow("range running past the listed ones") << QByteArray("03 0010 0004") << QByteArray("83 02");
    QTest::newRow("line of four parts") << QByteArray("03 0013 0001") << QByteArray("83 02");
    QTest::newRow("line without a name") << QByteArray("03 0015 0001") << QByteArray("83 02");
    QTest::newRow("line with a blank name") << QByteArray("03 0016 0001") << QByteArray("83 02");
    QTest::newRow("count 0") << QByteArray("03 0010 0000") << QByteArray("83 03");
    QTest::newRow("count 126") << QByteArray("03 0010 007e") << QByteArray("83 03");
    QTest::newRow("write outside the map") << QByteArray("06 0017 0001") << QByteArray("86 02");
    QTest::newRow("mask write, which could reach unlisted addresses")
        << QByteArray("16 0010 0000 ffff") << QByteArray("96 01");
    QTest::newRow("coils, left to libmodbus") << QByteArray("01 0000 0001") << QByteArray("81 02");
}

void TestSimDriver::servesTheMapsRegisters()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    const QByteArray expected = frame(1, reply.constData());
    QCOMPARE(shared->exchange(frame(1, request.constData()), expected.size()).toHex(' '), expected.toHex(' '));
}

void TestSimDriver::writesChangeTheServedValues()
{
    Simulator simulator(kMap);
    QVERIFY(simulator.openPort());
    const QByteArray write = frame(1, "060010 00c8");
    QCOMPARE(simulator.exchange(write, write.size()).toHex(), write.toHex());
    QCOMPARE(simulator.exchange(frame(1, "0300100001"), 7).toHex(), frame(1, "030200c8").toHex());

    const QByteArray writeTwo = frame(1, "1000100002 04 0007 0008");
    QCOMPARE(simulator.exchange(writeTwo, 8).toHex(), frame(1, "1000100002").toHex());
    QCOMPARE(simulator.exchange(frame(1, "0300100002"), 9).toHex(), frame(1, "030400070008").toHex());

    QCOMPARE(simulator.stop(), 0);
    QVERIFY2(simulator.log.contains("simdriver: write 0x0010 <- 200\n"), simulator.log.constData());
    QVERIFY2(simulator.log.contains("simdriver: write 0x0011 <- 8\n"), simulator.log.constData());
}

// Each driver of a bus keeps registers of its own; presets and alarms go to
// the driver named, and commands act on the driver written to.
void TestSimDriver::severalDriversWithAlarmsAndCommands()
{
    const QByteArray map = "slaveAddress:1\n"
        "indexes:0x0000,permission:R,defaultValue:0x0001,rangeValue:0~65535,name:Status,remarks:,bits:0=on;2=alarm,"
        "role:status,alarmBit:2\n"
        "indexes:0x0001,permission:R,defaultValue:0,rangeValue:0~9,name:Alarm,remarks:,enum:0=none;2=over,role:alarm\n"
        "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:0~6000,name:Current,remarks:\n"
        "indexes:0x0020,permission:W,defaultValue:0,rangeValue:0~65535,name:Commands,remarks:,"
        "command:Reset=1;Save=2;Factory=0x5AA5,save:Save,danger:Factory\n"
        "indexes:0x0040,permission:R,defaultValue:0x2304,rangeValue:0~65535,name:Model,remarks:,role:identity\n";
    Simulator simulator(map, {"--address", "1-3", "--set", "2:0x0040=0x2305", "--alarm", "3:2"});
    QVERIFY(simulator.openPort());
    QCOMPARE(simulator.exchange(frame(1, "0300400001"), 7).toHex(), frame(1, "03022304").toHex());
    QCOMPARE(simulator.exchange(frame(2, "0300400001"), 7).toHex(), frame(2, "03022305").toHex());
    QCOMPARE(simulator.exchange(frame(3, "0300000002"), 9).toHex(), frame(3, "030400050002").toHex());
    QCOMPARE(simulator.exchange(frame(1, "0300000002"), 9).toHex(), frame(1, "030400010000").toHex());
    QVERIFY(simulator.silenceAfter(frame(4, "0300000001")).isEmpty());

    const QByteArray reset = frame(3, "0600200001");
    QCOMPARE(simulator.exchange(reset, reset.size()).toHex(), reset.toHex());
    QCOMPARE(simulator.exchange(frame(3, "0300000002"), 9).toHex(), frame(3, "030400010000").toHex());
    const QByteArray write = frame(1, "06001000c8");
    QCOMPARE(simulator.exchange(write, write.size()).toHex(), write.toHex());
    QCOMPARE(simulator.exchange(frame(2, "0300100001"), 7).toHex(), frame(2, "03020bb8").toHex());
    const QByteArray factory = frame(1, "0600205aa5");
    QCOMPARE(simulator.exchange(factory, factory.size()).toHex(), factory.toHex());
    QCOMPARE(simulator.exchange(frame(1, "0300100001"), 7).toHex(), frame(1, "03020bb8").toHex());

    QCOMPARE(simulator.stop(), 0);
    for (const char *line : {"simdriver: slave 3 alarm 2\n", "simdriver: slave 3 command Reset\n",
                             "simdriver: slave 3 alarm 0\n", "simdriver: slave 1 write 0x0010 <- 200\n",
                             "simdriver: slave 1 command Factory\n", "simdriver: ignored request for slave 4\n"})
        QVERIFY2(simulator.log.contains(line), simulator.log.constData());
}

// A 32-bit register holds its value in its word order over two registers;
// a function-16 write of both shows in the log as one write with the value,
// and a write of one half is pointed out.
void TestSimDriver::keepsThirtyTwoBitValuesInTwoRegisters()
{
    Simulator simulator("slaveAddress:1,wordOrder:lh\n"
                        "indexes:0x40,permission:RW,defaultValue:0xFFFFFB50,rangeValue:0~1,name:Position,"
                        "remarks:,type:s32,wordOrder:hl\n"
                        "indexes:0x50,permission:RW,defaultValue:0x00012345,rangeValue:0~1,name:Count,remarks:,"
                        "type:u32\n"
                        "indexes:0x52,permission:R,defaultValue:7,rangeValue:0~9,remarks:x,enum:0=no name\n");
    QVERIFY(simulator.openPort());
    QCOMPARE(simulator.exchange(frame(1, "0300400002"), 9).toHex(), frame(1, "0304 fffffb50").toHex());
    QCOMPARE(simulator.exchange(frame(1, "0300500002"), 9).toHex(), frame(1, "0304 23450001").toHex());
    // A state named "name" names no register.
    QCOMPARE(simulator.exchange(frame(1, "0300520001"), 5).toHex(), frame(1, "8302").toHex());

    const QByteArray write = frame(1, "1000400002 04 000004b0");
    QCOMPARE(simulator.exchange(write, 8).toHex(), frame(1, "1000400002").toHex());
    QCOMPARE(simulator.exchange(frame(1, "0300400002"), 9).toHex(), frame(1, "0304 000004b0").toHex());
    const QByteArray half = frame(1, "0600510000");
    QCOMPARE(simulator.exchange(half, 8).toHex(), half.toHex());

    QCOMPARE(simulator.stop(), 0);
    const QByteArray &log = simulator.log;
    QCOMPARE(log.count("simdriver: write multiple"), 1);
    QVERIFY2(log.contains("simdriver: write multiple 0x0040 x2\n"), log.constData());
    QVERIFY2(log.contains("simdriver: 32-bit 0x0040 <- 1200\n"), log.constData());
    QCOMPARE(log.count("half of 32-bit"), 1);
    QVERIFY2(log.contains("simdriver: half of 32-bit 0x0050 written\n"), log.constData());
}

void TestSimDriver::silentNeverAnswers()
{
    Simulator simulator(kMap, {QStringLiteral("--silent")});
    QVERIFY(simulator.openPort());
    QCOMPARE(simulator.silenceAfter(frame(1, "0300100001")).toHex(), QByteArray());
    QCOMPARE(simulator.stop(), 0);
    // The request did arrive: the silence is the option's doing.
    QVERIFY2(simulator.log.contains("silent, no reply to function 3 address 0x0010"), simulator.log.constData());
}

void TestSimDriver::answersOnlyItsOwnAddress_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("own");
    QTest::addColumn<int>("other");
    QTest::newRow("--address over the map's") << QByteArray("slaveAddress:1") << QStringList{"--address", "5"} << 5 << 1;
    QTest::newRow("the map's slaveAddress") << QByteArray("txTime:5,slaveAddress:7") << QStringList() << 7 << 1;
    QTest::newRow("1 when the map has none") << QByteArray("txTime:100") << QStringList() << 1 << 2;
}

// Each ignored request is followed by one for this slave, which must not be
// swallowed as the other slave's reply.
void TestSimDriver::answersOnlyItsOwnAddress()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, options);
    QFETCH(int, own);
    QFETCH(int, other);
    Simulator simulator(settings + "\nindexes:10,permission:R,defaultValue:2A,rangeValue:0~1,name:N,remarks:\n",
                        options);
    QVERIFY(simulator.openPort());
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(simulator.silenceAfter(frame(other, "0300100001")).toHex(), QByteArray());
        QCOMPARE(simulator.exchange(frame(own, "0300100001"), 7).toHex(), frame(own, "030200 2a").toHex());
    }
}

void TestSimDriver::delayHoldsTheReply()
{
    Simulator simulator(kMap, {QStringLiteral("--delay"), QStringLiteral("600")});
    QVERIFY(simulator.openPort());
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(simulator.exchange(frame(1, "0300100001"), 7).toHex(), frame(1, "0302 0064").toHex());
    QVERIFY2(timer.elapsed() >= 550, qPrintable(QString::number(timer.elapsed())));
}

static QByteArray withBrokenCrc(QByteArray reply)
{
    reply[reply.size() - 1] = char(reply.back() ^ 0xFF);
    return reply;
}

void TestSimDriver::faultOptionsChangeEveryReply_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray read = frame(1, "0300100001");
    const QByteArray write = frame(1, "0600100007");
    QTest::newRow("exception for a read") << QStringList{"--exception", "4"} << read << frame(1, "8304");
    QTest::newRow("exception for a write") << QStringList{"--exception", "6"} << write << frame(1, "8606");
    QTest::newRow("exception over a valid address") << QStringList{"--exception", "2"}
                                                    << frame(1, "0300110001") << frame(1, "8302");
    QTest::newRow("foreign slave") << QStringList{"--reply-address", "9"} << read << frame(9, "0302 0064");
    QTest::newRow("broken CRC") << QStringList{"--bad-crc"} << read << withBrokenCrc(frame(1, "0302 0064"));
    QTest::newRow("broken CRC on a write echo") << QStringList{"--bad-crc"} << write << withBrokenCrc(write);
    QTest::newRow("refused function 16") << QStringList{"--refuse-function", "16"}
                                         << frame(1, "1000100001 02 0007") << frame(1, "9001");
    QTest::newRow("refused function 16, reads answered") << QStringList{"--refuse-function", "16"} << read
                                                         << frame(1, "0302 0064");
    QTest::newRow("foreign slave and broken CRC") << QStringList{"--reply-address", "0", "--bad-crc"} << read
                                                  << withBrokenCrc(frame(0, "0302 0064"));
}

void TestSimDriver::faultOptionsChangeEveryReply()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    Simulator simulator(kMap, options);
    QVERIFY(simulator.openPort());
    for (int round = 0; round < 2; ++round)
        QCOMPARE(simulator.exchange(request, reply.size()).toHex(' '), reply.toHex(' '));
}

// Seven bytes 40 ms apart cannot arrive in less than 240 ms.
void TestSimDriver::byteGapSpreadsTheReply()
{
    Simulator simulator(kMap, {QStringLiteral("--byte-gap"), QStringLiteral("40")});
    QVERIFY(simulator.openPort());
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(simulator.exchange(frame(1, "0300100001"), 7).toHex(), frame(1, "0302 0064").toHex());
    QVERIFY2(timer.elapsed() >= 230, qPrintable(QString::number(timer.elapsed())));
}

// A map of 125 consecutive registers at 0x0100, each holding its index x 3.
static QByteArray blockMap()
{
    QByteArray map = "slaveAddress:1\n";
    for (int i = 0; i < 125; ++i)
        map += QByteArray("indexes:") + QByteArray::number(0x100 + i, 16) + ",permission:R,defaultValue:"
            + QByteArray::number(3 * i, 16) + ",rangeValue:0~1,name:R" + QByteArray::number(i) + ",remarks:\n";
    return map;
}

// Ten bits a byte: a read request is 8 bytes, its reply 5 + 2 per register.
static double lineMs(int baud, int registers)
{
    return (8 + 5 + 2 * registers) * 10 * 1000.0 / baud;
}

void TestSimDriver::paceKeepsTheLinesTime_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("registers");
    QTest::addColumn<double>("expectedMs"); // within 20 %; 0: as fast as the pty goes
    QTest::newRow("not paced") << QStringList() << 10 << 0.0;
    QTest::newRow("9600, 10 registers") << QStringList{"--pace"} << 10 << lineMs(9600, 10) + 1;
    QTest::newRow("9600, 125 registers") << QStringList{"--pace"} << 125 << lineMs(9600, 125) + 1;
    QTest::newRow("19200, turnaround 20") << QStringList{"--pace", "--baud", "19200", "--turnaround", "20"} << 10
                                          << lineMs(19200, 10) + 20;
    QTest::newRow("delay adds to the turnaround") << QStringList{"--pace", "--delay", "30"} << 10
                                                  << lineMs(9600, 10) + 1 + 30;
    QTest::newRow("byte gap is silence between bytes") << QStringList{"--pace", "--byte-gap", "2"} << 10
                                                       << lineMs(9600, 10) + 1 + 24 * 2;
}

// From the written request to the reply's last byte, median of five reads.
void TestSimDriver::paceKeepsTheLinesTime()
{
    QFETCH(QStringList, options);
    QFETCH(int, registers);
    QFETCH(double, expectedMs);
    Simulator simulator(blockMap(), options);
    QVERIFY(simulator.openPort());
    QByteArray values;
    for (int i = 0; i < registers; ++i)
        values += char((3 * i) >> 8) + QByteArray(1, char(3 * i));
    const QByteArray expected = frame(1, QByteArray("03" + QByteArray(1, char(2 * registers)).toHex() + values.toHex()));
    const QByteArray request = frame(1, QByteArray("030100" + QByteArray::number(registers, 16).rightJustified(4, '0')));
    QVector<double> elapsedMs;
    for (int round = 0; round < 5; ++round) {
        simulator.port.write(request);
        simulator.port.waitForBytesWritten(kReplyWaitMs);
        QElapsedTimer timer;
        timer.start();
        QByteArray reply;
        while (reply.size() < expected.size() && simulator.port.waitForReadyRead(kReplyWaitMs))
            reply += simulator.port.readAll();
        elapsedMs << timer.nsecsElapsed() / 1e6;
        QCOMPARE(reply.toHex(' '), expected.toHex(' '));
    }
    std::sort(elapsedMs.begin(), elapsedMs.end());
    const double median = elapsedMs[2];
    const QByteArray figures = QByteArray::number(median) + " ms, expected " + QByteArray::number(expectedMs);
    if (expectedMs == 0)
        QVERIFY2(median < 10, figures.constData());
    else
        QVERIFY2(qAbs(median - expectedMs) <= 0.2 * expectedMs, figures.constData());
}

// The master pauses 30 ms, then 120 ms, after a reply is complete: the
// simulator logs a silence at least that long before each later request
// (none before the first), and the shortest and median of the two at the end.
void TestSimDriver::logsTheSilenceBeforeEachRequest()
{
    Simulator simulator(kMap, {"--pace", "--baud", "115200", "--log-silence"});
    QVERIFY(simulator.openPort());
    const QByteArray read = frame(1, "0300100001");
    QCOMPARE(simulator.exchange(read, 7).size(), 7);
    for (const int pauseMs : {30, 120}) {
        QThread::msleep(pauseMs);
        QCOMPARE(simulator.exchange(read, 7).size(), 7);
    }
    QCOMPARE(simulator.stop(), 0);
    const QRegularExpression silence(QStringLiteral("silence ([0-9.]+) ms before request (\\d+)"));
    QVector<double> silencesMs;
    for (auto match = silence.globalMatch(QString::fromUtf8(simulator.log)); match.hasNext();) {
        const QRegularExpressionMatch one = match.next();
        QCOMPARE(one.captured(2).toInt(), silencesMs.size() + 2);
        silencesMs << one.captured(1).toDouble();
    }
    QCOMPARE(silencesMs.size(), 2);
    QVERIFY2(silencesMs[0] >= 30 && silencesMs[0] < 100, simulator.log.constData());
    QVERIFY2(silencesMs[1] >= 120 && silencesMs[1] < 190, simulator.log.constData());
    const QRegularExpressionMatch summary =
        QRegularExpression(QStringLiteral("silence before 2 requests: shortest ([0-9.]+) ms, median ([0-9.]+) ms"))
            .match(QString::fromUtf8(simulator.log));
    QVERIFY2(summary.hasMatch(), simulator.log.constData());
    QVERIFY(qAbs(summary.captured(1).toDouble() - silencesMs[0]) < 0.002);
    QVERIFY(qAbs(summary.captured(2).toDouble() - (silencesMs[0] + silencesMs[1]) / 2) < 0.002);
}

void TestSimDriver::recoversFromABrokenFrameAndAReopenedPort()
{
    Simulator simulator(kMap);
    QVERIFY(simulator.openPort());
    const QByteArray read = frame(1, "0300100001");
    QByteArray broken = read;
    broken[broken.size() - 1] = char(broken.back() ^ 0x01);
    QCOMPARE(simulator.silenceAfter(broken).toHex(), QByteArray());
    QCOMPARE(simulator.exchange(read, 7).toHex(), frame(1, "0302 0064").toHex());

    // Closed for a while, as the tool does between sessions.
    simulator.port.close();
    QTest::qWait(500);
    QVERIFY(simulator.port.open(QIODevice::ReadWrite));
    QCOMPARE(simulator.exchange(read, 7).toHex(), frame(1, "0302 0064").toHex());

    QCOMPARE(simulator.stop(), 0);
    QVERIFY2(simulator.log.contains("receive failed: Invalid CRC"), simulator.log.constData());
    QVERIFY2(!simulator.log.contains("hung up"), simulator.log.constData());
}

void TestSimDriver::stopsCleanlyOnSignals_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestSimDriver::stopsCleanlyOnSignals()
{
    QFETCH(int, signal);
    Simulator simulator(kMap);
    QVERIFY(simulator.openPort());
    QCOMPARE(simulator.stop(signal), 0);
}

void TestSimDriver::badInvocations_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("message");
    const QByteArray usual = "slaveAddress:1";
    QTest::newRow("unknown option") << usual << QStringList{"--bogus"} << 2 << QByteArray("Usage: simdriver");
    QTest::newRow("stray argument") << usual << QStringList{"RegisterInfo"} << 2 << QByteArray("Usage: simdriver");
    QTest::newRow("address 0") << usual << QStringList{"--address", "0"} << 2 << QByteArray("--address");
    QTest::newRow("address 248") << usual << QStringList{"--address", "248"} << 2 << QByteArray("--address");
    QTest::newRow("negative delay") << usual << QStringList{"--delay", "-1"} << 2 << QByteArray("--delay");
    QTest::newRow("exception 0") << usual << QStringList{"--exception", "0"} << 2 << QByteArray("--exception");
    QTest::newRow("reply address 256") << usual << QStringList{"--reply-address", "256"} << 2
                                       << QByteArray("--reply-address");
    QTest::newRow("turnaround -1") << usual << QStringList{"--pace", "--turnaround", "-1"} << 2
                                   << QByteArray("--turnaround");
    QTest::newRow("byte gap 0") << usual << QStringList{"--byte-gap", "0"} << 2 << QByteArray("--byte-gap");
    QTest::newRow("baud not a number") << usual << QStringList{"--baud", "fast"} << 2 << QByteArray("--baud");
    QTest::newRow("address range backwards") << usual << QStringList{"--address", "3-1"} << 2
                                             << QByteArray("--address");
    QTest::newRow("preset of no register") << usual << QStringList{"--set", "0x0040=1"} << 1
                                           << QByteArray("no such driver or register");
    QTest::newRow("alarm on no driver") << usual << QStringList{"--address", "1,2", "--alarm", "5:2"} << 1
                                        << QByteArray("no such driver");
    QTest::newRow("missing map") << usual << QStringList{"--map", "nothing-here"} << 1
                                 << QByteArray("cannot read the register map nothing-here");
    QTest::newRow("map's address not a slave's") << QByteArray("slaveAddress:300") << QStringList() << 1
                                                 << QByteArray("slaveAddress '300'");
    QTest::newRow("missing device") << usual << QStringList{"--device", "/nonexistent/tty"} << 1
                                    << QByteArray("cannot open /nonexistent/tty");
    QTest::newRow("tcp and a device") << usual << QStringList{"--tcp", "0", "--device", "/dev/null"} << 1
                                      << QByteArray("--device is for a serial line");
    QTest::newRow("both framings") << usual << QStringList{"--tcp", "0", "--rtu-over-tcp", "0"} << 1
                                   << QByteArray("exclude each other");
    QTest::newRow("port 65536") << usual << QStringList{"--rtu-over-tcp", "65536"} << 1
                                << QByteArray("bad port '65536'");
    QTest::newRow("port -1") << usual << QStringList{"--tcp", "-1"} << 1 << QByteArray("bad port '-1'");
    QTest::newRow("bad CRC over Modbus TCP") << usual << QStringList{"--tcp", "0", "--bad-crc"} << 1
                                             << QByteArray("--bad-crc needs a CRC");
    QTest::newRow("wrong transaction over RTU") << usual << QStringList{"--rtu-over-tcp", "0", "--wrong-transaction"}
                                                << 1 << QByteArray("--wrong-transaction needs --tcp");
    QTest::newRow("wrong transaction on a line") << usual << QStringList{"--wrong-transaction"} << 1
                                                 << QByteArray("--wrong-transaction needs --tcp");
    QTest::newRow("reset on a line") << usual << QStringList{"--reset-after", "1"} << 1
                                     << QByteArray("need --tcp or --rtu-over-tcp");
    QTest::newRow("pace over TCP") << usual << QStringList{"--tcp", "0", "--pace"} << 1
                                   << QByteArray("--pace keeps a serial line's time");
}

void TestSimDriver::badInvocations()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, message);
    Simulator simulator(settings + '\n', options);
    QVERIFY(simulator.process.waitForFinished(kReplyWaitMs));
    QCOMPARE(simulator.process.exitCode(), exitCode);
    QCOMPARE(simulator.process.readAllStandardOutput(), QByteArray());
    const QByteArray errors = simulator.process.readAllStandardError();
    QVERIFY2(errors.contains(message), errors.constData());
}

// mbpoll reads and writes; the unit id picks the driver; the transaction id
// is echoed, or the one after with --wrong-transaction, which mbpoll refuses;
// --reset-after resets the connection once, and the next one is served;
// --accept-silent takes the connection and never answers.
void TestSimDriver::servesModbusTcp()
{
    QVERIFY2(!QStandardPaths::findExecutable("mbpoll").isEmpty(), "mbpoll is missing: scripts/test.sh installs it");
    Simulator simulator(kMap, {"--tcp", "0", "--address", "1,2"});
    const int port = simulator.tcpPort();
    QVERIFY(port > 0);
    QCOMPARE(valuesRead(mbpoll(port, 1, 0x10, {}, 2)), (QList<int>{100, 50}));
    QVERIFY(mbpoll(port, 2, 0x10, {"200"}).contains("Written 1 references"));
    QCOMPARE(valuesRead(mbpoll(port, 2, 0x10)), QList<int>{200});
    QCOMPARE(valuesRead(mbpoll(port, 1, 0x10)), QList<int>{100});
    TcpClient client;
    QVERIFY(client.connectTo(port));
    QCOMPARE(client.exchange(mbap(0x1234, 2, "03 0010 0001"), 11).toHex(' '),
             mbap(0x1234, 2, "03 02 00c8").toHex(' '));
    QCOMPARE(client.exchange(mbap(7, 1, "03 0099 0001"), 9).toHex(' '), mbap(7, 1, "83 02").toHex(' '));
    QCOMPARE(client.exchange(mbap(8, 9, "03 0010 0001"), 256, kSilenceMs).toHex(' '), QByteArray());
    QCOMPARE(simulator.stop(), 0);
    QVERIFY2(simulator.log.contains("(Modbus TCP)\n"), simulator.log.constData());
    QVERIFY2(simulator.log.contains("simdriver: connection from 127.0.0.1:"), simulator.log.constData());
    QCOMPARE(simulator.log.count("simdriver: connection closed\n"), 4);
    QVERIFY2(simulator.log.contains("simdriver: slave 2 write 0x0010 <- 200\n"), simulator.log.constData());
    QVERIFY2(simulator.log.contains("simdriver: ignored request for slave 9\n"), simulator.log.constData());

    Simulator wrongIds(kMap, {"--tcp", "0", "--wrong-transaction"});
    const int wrongPort = wrongIds.tcpPort();
    TcpClient asker;
    QVERIFY(asker.connectTo(wrongPort));
    QCOMPARE(asker.exchange(mbap(0x1234, 1, "03 0010 0001"), 11).toHex(' '), mbap(0x1235, 1, "03 02 0064").toHex(' '));
    QCOMPARE(valuesRead(mbpoll(wrongPort, 1, 0x10)), QList<int>());
    QCOMPARE(wrongIds.stop(), 0);
    QVERIFY2(wrongIds.log.contains("simdriver: transaction 4660 answered as 4661\n"), wrongIds.log.constData());

    Simulator resetting(kMap, {"--tcp", "0", "--reset-after", "1"});
    const int resetPort = resetting.tcpPort();
    TcpClient first;
    QVERIFY(first.connectTo(resetPort));
    QCOMPARE(first.exchange(mbap(1, 1, "06 0010 0007"), 12).toHex(' '), mbap(1, 1, "06 0010 0007").toHex(' '));
    QCOMPARE(first.exchange(mbap(2, 1, "03 0010 0001")), QByteArray());
    QCOMPARE(first.readError, ECONNRESET);
    QCOMPARE(valuesRead(mbpoll(resetPort, 1, 0x10)), QList<int>{7});
    QCOMPARE(resetting.stop(), 0);
    QVERIFY2(resetting.log.contains("simdriver: connection reset after 1 replies\n"), resetting.log.constData());

    Simulator halfOpen(kMap, {"--tcp", "0", "--accept-silent"});
    TcpClient ignored;
    QVERIFY(ignored.connectTo(halfOpen.tcpPort()));
    QCOMPARE(ignored.exchange(mbap(1, 1, "03 0010 0001"), 256, kSilenceMs).toHex(' '), QByteArray());
    QCOMPARE(ignored.readError, 0);
    QCOMPARE(halfOpen.stop(), 0);
    QVERIFY2(halfOpen.log.contains("simdriver: connection from 127.0.0.1:"), halfOpen.log.constData());
    QVERIFY2(!halfOpen.log.contains("read 0x0010"), halfOpen.log.constData());
}

// RTU frames over TCP are judged as on the line: the address picks the
// driver, a broken CRC or another slave's request gets no reply, --bad-crc
// spoils the reply; --reset-after resets once, the registers outlive it.
void TestSimDriver::servesRtuOverTcp()
{
    Simulator simulator(kMap, {"--rtu-over-tcp", "0", "--address", "1,2", "--reset-after", "3"});
    const int port = simulator.tcpPort();
    QVERIFY(port > 0);
    TcpClient client;
    QVERIFY(client.connectTo(port));
    QCOMPARE(client.exchange(frame(1, "0300100002"), 9).toHex(' '), frame(1, "0304 0064 0032").toHex(' '));
    const QByteArray write = frame(2, "060010 00c8");
    QCOMPARE(client.exchange(write, write.size()).toHex(' '), write.toHex(' '));
    QByteArray broken = frame(2, "0300100001");
    broken[broken.size() - 1] = char(broken.back() ^ 0x01);
    QCOMPARE(client.exchange(broken, 256, kSilenceMs).toHex(' '), QByteArray());
    QCOMPARE(client.exchange(frame(9, "0300100001"), 256, kSilenceMs).toHex(' '), QByteArray());
    QCOMPARE(client.exchange(frame(2, "0300100001"), 7).toHex(' '), frame(2, "0302 00c8").toHex(' '));
    QCOMPARE(client.exchange(frame(2, "0300100001")), QByteArray());
    QCOMPARE(client.readError, ECONNRESET);
    TcpClient next;
    QVERIFY(next.connectTo(port));
    QCOMPARE(next.exchange(frame(2, "0300100001"), 7).toHex(' '), frame(2, "0302 00c8").toHex(' '));
    QCOMPARE(simulator.stop(), 0);
    QVERIFY2(simulator.log.contains("(RTU over TCP)\n"), simulator.log.constData());
    QVERIFY2(simulator.log.contains("receive failed: Invalid CRC"), simulator.log.constData());
    QVERIFY2(simulator.log.contains("simdriver: ignored request for slave 9\n"), simulator.log.constData());
    QVERIFY2(simulator.log.contains("simdriver: connection reset after 3 replies\n"), simulator.log.constData());

    Simulator badCrc(kMap, {"--rtu-over-tcp", "0", "--bad-crc"});
    TcpClient asker;
    QVERIFY(asker.connectTo(badCrc.tcpPort()));
    QByteArray spoilt = frame(1, "0302 0064");
    spoilt[spoilt.size() - 1] = char(spoilt.back() ^ 0xFF);
    QCOMPARE(asker.exchange(frame(1, "0300100001"), 7).toHex(' '), spoilt.toHex(' '));
}

QTEST_GUILESS_MAIN(TestSimDriver)
#include "tst_simdriver.moc"

// The tool behind a gateway: every batch run and the window over Modbus TCP
// and RTU over TCP, against the simulated driver and against pymodbus's
// server, with mbpoll as a second master. Only 127.0.0.1 is ever used.
#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>

#include "serial/serial.h"
#include "support/logview.h"
#include "support/simulator.h"
#include "support/toasts.h"
#include "support/toolprocess.h"
#include "support/workfolder.h"
#include "ui/mainwindow.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QByteArray sampleMap()
{
    QFile file(QStringLiteral(SAMPLE_MAP));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int writesIn(const QString &log)
{
    return log.count(QStringLiteral(" write "));
}

QString undoPathIn(const QString &out)
{
    return QRegularExpression(QStringLiteral("undo with --restore (\\S+)")).match(out).captured(1);
}

// What a second master reads from a Modbus TCP server: one register.
QString mbpollRead(const QString &address, int registerAddress)
{
    const QString endpoint = address.section(QLatin1Char(':'), 0, 0);
    const QString port = address.section(QLatin1Char(':'), 1);
    QProcess mbpoll;
    mbpoll.start(QStringLiteral("mbpoll"), {"-m", "tcp", "-a", "1", "-r", QString::number(registerAddress), "-c", "1",
                                            "-0", "-1", "-p", port, endpoint});
    if (!mbpoll.waitForFinished(15000))
        return QString();
    const QString out = QString::fromUtf8(mbpoll.readAllStandardOutput());
    return QRegularExpression(QStringLiteral("\\[%1\\]:\\s+(-?\\d+)").arg(registerAddress)).match(out).captured(1);
}

// A Python peer of ours on a free port of 127.0.0.1, which prints its
// address first: pymodbus's own Modbus TCP server
// (tests/support/pymodbus_tcp_server.py), or tests/support/tcpfaultproxy.py
// before a Modbus TCP server.
class PythonPeer
{
public:
    ~PythonPeer()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    bool start(const char *script, const QStringList &arguments = {})
    {
        process.start(QStringLiteral("/usr/bin/python3"), QStringList{QString::fromUtf8(script)} + arguments);
        if (!process.waitForReadyRead(15000))
            return false;
        address = QString::fromUtf8(process.readLine()).trimmed();
        return address.startsWith(QStringLiteral("127.0.0.1:"));
    }
    QString log()
    {
        stderrText += QString::fromUtf8(process.readAllStandardError());
        return stderrText;
    }
    QString address;

private:
    QProcess process;
    QString stderrText;
};

// A backup's register lines, its comments aside.
QStringList savedLines(const QString &path)
{
    QFile file(path);
    QStringList lines;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
                lines << line;
        }
    }
    return lines;
}

bool toastSays(const QString &text)
{
    for (QFrame *frame : toastFrames()) {
        if (toastText(frame).contains(text))
            return true;
    }
    return false;
}

QString valueAt(QTableWidget *table, const QString &address)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, 0) && table->item(row, 0)->text() == address)
            return table->item(row, 1) ? table->item(row, 1)->text() : QString();
    }
    return QString();
}

} // namespace

class TestNetwork : public QObject
{
    Q_OBJECT

private slots:
    void batchRunsOverBothFramings_data();
    void batchRunsOverBothFramings();
    void networkFaultsEndRunsSoundly();
    void gatewayRepeatsAreNotTakenForTheNextReply();
    void transactionIdsDecideWhatARepliesAnswers();
    void ctrlCEndsTheWaitForAHostThatDoesNotAnswer();
    void batchRunsAgainstPymodbus();
    void windowWorksOverTheNetworkAndNamesALostHost();
};

void TestNetwork::batchRunsOverBothFramings_data()
{
    QTest::addColumn<QString>("toolOption");
    QTest::addColumn<QString>("simulatorOption");
    QTest::newRow("Modbus TCP") << "--tcp" << "--tcp";
    QTest::newRow("RTU over TCP") << "--rtu-over-tcp" << "--rtu-over-tcp";
}

// Backup, compare, restore and undo of the typed sample map, 32-bit and
// scaled rows included; an exception is named, and what reached the driver
// is read from its own log and, over Modbus TCP, by a second master.
void TestNetwork::batchRunsOverBothFramings()
{
    QFETCH(QString, toolOption);
    QFETCH(QString, simulatorOption);
    WorkFolder work(sampleMap());
    const QString map = work.path() + QStringLiteral("/RegisterInfo");
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    Simulator source;
    QVERIFY(source.start(map, {simulatorOption, "0", "--set", "0x0010=2000", "--set", "0x0013=1500", "--set",
                               "0x0018=0xFFFF", "--set", "0x0019=0xFFFE"}));
    ToolRun run = runTool(work.path(), {toolOption, source.devicePath(), "--backup", saved});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));

    Simulator driver;
    QVERIFY(driver.start(map, {simulatorOption, "0", "--refuse-write", "0x0013"}));
    run = runTool(work.path(), {toolOption, driver.devicePath(), "--restore", saved});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.out.contains(QStringLiteral("0x0013\tFAILED\t1500 rpm\tModbus exception 03: illegal data value"))
                 && run.out.contains(QStringLiteral("0x0018\twritten\t-2"))
                 && run.out.contains(QStringLiteral("restore: 2 of 3 registers written and confirmed")),
             qPrintable(run.out));
    const QString undo = undoPathIn(run.out);
    QTRY_VERIFY(driver.log().contains(QStringLiteral("write 0x0010 <- 2000")));
    QVERIFY(driver.log().contains(QStringLiteral("write 0x0019 <- 65534")));
    if (toolOption == QLatin1String("--tcp"))
        QCOMPARE(mbpollRead(driver.devicePath(), 0x10), QStringLiteral("2000"));
    run = runTool(work.path(), {toolOption, driver.devicePath(), "--compare", saved});
    QVERIFY2(run.out.contains(QStringLiteral("compare: 24 registers, 1 differs")), qPrintable(run.out));

    run = runTool(work.path(), {toolOption, driver.devicePath(), "--restore", undo});
    QVERIFY2(run.status == 0 && run.out.contains(QStringLiteral("restore: 2 of 2 registers written and confirmed")),
             qPrintable(run.out + run.err));
    QTRY_VERIFY(driver.log().contains(QStringLiteral("write 0x0010 <- 3000")));
    run = runTool(work.path(), {toolOption, driver.devicePath(), "--compare", undo});
    QVERIFY2(run.status == 0 && run.out.contains(QStringLiteral("compare: 24 registers, 0 differ")), qPrintable(run.out));
}

// A reset in the middle of a restore, a server that answers another
// transaction, one whose reply does not fit its transaction's request, one
// that accepts and never answers, and a port where nothing listens: each
// ends with exit 2 or 3 and says what became of every write, and nothing
// from a foreign transaction is stored.
void TestNetwork::networkFaultsEndRunsSoundly()
{
    WorkFolder work(sampleMap());
    const QString map = work.path() + QStringLiteral("/RegisterInfo");
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    Simulator source;
    QVERIFY(source.start(map, {"--tcp", "0", "--set", "0x0010=2000", "--set", "0x0013=1500"}));
    QCOMPARE(runTool(work.path(), {"--tcp", source.devicePath(), "--backup", saved}).status, 0);

    // 24 reads (the first twice), the first write's echo, then a reset on
    // its read-back.
    Simulator resetting;
    QVERIFY(resetting.start(map, {"--tcp", "0", "--reset-after", "26"}));
    ToolRun run = runTool(work.path(), {"--tcp", resetting.devicePath(), "--restore", saved});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.out.contains(QStringLiteral("restore: 0 of 2 registers written and confirmed; the line was lost; "
                                             "unconfirmed, may have been applied: 0x0010"))
                 && run.out.contains(QStringLiteral("not written: 0x0013")),
             qPrintable(run.out));
    QVERIFY2(run.err.contains(QStringLiteral("the line to %1 failed").arg(resetting.devicePath())), qPrintable(run.err));
    QTRY_VERIFY(resetting.log().contains(QStringLiteral("connection reset after 26 replies")));
    QCOMPARE(writesIn(resetting.log()), 1);

    // Two rows and a short wait keep the timeouts short.
    const QString small = work.path() + QStringLiteral("/small.map");
    QFile smallMap(small);
    QVERIFY(smallMap.open(QIODevice::WriteOnly));
    smallMap.write("slaveAddress:1,txTime:20,rxOutTime:200\n"
                   "indexes:0x0010,permission:RW,defaultValue:0x0000,rangeValue:1~6000,name:Run current,remarks:\n"
                   "indexes:0x0011,permission:RW,defaultValue:0x0000,rangeValue:1~100,name:Hold current,remarks:\n"
                   "indexes:0x0018,permission:RW,defaultValue:0x0,rangeValue:-100~100,name:Position,remarks:,type:s32\n");
    smallMap.close();
    const QString lost = work.path() + QStringLiteral("/lost.csv");
    Simulator foreign;
    QVERIFY(foreign.start(map, {"--tcp", "0", "--wrong-transaction"}));
    run = runTool(work.path(), {"--tcp", foreign.devicePath(), "--map", small, "--backup", lost});
    QCOMPARE(run.status, 2);
    QVERIFY(!QFile::exists(lost));
    // One register where two were asked, under the right transaction: a
    // gateway's serial line may be handing replies to the wrong requests,
    // so the two that fitted may be shifted too.
    Simulator shortening;
    QVERIFY(shortening.start(map, {"--tcp", "0", "--short-read"}));
    run = runTool(work.path(), {"--tcp", shortening.devicePath(), "--map", small, "--backup", lost});
    QVERIFY2(run.status == 2 && run.err.contains(QStringLiteral("came that no request asked for")), qPrintable(run.err));
    QVERIFY(!QFile::exists(lost));

    Simulator halfOpen;
    QVERIFY(halfOpen.start(map, {"--tcp", "0", "--accept-silent"}));
    run = runTool(work.path(), {"--tcp", halfOpen.devicePath(), "--map", small, "--backup", lost});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(QStringLiteral("no driver answered at unit id 1 on %1 Modbus TCP").arg(halfOpen.devicePath()))
                 && run.err.contains(QLatin1String("the gateway's baud rate")),
             qPrintable(run.err));
    QVERIFY(!QFile::exists(lost));

    const QString nobody = halfOpen.devicePath();
    halfOpen.kill();
    run = runTool(work.path(), {"--tcp", nobody, "--restore", saved, "--connect-timeout", "2000"});
    QCOMPARE(run.status, 2);
    QCOMPARE(run.err, QStringLiteral("steppertool: cannot open %1: Connection refused\n").arg(nobody));
    for (const QString &address : {QStringLiteral("127.0.0.1:+5"), QStringLiteral("127.0.0.1: 5"),
                                   QStringLiteral("127.0.0.1:70000"), QStringLiteral(":502")})
        QCOMPARE(runTool(work.path(), {"--tcp", address, "--backup", lost}).status, 1);
}

// RTU frames over TCP carry no transaction id: a reply sent twice, or one
// owed from before, must not be taken for the next request's, which would
// shift every value one register on into the backup or the restore.
void TestNetwork::gatewayRepeatsAreNotTakenForTheNextReply()
{
    WorkFolder work(sampleMap());
    const QString map = work.path() + QStringLiteral("/RegisterInfo");
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    Simulator source;
    QVERIFY(source.start(map, {"--rtu-over-tcp", "0", "--set", "0x0010=2000"}));
    QCOMPARE(runTool(work.path(), {"--rtu-over-tcp", source.devicePath(), "--backup", saved}).status, 0);
    const QString shifted = work.path() + QStringLiteral("/shifted.csv");
    // A repeat just after the reply in a backup, a reply owed from before in a restore.
    const QList<QPair<QStringList, QString>> runs = {{{"--repeat-reply", "5"}, QStringLiteral("--backup")},
                                                     {{"--owed-reply", "--delay", "30"}, QStringLiteral("--restore")}};
    for (const auto &[fault, action] : runs) {
        Simulator driver;
        QVERIFY(driver.start(map, QStringList{"--rtu-over-tcp", "0"} + fault));
        const ToolRun run = runTool(work.path(), {"--rtu-over-tcp", driver.devicePath(), action,
                                                  action == QLatin1String("--backup") ? shifted : saved});
        const QString said = fault.join(' ') + action + run.out + run.err;
        QVERIFY2(run.status == 2 && run.err.contains(QStringLiteral("came that no request asked for")),
                 qPrintable(said));
        QVERIFY2(!QFile::exists(shifted) && !QFile::exists(work.path() + QStringLiteral("/shifted.partial.csv")),
                 qPrintable(said));
        QCOMPARE(writesIn(driver.log()), 0);
    }
}

// Over Modbus TCP a late, repeated, split or missing reply is judged by its
// transaction id: what answered is saved with the driver's own values, what
// did not is named unread, and nothing casts doubt on the run. A gateway
// whose driver does not answer says so with exception 0A or 0B: no driver.
void TestNetwork::transactionIdsDecideWhatARepliesAnswers()
{
    QByteArray quick = sampleMap();
    quick.replace("rxOutTime:1000", "rxOutTime:300");
    WorkFolder work(quick);
    const QString map = work.path() + QStringLiteral("/RegisterInfo");
    Simulator driver;
    QVERIFY(driver.start(map, {"--tcp", "0", "--set", "0x0010=2000", "--set", "0x0013=1500"}));
    const QString reference = work.path() + QStringLiteral("/reference.csv");
    QCOMPARE(runTool(work.path(), {"--tcp", driver.devicePath(), "--backup", reference}).status, 0);
    const QStringList driverValues = savedLines(reference);
    QCOMPARE(driverValues.size(), 1 + 24);

    // The proxy's fault, the exit status, the registers left unread (the
    // first register is asked twice: the fourth reply is 0x0002's).
    const QList<std::tuple<QStringList, int, QStringList>> faults = {
        {{"--late", "4:500"}, 3, {"0x0002"}},
        {{"--duplicate", "5"}, 0, {}},
        {{"--split", "100"}, 0, {}},
        // The first request's reply lost: the driver is asked once more.
        {{"--drop", "1"}, 0, {}},
        // A gateway gives up on the slow 0x0010 (0B), and would pass its
        // late reply on as whatever request it awaits next.
        {{"--late", "6:500", "--gateway-timeout", "100"}, 3, {"0x0010"}},
    };
    int faultNumber = 0;
    for (const auto &[fault, status, unread] : faults) {
        PythonPeer proxy;
        QVERIFY(proxy.start(TCP_FAULT_PROXY, QStringList{driver.devicePath()} + fault));
        const QString saved = work.path() + QStringLiteral("/fault%1.csv").arg(++faultNumber);
        const ToolRun run = runTool(work.path(), {"--tcp", proxy.address, "--backup", saved});
        const QString said = fault.join(' ') + QLatin1Char('\n') + run.out + run.err + proxy.log();
        QVERIFY2(run.status == status && !run.err.contains(QStringLiteral("no request asked for")), qPrintable(said));
        const QStringList lines = savedLines(saved);
        QVERIFY2(lines.size() == driverValues.size() - unread.size(), qPrintable(said));
        for (const QString &line : lines)
            QVERIFY2(driverValues.contains(line), qPrintable(line + QLatin1Char('\n') + said));
        for (const QString &address : unread)
            QVERIFY2(run.err.contains(address + QLatin1Char(' ')) && run.err.contains(QStringLiteral(" unread: ")),
                     qPrintable(said));
    }

    // Writes echoed twice and read back twice are confirmed.
    const QString wanted = work.path() + QStringLiteral("/wanted.csv");
    QFile file(wanted);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("address,value\n0x0010,2500\n0x0011,60\n");
    file.close();
    PythonPeer repeating;
    QVERIFY(repeating.start(TCP_FAULT_PROXY, {driver.devicePath(), "--duplicate", "5"}));
    const ToolRun restore = runTool(work.path(), {"--tcp", repeating.address, "--restore", wanted, "--ignore-identity"});
    QVERIFY2(restore.status == 0 && restore.out.contains(QStringLiteral("restore: 2 of 2 registers written and confirmed")),
             qPrintable(restore.out + restore.err));
    QTRY_VERIFY(driver.log().contains(QStringLiteral("write 0x0010 <- 2500")) && driver.log().contains(QStringLiteral("write 0x0011 <- 60")));

    // A reply that comes after its wait still names the unit id that sent
    // it: the scan says whom it may have missed, a backup calls the driver
    // slow, not absent.
    Simulator bus;
    QVERIFY(bus.start(map, {"--tcp", "0", "--address", "1-3"}));
    PythonPeer slowSecond;
    QVERIFY(slowSecond.start(TCP_FAULT_PROXY, {bus.devicePath(), "--late", "2:200"}));
    const ToolRun missed = runTool(work.path(), {"--tcp", slowSecond.address, "--scan", "--addresses", "1-3"});
    QVERIFY2(missed.status == 3 && missed.out.contains(QStringLiteral("2 found"))
                 && missed.err.contains(QStringLiteral("after the scan timeout (the first from unit id 2)")),
             qPrintable(missed.out + missed.err + slowSecond.log()));
    // Late whole, or split with its rest after the wait: the rest is no
    // frame of its own.
    Simulator slow;
    QVERIFY(slow.start(map, {"--tcp", "0", "--delay", "400"}));
    PythonPeer splitLate;
    QVERIFY(splitLate.start(TCP_FAULT_PROXY, {driver.devicePath(), "--split", "700"}));
    for (const QString &target : {slow.devicePath(), splitLate.address}) {
        const ToolRun late = runTool(work.path(), {"--tcp", target, "--backup", work.path() + "/late.csv"});
        QVERIFY2(late.status == 2 && late.err.contains(QStringLiteral("unit id 1 on"))
                     && late.err.contains(QStringLiteral("only after its reply wait"))
                     && !late.err.contains(QStringLiteral("no driver answered")),
                 qPrintable(target + QLatin1Char('\n') + late.err));
    }

    for (const QString &code : {QStringLiteral("10"), QStringLiteral("11")}) {
        Simulator gateway;
        QVERIFY(gateway.start(map, {"--tcp", "0", "--exception", code}));
        const ToolRun backup = runTool(work.path(), {"--tcp", gateway.devicePath(), "--backup", work.path() + "/none.csv"});
        const QString gatewaySaid = code == QLatin1String("10") ? QStringLiteral("gateway path unavailable")
                                                                : QStringLiteral("gateway target device failed to respond");
        QVERIFY2(backup.status == 2 && backup.err.contains(QStringLiteral("no driver answered at unit id 1"))
                     && backup.err.contains(QStringLiteral("(the gateway answered: ")) && backup.err.contains(gatewaySaid),
                 qPrintable(backup.err));
        const ToolRun scan = runTool(work.path(), {"--tcp", gateway.devicePath(), "--scan", "--addresses", "1-2"});
        QVERIFY2(scan.status == 2 && scan.out.contains(QStringLiteral("0 found, 2 unit ids asked")), qPrintable(scan.out));
        const ToolRun command = runTool(work.path(), {"--tcp", gateway.devicePath(), "--command", QStringLiteral("报警清除 Alarm reset")});
        const QString applied = code == QLatin1String("10") ? QStringLiteral("not applied") : QStringLiteral("may have been applied");
        QVERIFY2(command.status == 2 && command.out.contains(applied)
                     && command.out.contains(QStringLiteral("sending 00 01 00 00 00 06 01 06 00 20 00 01 (register 0x0020 <- 1, unit id 1)")),
                 qPrintable(command.out));
    }
}

// A listening socket whose backlog is full takes no more connections: the
// tool's attempt waits for an answer that does not come.
void TestNetwork::ctrlCEndsTheWaitForAHostThatDoesNotAnswer()
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    auto closeAll = qScopeGuard([listener] { ::close(listener); });
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(bind(listener, reinterpret_cast<sockaddr *>(&address), length) == 0 && listen(listener, 0) == 0);
    QVERIFY(getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    QVector<int> fillers;
    for (int i = 0; i < 8; ++i) {
        fillers.append(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(fillers.last(), reinterpret_cast<sockaddr *>(&address), length);
    }
    auto closeFillers = qScopeGuard([&fillers] {
        for (int filler : qAsConst(fillers))
            ::close(filler);
    });
    WorkFolder work(sampleMap());
    const QString host = QStringLiteral("127.0.0.1:%1").arg(ntohs(address.sin_port));
    QProcess process;
    process.setWorkingDirectory(work.path());
    process.start(QStringLiteral(STEPPERTOOL_PATH),
                  {"--tcp", host, "--connect-timeout", "600000", "--backup", work.path() + "/saved.csv"});
    QVERIFY(process.waitForStarted());
    // Long enough to be in the wait, far shorter than it.
    QTest::qWait(1500);
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY2(process.waitForFinished(30000), "Ctrl+C left the tool waiting for the host");
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
             QStringLiteral("steppertool: cannot open %1: interrupted\n").arg(host));
}

// pymodbus's server, a peer we did not write: backup, a change by a second
// master, restore, compare and undo, each checked in the server's own log
// and by mbpoll.
void TestNetwork::batchRunsAgainstPymodbus()
{
    WorkFolder work(sampleMap());
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    PythonPeer server;
    QVERIFY(server.start(PYMODBUS_TCP_SERVER));
    ToolRun run = runTool(work.path(), {"--tcp", server.address, "--backup", saved});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QProcess mbpoll;
    mbpoll.start(QStringLiteral("mbpoll"), {"-m", "tcp", "-a", "1", "-r", "16", "-0", "-1", "-p",
                                            server.address.section(':', 1), "127.0.0.1", "555"});
    QVERIFY(mbpoll.waitForFinished(15000));
    QCOMPARE(mbpollRead(server.address, 16), QStringLiteral("555"));

    run = runTool(work.path(), {"--tcp", server.address, "--restore", saved});
    QVERIFY2(run.status == 0 && run.out.contains(QStringLiteral("restore: 1 of 1 register written and confirmed")),
             qPrintable(run.out + run.err));
    const QString undo = undoPathIn(run.out);
    QTRY_VERIFY(server.log().contains(QStringLiteral("pymodbus: write address 16 value 116")));
    QCOMPARE(mbpollRead(server.address, 16), QStringLiteral("116"));
    run = runTool(work.path(), {"--tcp", server.address, "--compare", saved});
    QVERIFY2(run.out.contains(QStringLiteral("compare: 24 registers, 0 differ")), qPrintable(run.out));

    run = runTool(work.path(), {"--tcp", server.address, "--restore", undo});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QCOMPARE(mbpollRead(server.address, 16), QStringLiteral("555"));
}

// The port panel reaches a driver by host and port, the log shows the MBAP
// header, a driver that goes away ends the session with a notice naming
// the host, and the network line is remembered.
void TestNetwork::windowWorksOverTheNetworkAndNamesALostHost()
{
    WorkFolder work(sampleMap());
    Simulator driver;
    QVERIFY(driver.start(work.path() + QStringLiteral("/RegisterInfo"), {"--tcp", "0", "--set", "0x0010=2000"}));
    const QString address = driver.devicePath();
    {
        MainWindow window;
        window.show();
        auto *kind = window.findChild<QComboBox *>(QStringLiteral("comboBox_lineKind"));
        kind->setCurrentIndex(kind->findText(QStringLiteral("Modbus TCP")));
        QVERIFY(!window.findChild<QComboBox *>(QStringLiteral("comboBox_buad"))->isVisible());
        window.findChild<QLineEdit *>(QStringLiteral("lineEdit_host"))->setText(QStringLiteral("127.0.0.1"));
        window.findChild<QSpinBox *>(QStringLiteral("spinBox_tcpPort"))->setValue(address.section(':', 1).toInt());
        auto *open = window.findChild<QPushButton *>(QStringLiteral("pushButton_open"));
        QTest::mouseClick(open, Qt::LeftButton);
        QVERIFY(Serial::instance()->isOpen());
        auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
        QTRY_COMPARE_WITH_TIMEOUT(valueAt(table, QStringLiteral("0x0010")), QStringLiteral("2000"), 10000);
        bool mbapShown = false;
        for (const LogLine &line : logLines(window))
            mbapShown = mbapShown || line.text.contains(QStringLiteral("Tx(hex):00 01 00 00 00 06 01 03 "));
        QVERIFY(mbapShown);

        driver.kill();
        QTRY_VERIFY_WITH_TIMEOUT(toastSays(QStringLiteral("连接 %1 已断开").arg(address)), 10000);
        QVERIFY(!Serial::instance()->isOpen());
        QCOMPARE(open->text(), QStringLiteral("连接"));
        window.close();
    }
    MainWindow again;
    QCOMPARE(again.findChild<QComboBox *>(QStringLiteral("comboBox_lineKind"))->currentText(), QStringLiteral("Modbus TCP"));
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("lineEdit_host"))->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(again.findChild<QSpinBox *>(QStringLiteral("spinBox_tcpPort"))->value(), address.section(':', 1).toInt());
    QSettings().clear();
}

QTEST_MAIN(TestNetwork)
#include "tst_network.moc"

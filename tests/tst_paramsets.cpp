#include <QtTest>
#include <QRandomGenerator>
#include <QTextCodec>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPort>
#include <QTableWidget>
#include <QTextEdit>

#include "ui/mainwindow.h"
#include "ui/paramsets/comparedialog.h"
#include "paramsets/parametercompare.h"
#include "paramsets/parameterfile.h"
#include "paramsets/parameterrun.h"
#include "registermap/registermap.h"
#include "ui/paramsets/parametersetspanel.h"
#include "protocol/modbusmaster.h"
#include "protocol/requestscheduler.h"
#include "scan/scanrun.h"
#include "serial/serial.h"
#include "support/ptypair.h"
#include "support/refreshwait.h"
#include "support/windowinternals.h"
#include "support/simulator.h"
#include "support/toolprocess.h"
#include "support/workfolder.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// Status and alarm reset must never be written; the rest may.
const QByteArray driverMap(
    "slaveAddress:1,txTime:5,rxOutTime:300\n"
    "indexes:0x0000,permission:R,defaultValue:0x0007,rangeValue:0~65535,name:Status,remarks:\n"
    "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:100~6000,name:Run current,remarks:mA\n"
    "indexes:0x0011,permission:RW,defaultValue:0x0032,rangeValue:10~100,name:Hold current,remarks:\n"
    "indexes:0x0012,permission:RW,defaultValue:0x0010,rangeValue:1~256,name:Microsteps,remarks:\n"
    "indexes:0x0020,permission:W,defaultValue:0x0000,rangeValue:0~1,name:Alarm reset,remarks:\n"
    "indexes:0x0030,permission:RW,defaultValue:0x0001,rangeValue:1~247,name:Slave address,remarks:\n");

using Run = ToolRun;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Every value type, both word orders, a scale, named states and bits.
QByteArray typedMap(const QByteArray &settings)
{
    return "slaveAddress:1,txTime:5,rxOutTime:300," + settings + "\n"
           "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:0~65535,name:Current,remarks:,type:u16\n"
           "indexes:0x0011,permission:RW,defaultValue:0xFFF6,rangeValue:-100~100,name:Offset,remarks:,type:s16\n"
           "indexes:0x0012,permission:RW,defaultValue:0x00012345,rangeValue:0~1000000,name:Count,remarks:,type:u32\n"
           "indexes:0x0014,permission:RW,defaultValue:0xFFFFFB50,rangeValue:-100000~100000,name:Position,remarks:,"
           "type:s32\n"
           "indexes:0x0016,permission:RW,defaultValue:0xFFFFFB50,rangeValue:-100000~200000,name:Target,remarks:,"
           "type:s32,wordOrder:lh\n"
           "indexes:0x0018,permission:RW,defaultValue:0x01E0,rangeValue:0~60.0,name:Bus voltage,remarks:,"
           "scale:0.1,unit:V\n"
           "indexes:0x0019,permission:RW,defaultValue:0x0001,rangeValue:0~2,name:Alarm,remarks:,"
           "enum:0=none;1=overcurrent;2=overvoltage\n"
           "indexes:0x001A,permission:RW,defaultValue:0x0003,rangeValue:0~65535,name:Control,remarks:,"
           "bits:0=enable;1=run;2=brake\n";
}

// A parameter file's register lines, without the comments that name the
// time and the port.
QByteArray dataLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray data;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.startsWith('#') && !line.isEmpty())
            data += line + '\n';
    }
    return data;
}

int writesIn(const QString &log)
{
    return log.count(QStringLiteral("simdriver: write "));
}

// A bus voltage above the map's range (50.4 V), a 32-bit position and a
// command register that the simulator refuses to have read.
const QByteArray guardedMap(
    "slaveAddress:1,txTime:5,rxOutTime:300\n"
    "indexes:0x0002,permission:R,defaultValue:0x01F8,rangeValue:0~50.0,name:Bus voltage,remarks:,scale:0.1,unit:V\n"
    "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:100~6000,name:Run current,remarks:\n"
    "indexes:0x0018,permission:RW,defaultValue:0xFFFFFB50,rangeValue:-100000~100000,name:Position,remarks:,type:s32\n"
    "indexes:0x0020,permission:W,defaultValue:0x0000,rangeValue:0~1,name:Alarm reset,remarks:\n");

// Answers the next question box with `answer` (or the button whose text
// starts with `buttonText`) and keeps its text and its default button's.
struct QuestionAnswer
{
    explicit QuestionAnswer(QMessageBox::StandardButton answer, const QString &buttonText = QString())
    {
        QObject::connect(&poll, &QTimer::timeout, [this, answer, buttonText] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            text = box->text();
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            QAbstractButton *chosen = box->button(answer);
            for (QAbstractButton *button : box->buttons()) {
                if (!buttonText.isEmpty() && button->text().startsWith(buttonText))
                    chosen = button;
            }
            chosen ? chosen->click() : box->reject();
        });
        poll.start(20);
    }

    QTimer poll;
    QString text;
    QString defaultButton;
};

// driverMap with a model, a firmware and a serial number.
const QByteArray identityMap = driverMap
    + "indexes:0x0040,permission:R,defaultValue:0x2304,rangeValue:0~65535,name:型号 Model,remarks:,role:identity\n"
      "indexes:0x0041,permission:R,defaultValue:0x0070,rangeValue:0~655.35,name:固件 Firmware,remarks:,scale:0.01,"
      "role:identity\n"
      "indexes:0x0042,permission:R,defaultValue:0x00013D52,rangeValue:0~4294967295,name:序列号 Serial,remarks:,"
      "type:u32,role:serial\n";

} // namespace

// The parameter sets as a technician uses them: the real command line and
// the real window against tools/simdriver.
class TestParamSets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void backupRestoreUndoAndDryRun();
    void invalidInputWritesNothing();
    void optionGivenTwiceDoesNothing_data();
    void optionGivenTwiceDoesNothing();
    void restoreCutShort();
    void lateAndWrongRepliesLandNowhere();
    void aSavedValueIsNeverAShiftedOne();
    void noWriteAfterALateEcho_data();
    void noWriteAfterALateEcho();
    void compareDialogStatesAndWrites();
    void garbledEchoFailsTheWrite();
    void windowWriteGuardsHold();
    void fileRoutesPassTheGate();
    void repliesLaterThanTwiceTheTimeoutLandNowhere();
    void savedValuesPassTheMapsOwnChecks();
    void progressShowsOnlyOnATerminal();
    void typedRowsBackupAndRestoreWhole();
    void readerOfStdoutGoesAway();
    void slowLineWithPausesInRepliesIsReadWhole();
    void lineEndsAndEmptyFiles();
    void compareTakesEachRowInItsType();
    void restoreWritesOnlyWhatWasAskedFor();
    void dialogAsksBeforeOutOfRangeAndCommands();
    void restoreRefusesAnotherModel();
    void dialogWritesAnotherModelOnlyWhenAsked();

private:
    Run steppertool(const QStringList &arguments);
    bool startSimulator(const QStringList &options = {});
    QStringList backupArguments(const QString &map, const QString &file) const;
    QString simulatorLog();

    QTemporaryDir home;
    WorkFolder *folder = nullptr;
    Simulator *simulator = nullptr;
};

void TestParamSets::initTestCase()
{
    // Undo files go to a throw-away data folder, for the window too.
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
}

void TestParamSets::cleanup()
{
    delete simulator;
    simulator = nullptr;
    folder = nullptr;
}

Run TestParamSets::steppertool(const QStringList &arguments)
{
    return runTool(folder->path(), arguments);
}

bool TestParamSets::startSimulator(const QStringList &options)
{
    delete simulator;
    simulator = new Simulator;
    return simulator->start(folder->path() + QStringLiteral("/RegisterInfo"), options);
}

// The simulator logs a request before it answers, so once the tool is done
// the lines are in the pipe; the event loop fetches them.
QString TestParamSets::simulatorLog()
{
    QTest::qWait(100);
    return simulator->log();
}

void TestParamSets::backupRestoreUndoAndDryRun()
{
    WorkFolder work(driverMap);
    folder = &work;
    QVERIFY(startSimulator());
    const QString port = simulator->devicePath();
    const QString saved = work.path() + QStringLiteral("/saved.csv");

    Run run = steppertool({"--help"});
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.contains(QStringLiteral("--restore")));

    run = steppertool({"--port", port, "--backup", saved});
    QCOMPARE(run.status, 0);
    // The write-only alarm reset is a command: never read, never saved.
    QVERIFY2(run.out.endsWith(QStringLiteral("backup: 5 registers saved to ") + saved + QLatin1Char('\n')), qPrintable(run.out));
    ParameterFile backup;
    QVERIFY(readParameterFile(saved, &backup));
    QVERIFY(backup.problems.isEmpty());
    QCOMPARE(backup.entries.size(), 5);
    QCOMPARE(backup.entries.at(1).address, quint16(0x10));
    QCOMPARE(backup.entries.at(1).value, quint16(3000));
    QCOMPARE(backup.entries.at(1).name, QStringLiteral("Run current"));
    QFile savedFile(saved);
    QVERIFY(savedFile.open(QIODevice::ReadOnly));
    const QByteArray savedText = savedFile.readAll();
    QVERIFY(savedText.contains("address,value,name,permission,range\n0x0000,7,Status,R,0~65535\n"));
    QVERIFY(!savedText.contains("identity"));

    // A spreadsheet's version: byte-order mark, CRLF, other column order,
    // an extra column, a quoted name; status and alarm reset differ too.
    const QString changed = work.path() + QStringLiteral("/changed.csv");
    writeFile(changed, "\xEF\xBB\xBF# edited\r\nname,value,note,address\r\n"
                       "Status,9,,0x0000\r\n\"Run current, peak\",2500,x,0x0010\r\n"
                       "Microsteps,32,,0012\r\nAlarm reset,1,,0x0020\r\nHold current,50,,0x0011\r\n");
    run = steppertool({"--port", port, "--restore", changed, "--dry-run"});
    QCOMPARE(run.status, 3);
    QVERIFY(run.out.contains(QStringLiteral("dry run: 2 registers would be written")));
    QCOMPARE(writesIn(simulatorLog()), 0);

    run = steppertool({"--port", port, "--restore", changed});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QVERIFY(run.out.contains(QStringLiteral("restore: 2 of 2 registers written and confirmed")));
    const QString undo = QRegularExpression(QStringLiteral("undo file: (\\S+)")).match(run.out).captured(1);
    QVERIFY(undo.startsWith(home.path() + QStringLiteral("/data/")));
    QVERIFY(QFile::exists(undo));
    QString log = simulatorLog();
    QVERIFY(log.contains(QStringLiteral("write 0x0010 <- 2500")));
    QVERIFY(log.contains(QStringLiteral("write 0x0012 <- 32")));
    QCOMPARE(writesIn(log), 2);

    run = steppertool({"--port", port, "--compare", saved});
    QCOMPARE(run.status, 3);
    QVERIFY(run.out.contains(QStringLiteral("0x0010\tdiffers\tfile 3000\tdriver 2500")));

    // The undo file brings back the state before, and never touches the
    // status or the alarm reset.
    run = steppertool({"--port", port, "--restore", undo, "--skip", "0x0030"});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    run = steppertool({"--port", port, "--compare", saved});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    log = simulatorLog();
    QCOMPARE(writesIn(log), 4);
    QVERIFY(!log.contains(QStringLiteral("write 0x0000")));
    QVERIFY(!log.contains(QStringLiteral("write 0x0020")));
}

void TestParamSets::invalidInputWritesNothing()
{
    WorkFolder work(driverMap);
    folder = &work;
    QVERIFY(startSimulator());
    const QString port = simulator->devicePath();
    const QString bad = work.path() + QStringLiteral("/bad.csv");
    // A stray quote takes no line after it along.
    writeFile(bad, "address,value\n0x0010,2000\n0x0099,1\n0x0011,ten\n0x0012,70000\n"
                   "0x0011,5\n0x0010,2100\n0x0012,\"64\n0x0011,2\"0\n0x0012,\"6\"4\n0x0012,70001\n");
    Run run = steppertool({"--port", port, "--restore", bad});
    QCOMPARE(run.status, 1);
    for (const char *expected : {"line 3: 0x0099 is not in the map", "line 4: value 'ten' is not a decimal number",
                                 "line 5: value 70000 is outside 0..65535",
                                 "line 7: 0x0010 value 2100 differs from 2000 on line 2",
                                 "line 8: a quote does not close before the end of the line",
                                 "line 9: a quote may only enclose a whole field",
                                 "line 10: a quote may only enclose a whole field",
                                 "line 11: value 70001 is outside 0..65535"})
        QVERIFY2(run.err.contains(QLatin1String(expected)), qPrintable(run.err));
    const QString twice = work.path() + QStringLiteral("/twice.csv");
    writeFile(twice, "# note\naddress,value,Value\n0x0010,2000,2100\n");
    run = steppertool({"--port", port, "--restore", twice});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("line 2: the header has two value columns")), qPrintable(run.err));
    // A slave address cut to 8 bits would be another driver's: the run
    // needs --address then.
    writeFile(work.path() + QStringLiteral("/far.map"), QByteArray(driverMap).replace("slaveAddress:1,", "slaveAddress:257,"));
    const QString good = work.path() + QStringLiteral("/good.csv");
    writeFile(good, "address,value\n0x0010,2000\n");
    run = steppertool({"--port", port, "--map", "far.map", "--restore", good});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("far.map: line 1: slaveAddress \"257\" is no address from 1 to 247")),
             qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("give the driver's address with --address")), qPrintable(run.err));

    QCOMPARE(steppertool({"--port", port, "--restore", work.path() + "/missing.csv"}).status, 1);
    QCOMPARE(steppertool({"--port", port, "--backup", bad, "--map", "nomap"}).status, 1);
    QCOMPARE(steppertool({"--restore", bad}).status, 1);
    QCOMPARE(steppertool({"--port", port, "--compare", bad, "--dry-run"}).status, 1);
    // A bad value gets one line that names it, not the whole help.
    run = steppertool({"--port", port, "--baud", "fast", "--backup", bad});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.contains(QStringLiteral("--baud: 'fast'")), qPrintable(run.err));
    QCOMPARE(steppertool({"--frobnicate"}).status, 1);
    for (const char *gap : {"-1", "nan", "inf"})
        QCOMPARE(steppertool({"--port", port, "--backup", bad, "--gap", gap}).status, 1);
    QCOMPARE(steppertool({"--port", port, "--scan", "--use-map-timing"}).status, 1);
    QCOMPARE(writesIn(simulatorLog()), 0);
    QCOMPARE(simulatorLog().count(QStringLiteral("simdriver: read ")), 0);
}

void TestParamSets::optionGivenTwiceDoesNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("repeated");
    // Each would otherwise run on the last value given: read, save or write.
    QTest::newRow("address list, then one") << QStringList{"--port", "PORT", "--address", "1,2", "--address", "1",
                                                           "--backup", "out/"} << "address";
    QTest::newRow("port") << QStringList{"--port", "/dev/null", "--port", "PORT", "--restore", "wanted.csv"} << "port";
    QTest::newRow("map") << QStringList{"--map", "none.map", "--map", "RegisterInfo", "--port", "PORT", "--backup",
                                        "out.csv"} << "map";
    QTest::newRow("backup") << QStringList{"--port", "PORT", "--backup", "other.csv", "--backup", "out.csv"} << "backup";
    QTest::newRow("restore") << QStringList{"--port", "PORT", "--restore", "none.csv", "--restore", "wanted.csv"}
                             << "restore";
    QTest::newRow("switch") << QStringList{"--port", "PORT", "--restore", "wanted.csv", "--dry-run", "--dry-run"}
                            << "dry-run";
}

void TestParamSets::optionGivenTwiceDoesNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, repeated);
    WorkFolder work(driverMap);
    folder = &work;
    writeFile(work.path() + QStringLiteral("/wanted.csv"), "address,value\n0x0010,2000\n");
    QVERIFY(startSimulator());
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^PORT$")), simulator->devicePath());
    const Run run = steppertool(arguments);
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err, QStringLiteral("steppertool: --%1 is given twice; give it once (see --help)\n").arg(repeated));
    QVERIFY(!QFile::exists(work.path() + QStringLiteral("/out.csv")) && !QFile::exists(work.path() + QStringLiteral("/out")));
    const QString log = simulatorLog();
    QCOMPARE(log.count(QStringLiteral("simdriver: read ")) + writesIn(log), 0);
}

void TestParamSets::restoreCutShort()
{
    WorkFolder work(driverMap);
    folder = &work;
    const QString wanted = work.path() + QStringLiteral("/wanted.csv");
    writeFile(wanted, "address,value\n0x0010,2000\n0x0011,20\n0x0012,64\n");

    QCOMPARE(steppertool({"--port", work.path() + "/no-such-port", "--backup", wanted}).status, 2);
    QVERIFY(startSimulator({"--silent"}));
    QCOMPARE(steppertool({"--port", simulator->devicePath(), "--restore", wanted}).status, 2);

    // A backup cut short leaves an earlier, whole one as it was and goes
    // beside it.
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    QVERIFY(startSimulator());
    QCOMPARE(steppertool({"--port", simulator->devicePath(), "--backup", saved}).status, 0);
    const QByteArray whole = dataLines(saved);
    QCOMPARE(whole.count('\n'), 1 + 5);
    // Silent after the first row (asked twice) and the second.
    QVERIFY(startSimulator({"--silent-after", "3"}));
    const Run partial = steppertool({"--port", simulator->devicePath(), "--backup", saved});
    QCOMPARE(partial.status, 3);
    QCOMPARE(dataLines(saved), whole);
    QVERIFY2(partial.err.contains(QStringLiteral("this backup goes to ") + work.path() + QStringLiteral("/saved.partial.csv")),
             qPrintable(partial.err));
    const QString partialPath = work.path() + QStringLiteral("/saved.partial.csv");
    QCOMPARE(dataLines(partialPath), whole.left(whole.indexOf("0x0011")));
    // Marked in its header, a partial backup still compares; so is one that
    // leaves out a row whose map line has a problem.
    writeFile(work.path() + QStringLiteral("/broken.map"),
              driverMap + "indexes:0x00ZZ,permission:RW,defaultValue:0x0001,rangeValue:0~1,name:Broken,remarks:\n");
    QVERIFY(startSimulator());
    const Run unusable = steppertool({"--port", simulator->devicePath(), "--map", "broken.map", "--backup", "new.csv"});
    QCOMPARE(unusable.status, 3);
    const QList<QPair<QString, QByteArray>> marks = {
        {partialPath, "\n# partial backup; unread, not saved: 0x0011 Hold current, 0x0012 Microsteps, 0x0030 Slave address\n"},
        {work.path() + QStringLiteral("/new.csv"), "\n# partial backup; unread, not saved: 0x00ZZ Broken\n"}};
    for (const auto &[path, mark] : marks) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll().contains(mark), qPrintable(path));
        const Run compared = steppertool({"--port", simulator->devicePath(), "--compare", path});
        QVERIFY2(compared.status == 0, qPrintable(compared.out + compared.err));
    }

    // Six reads (the first twice), then the first write and its read back
    // are answered.
    QVERIFY(startSimulator({"--silent-after", "8"}));
    const Run run = steppertool({"--port", simulator->devicePath(), "--restore", wanted});
    QCOMPARE(run.status, 3);
    // An unanswered write may still have reached the driver.
    QVERIFY2(run.out.contains(QStringLiteral("restore: 1 of 3 registers written and confirmed; "
                                             "unconfirmed, may have been applied: 0x0011 Hold current (no answer), "
                                             "0x0012 Microsteps (no answer)")),
             qPrintable(run.out));

    // A driver that stops answering: after three unanswered requests in a
    // row the rest is not sent.
    const QString four = work.path() + QStringLiteral("/four.csv");
    writeFile(four, "address,value\n0x0010,2000\n0x0011,20\n0x0012,64\n0x0030,9\n");
    QVERIFY(startSimulator({"--silent-after", "6"}));
    const Run silent = steppertool({"--port", simulator->devicePath(), "--restore", four});
    QCOMPARE(silent.status, 3);
    QVERIFY2(silent.out.contains(QStringLiteral("; the driver stopped answering; ")), qPrintable(silent.out));
    QVERIFY2(silent.out.contains(QStringLiteral("; not written: 0x0030 Slave address")), qPrintable(silent.out));
    QCOMPARE(writesIn(simulatorLog().replace(QStringLiteral("silent, no reply to function 6"), QStringLiteral("write "))), 3);

    // Ctrl+C once writing has begun: the write in flight ends without its
    // read back, the rest are named as not written.
    QVERIFY(startSimulator({"--delay", "150"}));
    QProcess process;
    process.setWorkingDirectory(work.path());
    process.start(QStringLiteral(STEPPERTOOL_PATH), {"--port", simulator->devicePath(), "--restore", wanted});
    QString out;
    while (!out.contains(QStringLiteral("undo file:")) && process.waitForReadyRead(10000))
        out += QString::fromUtf8(process.readAllStandardOutput());
    QTRY_VERIFY(simulator->log().contains(QStringLiteral("write 0x0010")));
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(10000));
    out += QString::fromUtf8(process.readAllStandardOutput());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 3);
    QVERIFY2(out.contains(QStringLiteral("restore: 0 of 3 registers written and confirmed; interrupted; "
                                         "unconfirmed, may have been applied: 0x0010 Run current (echoed, not read back); "
                                         "not written: 0x0011 Hold current, 0x0012 Microsteps")), qPrintable(out));
    QCOMPARE(writesIn(simulatorLog()), 1);

    // The driver vanishes once writing has begun: the run ends at once, and
    // the summary names what was not written.
    QVERIFY(startSimulator({"--delay", "150"}));
    QProcess vanishing;
    vanishing.setWorkingDirectory(work.path());
    vanishing.start(QStringLiteral(STEPPERTOOL_PATH), {"--port", simulator->devicePath(), "--restore", wanted});
    out.clear();
    while (!out.contains(QStringLiteral("undo file:")) && vanishing.waitForReadyRead(10000))
        out += QString::fromUtf8(vanishing.readAllStandardOutput());
    simulator->kill();
    QVERIFY(vanishing.waitForFinished(5000));
    out += QString::fromUtf8(vanishing.readAllStandardOutput());
    QCOMPARE(vanishing.exitCode(), 3);
    QVERIFY2(out.contains(QStringLiteral("not written: ")), qPrintable(out));
    QVERIFY(QString::fromUtf8(vanishing.readAllStandardError()).contains(QStringLiteral("failed")));
}

// Replies that come after their timeout, answer another kind of request,
// carry too few registers or refuse: no value lands on another register, in
// the file, the comparison or an undo file; every unread register is named
// with its reason, and the run ends by itself with status 3.
void TestParamSets::lateAndWrongRepliesLandNowhere()
{
    WorkFolder work("slaveAddress:1,txTime:5,rxOutTime:40" + driverMap.mid(driverMap.indexOf('\n')));
    folder = &work;
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    const QString wanted = work.path() + QStringLiteral("/wanted.csv");
    writeFile(wanted, "address,value\n0x0010,2000\n0x0011,20\n0x0012,64\n");

    // Replies after their wait are replies no request awaits: nothing is
    // trusted, and the reason names the slow driver too.
    QVERIFY(startSimulator({"--delay", "70"}));
    Run run = steppertool({"--port", simulator->devicePath(), "--backup", saved});
    QVERIFY2(run.status == 2, qPrintable(run.out + run.err));
    QVERIFY2(run.err.contains(QStringLiteral("or a driver slower than its reply wait (rxOutTime 40 ms)?")),
             qPrintable(run.err));
    QVERIFY2(!QFile::exists(saved), qPrintable(run.out + run.err));
    // A fresh driver: the last late reply to the backup must not meet the
    // restore's first request.
    QVERIFY(startSimulator({"--delay", "70"}));
    run = steppertool({"--port", simulator->devicePath(), "--restore", wanted});
    QCOMPARE(run.status, 2);
    QVERIFY2(!run.out.contains(QStringLiteral("undo file:")), qPrintable(run.out + run.err));
    QCOMPARE(writesIn(simulatorLog()), 0);

    // A refusal is named as one.
    QVERIFY(startSimulator({"--exception", "2"}));
    run = steppertool({"--port", simulator->devicePath(), "--backup", saved});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.err.contains(QStringLiteral("0x0012 Microsteps unread: Modbus exception 02: illegal data address")),
             qPrintable(run.err));

    // Every reply twice, as from a second device at the address, one
    // reply owed to an earlier request coming first, or replies from another
    // address: whichever request a reply meets, even the last one's, no value
    // is trusted, saved, or put in an undo file, and nothing is written. The
    // message names the address the reply came from.
    const QList<QPair<QStringList, int>> faults = {{{"--repeat-reply", "3"}, 1},
                                                   {{"--repeat-reply", "25"}, 1},
                                                   {{"--owed-reply", "--delay", "30"}, 1},
                                                   {{"--reply-address", "9"}, 9}};
    for (const auto &[options, from] : faults) {
        for (const QString &action : {QStringLiteral("--backup"), QStringLiteral("--restore")}) {
            QVERIFY(startSimulator(options));
            run = steppertool({"--port", simulator->devicePath(), action, action == "--backup" ? saved : wanted});
            const QString said = options.join(' ') + action + run.out + run.err;
            QVERIFY2(run.status == 2, qPrintable(said));
            QVERIFY2(run.err.contains(QStringLiteral("a reply from address %1 came that no request asked for: another "
                                                     "master, or a second device at that address").arg(from)),
                     qPrintable(said));
            QVERIFY2(!QFile::exists(saved) && !run.out.contains(QStringLiteral("undo file:")), qPrintable(said));
            QCOMPARE(writesIn(simulatorLog()), 0);
        }
    }

    // A read asks its first request twice before the others: a reply owed
    // from before the run may have answered it in its place, alone (the
    // driver, busy with the request it was owed to, ignored the run's) or
    // ahead of the driver's own. With one row or several, owed or on a
    // clean line: the file holds the driver's own values, or none is saved.
    const QList<QByteArray> mapLines = driverMap.split('\n');
    const QString oneRow = work.path() + QStringLiteral("/one-row");
    const QString threeRows = work.path() + QStringLiteral("/three-rows");
    writeFile(oneRow, "slaveAddress:1,txTime:5,rxOutTime:40\n" + mapLines.at(2) + "\n");
    writeFile(threeRows, "slaveAddress:1,txTime:5,rxOutTime:40\n" + mapLines.mid(2, 3).join('\n') + "\n");
    const QList<QPair<QString, QList<QByteArray>>> maps = {
        {oneRow, {"0x0010,3000,"}}, {threeRows, {"0x0010,3000,", "0x0011,50,", "0x0012,16,"}}};
    const QList<QPair<QStringList, int>> owedFaults = {
        {{"--owed-reply", "--delay", "30"}, 2}, {{"--owed-instead"}, 0}, {{}, 0}};
    for (const auto &[map, values] : maps) {
        for (const auto &[options, status] : owedFaults) {
            QVERIFY(startSimulator(options));
            run = steppertool({"--port", simulator->devicePath(), "--map", map, "--backup", saved});
            const QString said = map + QLatin1Char(' ') + options.join(' ') + run.out + run.err;
            QVERIFY2(run.status == status && QFile::exists(saved) == (status == 0), qPrintable(said));
            for (const QByteArray &value : values)
                QVERIFY2(status != 0 || dataLines(saved).contains(value), qPrintable(said));
            QFile::remove(saved);
        }
    }

    // A driver that answers with the wrong kind of reply: the run ends by
    // itself; Ctrl+C ends it after the request in flight.
    QVERIFY(startSimulator({"--wrong-kind"}));
    run = steppertool({"--port", simulator->devicePath(), "--backup", saved});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.err.contains(QStringLiteral("0x0010 Run current unread: no valid reply")), qPrintable(run.err));
    QProcess process;
    process.setWorkingDirectory(work.path());
    process.start(QStringLiteral(STEPPERTOOL_PATH), {"--port", simulator->devicePath(), "--restore", wanted});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY(simulator->log().count(QStringLiteral("simdriver: read ")) > 6);
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 3);
    QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains(QStringLiteral("interrupted")));
    const QString log = simulatorLog();
    QCOMPARE(writesIn(log), 0);
    // The backup read all six registers (the first twice); the interrupted
    // restore did not.
    QVERIFY2(log.count(QStringLiteral("simdriver: read ")) < 6 + 6, qPrintable(log));
}

QStringList TestParamSets::backupArguments(const QString &map, const QString &file) const
{
    QStringList arguments{"--port", simulator->devicePath(), "--backup", file};
    if (!map.isEmpty())
        arguments << "--map" << map;
    return arguments;
}

// Whatever the line did (a second device echoing every reply 1-200 ms
// later, a reply owed from before the run, a slow driver), a backup that
// ends well saved each register's own value, on a map of one request and of
// several; a run that listened briefly must have been a clean one.
void TestParamSets::aSavedValueIsNeverAShiftedOne()
{
    WorkFolder work(driverMap);
    folder = &work;
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    const QString oneRow = work.path() + QStringLiteral("/one-row");
    writeFile(oneRow, driverMap.left(driverMap.indexOf('\n') + 1) + driverMap.split('\n').at(2) + "\n");
    QHash<bool, QByteArray> truth;
    for (const bool single : {false, true}) {
        QVERIFY(startSimulator({}));
        const Run run = steppertool(backupArguments(single ? oneRow : QString(), saved));
        QCOMPARE(run.status, 0);
        truth[single] = dataLines(saved);
        QFile::remove(saved);
    }
    int kept = 0, refused = 0;
    for (quint32 seed = 1; seed <= 14; ++seed) {
        QRandomGenerator random(seed);
        QStringList options{"--delay", QString::number(QList<int>{0, 5, 30}.at(random.bounded(3)))};
        if (random.bounded(3) > 0)
            options << "--repeat-reply" << QString::number(1 + random.bounded(200));
        if (random.bounded(2))
            options << "--owed-reply";
        const bool single = random.bounded(2);
        QVERIFY(startSimulator(options));
        const Run run = steppertool(backupArguments(single ? oneRow : QString(), saved));
        const QString said = options.join(' ') + (single ? " one row: " : ": ") + run.out + run.err;
        // 2: a reply no request asked for; 3: replies run together, unread.
        QVERIFY2(run.status == 0 || run.status == 2 || run.status == 3, qPrintable(said));
        // A partial backup (status 3) holds only registers that were read.
        if (run.status != 3)
            QVERIFY2(QFile::exists(saved) == (run.status == 0), qPrintable(said));
        for (const QByteArray &line : dataLines(saved).split('\n'))
            QVERIFY2(truth[single].contains(line + '\n') || line.isEmpty(), qPrintable(said + line));
        if (run.status == 0)
            QCOMPARE(dataLines(saved), truth[single]);
        run.status == 0 ? ++kept : ++refused;
        QFile::remove(saved);
    }
    // Both ends of the property were reached.
    QVERIFY(kept > 0 && refused > 0);
}

void TestParamSets::noWriteAfterALateEcho_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("serial") << "--port";
    QTest::newRow("Modbus TCP") << "--tcp";
    QTest::newRow("RTU over TCP") << "--rtu-over-tcp";
}

// The first write's echo comes after the tool's timeout, in the quiet it
// keeps after one: a reply that fits no request. The next write was already
// queued; it must never reach the driver, as its own log and registers show.
// Over Modbus TCP the echo's transaction id names it late: no doubt, and the
// other writes go on.
void TestParamSets::noWriteAfterALateEcho()
{
    QFETCH(QString, line);
    WorkFolder work(driverMap);
    folder = &work;
    const QString wanted = work.path() + QStringLiteral("/wanted.csv");
    writeFile(wanted, "address,value\n0x0010,2000\n0x0011,20\n0x0012,64\n");
    // rxOutTime 300: the echo 450 ms after the write is 150 ms after its
    // timeout, well inside the quiet of a further 600 ms.
    QStringList options = {"--late-write", "450"};
    PtyPair pair;
    QString port;
    if (line == QLatin1String("--port")) {
        QVERIFY(pair.start());
        options << "--device" << pair.peerSide();
        port = pair.appSide();
    } else {
        options << line << "0";
    }
    QVERIFY(startSimulator(options));
    if (port.isEmpty())
        port = simulator->devicePath();
    const Run run = steppertool({line, port, "--restore", wanted});
    const QString said = run.out + run.err;
    if (line == QLatin1String("--tcp")) {
        QVERIFY2(run.status == 3 && !said.contains(QStringLiteral("no request asked for"))
                     && run.out.contains(QStringLiteral("restore: 2 of 3 registers written and confirmed; unconfirmed, "
                                                        "may have been applied: 0x0010 Run current (no answer)")),
                 qPrintable(said));
        QTRY_COMPARE(writesIn(simulatorLog()), 3);
        const QString saved = work.path() + QStringLiteral("/after.csv");
        QVERIFY(steppertool({line, port, "--backup", saved}).status == 0);
        const QByteArray after = dataLines(saved);
        QVERIFY2(after.contains("\n0x0010,2000,") && after.contains("\n0x0011,20,") && after.contains("\n0x0012,64,"),
                 after.constData());
        return;
    }
    QVERIFY2(run.status == 2, qPrintable(said));
    QVERIFY2(run.out.contains(QStringLiteral("restore: 0 of 3 registers written and confirmed; "
                                             "unconfirmed, may have been applied: 0x0010 Run current; "
                                             "not written: 0x0011 Hold current, 0x0012 Microsteps")),
             qPrintable(said));
    QVERIFY2(run.err.contains(QStringLiteral("came that no request asked for")), qPrintable(said));
    QTRY_VERIFY(simulator->log().contains(QStringLiteral("reply to the write to 0x0010 comes 450 ms late")));
    QString log = simulatorLog();
    QVERIFY2(log.contains(QStringLiteral("write 0x0010 <- 2000")), qPrintable(log));
    QCOMPARE(writesIn(log), 1);
    // The driver's registers: the late write landed, the others never came.
    const QString saved = work.path() + QStringLiteral("/after.csv");
    const Run backup = steppertool({line, port, "--backup", saved});
    QVERIFY2(backup.status == 0, qPrintable(backup.out + backup.err));
    const QByteArray after = dataLines(saved);
    QVERIFY2(after.contains("\n0x0010,2000,") && after.contains("\n0x0011,50,") && after.contains("\n0x0012,16,"),
             after.constData());
    QCOMPARE(writesIn(simulatorLog()), 1);
}

void TestParamSets::compareDialogStatesAndWrites()
{
    // The driver lacks 0x0040, which the window's map names.
    WorkFolder work(driverMap + "indexes:0x0040,permission:RW,defaultValue:0x0000,rangeValue:0~9,name:Extra,remarks:\n");
    folder = &work;
    writeFile(work.path() + QStringLiteral("/driver"), driverMap);
    simulator = new Simulator;
    QVERIFY(simulator->start(work.path() + QStringLiteral("/driver")));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *loadButton = window.findChild<QPushButton *>("pushButton_loadParams");
    QVERIFY(!loadButton->isEnabled());
    QLineEdit *portField = window.findChild<QComboBox *>("comboBox_port")->lineEdit();
    portField->setText(simulator->devicePath());
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(loadButton->isEnabled());
    QVERIFY(waitForRefreshDone(window, 15000));

    auto choose = [&](const QByteArray &contents) {
        const QString path = work.path() + QStringLiteral("/load.csv");
        writeFile(path, contents);
        // The file chooser is modal: it is answered from the event loop.
        QTimer chooserWatch;
        QObject::connect(&chooserWatch, &QTimer::timeout, [&chooserWatch, path] {
            QFileDialog *chooser = nullptr;
            for (QWidget *widget : QApplication::topLevelWidgets())
                chooser = widget->isVisible() && qobject_cast<QFileDialog *>(widget) ? qobject_cast<QFileDialog *>(widget) : chooser;
            if (!chooser)
                return;
            chooserWatch.stop();
            chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
            static_cast<QDialog *>(chooser)->accept();
        });
        chooserWatch.start(50);
        QTest::mouseClick(loadButton, Qt::LeftButton);
    };
    auto load = [&](const QByteArray &contents) {
        choose(contents);
        QTRY_VERIFY_WITH_TIMEOUT(window.findChild<CompareDialog *>()
                                 && window.findChild<CompareDialog *>()->isVisible()
                                 && window.findChild<CompareDialog *>()->findChild<QTableWidget *>()->rowCount()
                                        == contents.count('\n') - 1, 10000);
    };
    // A file with faults of its own and values the map forbids: every
    // problem in one window that stays, in the window's language; nothing
    // compared.
    choose("address,value\n0x0010,ten\n0x0011,5000\n0x0099,1\n");
    QMessageBox *problems = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((problems = window.findChild<QMessageBox *>("problemList")) && problems->isVisible(), 10000);
    QVERIFY(!problems->isModal());
    QCOMPARE(problems->informativeText(), QStringLiteral("第 2 行：值“ten”不是十进制数\n"
                                                         "第 4 行：0x0099 不在映射表中"));
    QVERIFY(!window.findChild<CompareDialog *>());
    problems->close();

    load("address,value\n0x0000,1\n0x0010,2000\n0x0011,50\n0x0040,3\n0x0099,1\n0x0012,999\n");
    auto *dialog = window.findChild<CompareDialog *>();
    auto *table = dialog->findChild<QTableWidget *>("tableWidget_compare");
    QStringList states;
    for (int row = 0; row < table->rowCount(); ++row)
        states.append(table->item(row, 6)->text());
    QCOMPARE(states, QStringList({"不可写", "不同", "相同", "无应答", "不在映射表中", "超出范围"}));
    QVERIFY(!dialog->findChild<QPushButton *>("pushButton_write")->isEnabled());
    dialog->findChild<QCheckBox *>("checkBox_differencesOnly")->setChecked(true);
    QVERIFY(table->isRowHidden(2));
    QVERIFY(!table->isRowHidden(1));

    // Unticked rows stay as they are.
    load("address,value\n0x0010,2000\n0x0011,20\n0x0030,5\n");
    QCOMPARE(table->item(2, 0)->checkState(), Qt::Checked);
    table->item(2, 0)->setCheckState(Qt::Unchecked);
    QTest::mouseClick(dialog->findChild<QPushButton *>("pushButton_write"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(table->item(1, 6)->text(), QStringLiteral("已写入"), 10000);
    QTRY_VERIFY(dialog->findChild<QPushButton *>("pushButton_close")->isEnabled());
    QCOMPARE(table->item(0, 6)->text(), QStringLiteral("已写入"));
    QCOMPARE(table->item(2, 6)->text(), QStringLiteral("不同"));
    const QString log = simulatorLog();
    QVERIFY(log.contains(QStringLiteral("write 0x0010 <- 2000")));
    QVERIFY(log.contains(QStringLiteral("write 0x0011 <- 20")));
    QCOMPARE(writesIn(log), 2);
    const QString undoFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/undo");
    QVERIFY(undoFolder.startsWith(home.path()));
    QCOMPARE(QDir(undoFolder).entryList(QDir::Files).size(), 1);
    // The port as the command line writes it: its full path.
    QFile undoFile(QDir(undoFolder).entryInfoList(QDir::Files).first().absoluteFilePath());
    QVERIFY(undoFile.open(QIODevice::ReadOnly));
    QVERIFY(undoFile.readAll().contains("\n# port " + simulator->devicePath().toUtf8() + '\n'));

    // The driver changes behind the dialog's back (a frame sent by hand):
    // the dialog compares again and writes nothing until pressed again; the
    // undo file then holds what the driver had just before the write.
    load("address,value\n0x0012,64\n");
    window.findChild<QTextEdit *>("textEdit_send")->setPlainText(QStringLiteral("01 06 00 12 00 20 28 17"));
    window.findChild<QCheckBox *>("checkBox")->setChecked(true);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_send"), Qt::LeftButton);
    QTRY_VERIFY(simulatorLog().contains(QStringLiteral("write 0x0012 <- 32")));
    QPushButton *write = dialog->findChild<QPushButton *>("pushButton_write");
    QTest::mouseClick(write, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(table->item(0, 4)->text(), QStringLiteral("32"), 10000);
    QCOMPARE(writesIn(simulatorLog()), 3);
    QTRY_VERIFY(write->isEnabled());
    QTest::mouseClick(write, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(table->item(0, 6)->text(), QStringLiteral("已写入"), 10000);
    QVERIFY(simulatorLog().contains(QStringLiteral("write 0x0012 <- 64")));
    QStringList undoFiles = QDir(undoFolder).entryList(QDir::Files, QDir::Name);
    ParameterFile undo;
    QVERIFY(readParameterFile(undoFolder + QLatin1Char('/') + undoFiles.last(), &undo));
    bool heldBefore = false;
    for (const ParameterEntry &entry : qAsConst(undo.entries))
        heldBefore = heldBefore || (entry.address == 0x12 && entry.value == 32);
    QVERIFY(heldBefore);

    // A backup reads each register once, the first twice: no timeout after
    // the last reply, and the scan waits while it runs.
    auto *scanButton = window.findChild<QPushButton *>("pushButton_scan");
    const LineStatistics before = MainWindowInspector::scheduler(window).statistics();
    QTimer saveWatch;
    QObject::connect(&saveWatch, &QTimer::timeout, [&saveWatch] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && qobject_cast<QFileDialog *>(widget)) {
                saveWatch.stop();
                static_cast<QDialog *>(widget)->reject();
            }
        }
    });
    saveWatch.start(50);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_saveParams"), Qt::LeftButton);
    QVERIFY(!scanButton->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!saveWatch.isActive() && scanButton->isEnabled(), 10000);
    const LineStatistics after = MainWindowInspector::scheduler(window).statistics();
    QCOMPARE(after.requests - before.requests, 7u);
    QCOMPARE(after.validReplies - before.validReplies, 6u);
    QCOMPARE(after.timeouts, before.timeouts);

    // The comparison belongs to its connection: once the port closes, and
    // after it opens on another driver, the dialog writes nothing.
    load("address,value\n0x0011,30\n");
    QVERIFY(write->isEnabled());
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(!write->isEnabled());
    Simulator other;
    QVERIFY(other.start(work.path() + QStringLiteral("/driver")));
    portField->setText(other.devicePath());
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(window, 15000));
    QVERIFY(!write->isEnabled());
    QTest::mouseClick(write, Qt::LeftButton);
    QTest::qWait(300);
    QCOMPARE(writesIn(other.log()), 0);
    QCOMPARE(writesIn(simulatorLog()), 4);

    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
}

// A write whose echo arrives broken ends its wait without a timeout: it is
// unconfirmed at once (it may have been applied), and the run goes on
// instead of waiting for ever. A scan ends a run at once.
void TestParamSets::garbledEchoFailsTheWrite()
{
    RequestScheduler scheduler(Serial::instance());
    ParameterRun run(&scheduler);
    QList<WriteResult> outcomes;
    QObject::connect(&run, &ParameterRun::writeOutcome,
                     [&outcomes](const ParameterEntry &, WriteResult result) { outcomes.append(result); });
    QSignalSpy finished(&run, &ParameterRun::writeFinished);
    QList<RegisterInfo> rows;
    for (const char *line : {"indexes:0x0010,permission:RW,defaultValue:0,rangeValue:0~65535,name:A,remarks:",
                             "indexes:0x0011,permission:RW,defaultValue:0,rangeValue:0~65535,name:B,remarks:"}) {
        rows << parseRegisterLine(QString::fromLatin1(line));
        rows.last().addressValid = true;
    }
    run.setMap(rows, 1, 6);
    ParameterEntry entry;
    entry.address = 0x10;
    entry.value = 1234;
    run.writeValues({entry}, WriteOrigin::Restore);
    scheduler.tick();
    QVERIFY(scheduler.isAwaiting());
    QByteArray echo = ModbusMaster::instance()->writeCmd(1, 0x10, 1234);
    echo[echo.size() - 1] = char(echo.at(echo.size() - 1) ^ 0xFF);
    scheduler.takeBlock(echo);
    QCOMPARE(outcomes, QList<WriteResult>{WriteResult::Unconfirmed});
    QCOMPARE(finished.size(), 1);

    // A scan takes the line in the middle of a restore: the write in flight
    // is unconfirmed, the rest are not sent, and the run ends.
    ParameterEntry second = entry;
    second.address = 0x11;
    outcomes.clear();
    RunEnd end = RunEnd::Completed;
    QObject::connect(&run, &ParameterRun::writeFinished, [&end](RunEnd how) { end = how; });
    scheduler.start();
    run.writeValues({entry, second}, WriteOrigin::Restore);
    QTRY_VERIFY(scheduler.isAwaiting()); // at line speed: no tick needed
    ScanRun scan(Serial::instance(), &scheduler);
    ScanRequest request;
    request.port = QStringLiteral("/nonexistent/tty");
    QVERIFY(!scan.start(request));
    QCOMPARE(outcomes, (QList<WriteResult>{WriteResult::Unconfirmed, WriteResult::NotSent}));
    QCOMPARE(end, RunEnd::Stopped);
    QVERIFY(!run.isRunning());
}

// The write guards of the window's comparison: the re-read before writing
// checks what the dialog compared (not registers outside the file, and not
// a backup's read made since), and the scan stays disabled while the
// writes run.
// Routes from a file around the rules, as reviews found them: a danger
// value named by --include-write-only, an undo file moved out of the undo
// folder, another unit's undo file. Each writes nothing without its
// confirmation, as the driver's own log shows.
void TestParamSets::fileRoutesPassTheGate()
{
    WorkFolder work(identityMap + "indexes:0x0022,permission:W,defaultValue:0,rangeValue:0~65535,name:Reset,"
                                  "remarks:,command:Reset=0x5AA5,danger:Reset\n");
    folder = &work;
    QVERIFY(startSimulator({"--set", "0x0010=7000"}));
    const QString reset = work.path() + QStringLiteral("/reset.csv");
    writeFile(reset, "# identity 0x0040=8964 0x0041=112 0x0042=81234\naddress,value\n0x0022,23205\n");
    Run run = steppertool({"--port", simulator->devicePath(), "--restore", reset, "--include-write-only", "0x0022"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("is the danger command \"Reset\"")), qPrintable(run.err));
    QCOMPARE(writesIn(simulatorLog()), 0);
    run = steppertool({"--port", simulator->devicePath(), "--restore", reset, "--include-write-only", "0x0022",
                       "--yes"});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QVERIFY(simulatorLog().contains(QStringLiteral("write 0x0022 <- 23205")));

    // The undo file of a restore puts the driver's 7000 back, outside the
    // map's range, without asking; a copy elsewhere is a plain file.
    QVERIFY(startSimulator({"--set", "0x0010=7000"}));
    const QString lower = work.path() + QStringLiteral("/lower.csv");
    writeFile(lower, "# identity 0x0040=8964 0x0041=112 0x0042=81234\naddress,value\n0x0010,2000\n");
    run = steppertool({"--port", simulator->devicePath(), "--restore", lower});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    const QString undo = QRegularExpression(QStringLiteral("undo file: (\\S+)")).match(run.out).captured(1);
    const QString copy = work.path() + QStringLiteral("/copy.csv");
    QVERIFY(QFile::copy(undo, copy));
    run = steppertool({"--port", simulator->devicePath(), "--restore", copy});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("outside the map's range")), qPrintable(run.err));
    QCOMPARE(writesIn(simulatorLog()), 1);

    // Another unit of the same model is no driver this undo file came from.
    QVERIFY(startSimulator({"--set", "0x0042=0", "--set", "0x0043=5"}));
    run = steppertool({"--port", simulator->devicePath(), "--restore", undo});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("outside the map's range")), qPrintable(run.err));
    QCOMPARE(writesIn(simulatorLog()), 0);
    QVERIFY(startSimulator({"--set", "0x0010=2000"}));
    run = steppertool({"--port", simulator->devicePath(), "--restore", undo});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QVERIFY(simulatorLog().contains(QStringLiteral("write 0x0010 <- 7000")));
}

void TestParamSets::windowWriteGuardsHold()
{
    WorkFolder work(driverMap);
    folder = &work;
    QVERIFY(startSimulator({"--delay", "60"}));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QComboBox *>("comboBox_port")->lineEdit()->setText(simulator->devicePath());
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(window, 15000));
    ParameterSetsPanel *panel = window.findChild<ParameterSetsPanel *>();
    QVERIFY(panel);
    const QString path = work.path() + QStringLiteral("/load.csv");
    auto compare = [&](const QByteArray &contents) {
        writeFile(path, contents);
        panel->loadFrom(DriverContext{MainWindowInspector::registerList(window), simulator->devicePath(), 1,
                                      QStringLiteral("RegisterInfo")}, path);
        QTRY_VERIFY_WITH_TIMEOUT(panel->dialog() && panel->dialog()->isVisible() && !panel->isBusy(), 10000);
    };
    auto handWrite = [&](quint16 address, quint16 value) {
        const QString before = simulatorLog();
        window.findChild<QTextEdit *>("textEdit_send")->setPlainText(
            QString::fromLatin1(ModbusMaster::instance()->writeCmd(1, address, value).toHex(' ')));
        window.findChild<QCheckBox *>("checkBox")->setChecked(true);
        QTest::mouseClick(window.findChild<QPushButton *>("pushButton_send"), Qt::LeftButton);
        const QString line = QStringLiteral("write 0x%1 <- %2")
                                 .arg(QStringLiteral("%1").arg(address, 4, 16, QLatin1Char('0')).toUpper())
                                 .arg(value);
        QTRY_VERIFY(simulatorLog().count(line) > before.count(line));
        QTest::qWait(300);
    };

    // A register the file does not name changes (on a real driver: status,
    // speed, bus voltage change all the time): the compared one did not, so
    // the write goes ahead.
    compare("address,value\n0x0011,30\n");
    CompareDialog *dialog = panel->dialog();
    auto *table = dialog->findChild<QTableWidget *>("tableWidget_compare");
    auto *write = dialog->findChild<QPushButton *>("pushButton_write");
    handWrite(0x0012, 32);
    QTest::mouseClick(write, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!panel->isBusy(), 10000);
    QTest::qWait(500);
    QStringList faults;
    if (!simulatorLog().contains(QStringLiteral("write 0x0011 <- 30")))
        faults << QStringLiteral("an unlisted register changed, the compared one was not written: ")
                      + dialog->findChild<QLabel *>("label_status")->text();

    // The driver changes after the comparison, then a backup reads it: the
    // dialog still shows the old value, so it must compare again instead of
    // writing.
    compare("address,value\n0x0010,2000\n");
    QCOMPARE(table->item(0, 4)->text(), QStringLiteral("3000"));
    handWrite(0x0010, 2500);
    panel->backupTo(DriverContext{MainWindowInspector::registerList(window), simulator->devicePath(), 1,
                                  QStringLiteral("RegisterInfo")}, work.path() + QStringLiteral("/saved.csv"));
    QTRY_VERIFY_WITH_TIMEOUT(!panel->isBusy(), 10000);
    const int writesBefore = writesIn(simulatorLog());
    QTest::mouseClick(write, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!panel->isBusy(), 10000);
    QTest::qWait(500);
    if (table->item(0, 4)->text() != QStringLiteral("2500") || writesIn(simulatorLog()) != writesBefore)
        faults << QStringLiteral("after a backup, a stale comparison (driver shown %1, driver had 2500) was written: %2")
                      .arg(table->item(0, 4)->text(), simulatorLog().section(QLatin1Char('\n'), -3));

    // While the writes run, the scan stays disabled.
    compare("address,value\n0x0011,40\n0x0012,64\n");
    auto *scanButton = window.findChild<QPushButton *>("pushButton_scan");
    auto *cancel = dialog->findChild<QPushButton *>("pushButton_cancel");
    bool scanWhileWriting = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { scanWhileWriting |= cancel->isEnabled() && scanButton->isEnabled(); });
    watch.start(2);
    QTest::mouseClick(write, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(cancel->isEnabled(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!cancel->isEnabled(), 10000);
    if (scanWhileWriting)
        faults << QStringLiteral("the scan button was enabled while the dialog's writes ran");
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1String("\n"))));

    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
}

// A driver answering in 2.5 times rxOutTime: whatever is saved, in the
// backup or in the undo file, is each register's own value.
void TestParamSets::repliesLaterThanTwiceTheTimeoutLandNowhere()
{
    WorkFolder work(QByteArray(driverMap).replace("txTime:5,rxOutTime:300", "txTime:5,rxOutTime:40"));
    folder = &work;
    QVERIFY(startSimulator({"--delay", "100"}));
    const QHash<quint16, quint16> own = {{0x00, 7}, {0x10, 3000}, {0x11, 50}, {0x12, 16}, {0x30, 1}};
    QStringList landedElsewhere;
    auto check = [&](const QString &what, const QString &path) {
        ParameterFile saved;
        readParameterFile(path, &saved);
        for (const ParameterEntry &entry : qAsConst(saved.entries)) {
            if (own.value(entry.address, entry.value) != entry.value)
                landedElsewhere << QStringLiteral("%1: 0x%2=%3").arg(what).arg(entry.address, 4, 16, QLatin1Char('0')).arg(entry.value);
        }
    };
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    Run run = steppertool({"--port", simulator->devicePath(), "--backup", saved});
    check(QStringLiteral("backup"), saved);
    writeFile(work.path() + QStringLiteral("/wanted.csv"), "address,value\n0x0010,2000\n0x0011,20\n0x0012,32\n");
    // A fresh driver: a reply still owed to the backup's process could meet
    // the restore's first request, which no program can tell.
    QVERIFY(startSimulator({"--delay", "100"}));
    run = steppertool({"--port", simulator->devicePath(), "--restore", work.path() + QStringLiteral("/wanted.csv")});
    const QString undo = run.out.section(QStringLiteral("undo file: "), 1).section(QLatin1Char('\n'), 0, 0);
    if (!undo.isEmpty())
        check(QStringLiteral("undo"), undo);
    QVERIFY2(landedElsewhere.isEmpty(), qPrintable(landedElsewhere.join(QLatin1String(", "))));
}

// What the tool read from a driver it accepts back: a register with a
// negative bound holds a signed value. Map faults are reported, and a value
// is checked against every line of its address.
void TestParamSets::savedValuesPassTheMapsOwnChecks()
{
    WorkFolder work(QByteArray(
        "slaveAddress:1,txTime:5,rxOutTime:300\n"
        "indexes:0x0010,permission:RW,defaultValue:0xFFF6,rangeValue:-100~100,name:Offset,remarks:\n"
        "indexes:0x0011,permission:RW,defaultValue:0x0005,rangeValue:0~10,name:Gain,remarks:\n"
        "indexes:0x0011,permission:RW,defaultValue:0x0005,rangeValue:0~6,name:Gain limit,remarks:\n"
        "indexes:0x0012,permission:RW,defaultValue:0x0003,rangeValue:abc,name:Mode,remarks:\n"));
    folder = &work;
    QVERIFY(startSimulator());
    const QString port = simulator->devicePath();
    const QString saved = work.path() + QStringLiteral("/saved.csv");

    Run run = steppertool({"--port", port, "--backup", saved});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QVERIFY(run.out.contains(QStringLiteral("0x0010\t65526\t")));
    QVERIFY2(run.err.contains(QStringLiteral("RegisterInfo: line 4: address 0x0011 is already on line 3")),
             qPrintable(run.err));
    QVERIFY(run.err.contains(QStringLiteral("RegisterInfo: line 5: range \"abc\" is no min~max")));
    run = steppertool({"--port", port, "--compare", saved});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    run = steppertool({"--port", port, "--restore", saved});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));

    const QString wanted = work.path() + QStringLiteral("/wanted.csv");
    writeFile(wanted, "address,value\n0x0010,65436\n0x0011,8\n0x0012,40000\n");
    run = steppertool({"--port", port, "--restore", wanted});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("outside the map's range: 0x0011 Gain limit value 8 (range 0~6); "
                                             "nothing was written; give --allow-out-of-range")), qPrintable(run.err));
    QVERIFY(!run.err.contains(QStringLiteral("0x0010")));
    QCOMPARE(writesIn(simulatorLog()), 0);
}

// stderr on a terminal: the count of registers read and written, rewritten
// in place and erased before the results; in a pipe, none of it.
void TestParamSets::progressShowsOnlyOnATerminal()
{
    WorkFolder work(driverMap);
    folder = &work;
    QVERIFY(startSimulator());
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    const Run piped = steppertool({"--port", simulator->devicePath(), "--backup", saved});
    QCOMPARE(piped.status, 0);
    QVERIFY2(piped.err.isEmpty(), qPrintable(piped.err));
    const QString wanted = work.path() + QStringLiteral("/wanted.csv");
    writeFile(wanted, "address,value\n0x0010,2000\n0x0011,20\n");

    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0);
    const QString terminalPath = QString::fromLocal8Bit(ptsname(terminal));
    // Held open here too, so what the tool wrote stays readable after it ends.
    const int held = ::open(ptsname(terminal), O_RDWR | O_NOCTTY);
    QVERIFY(held >= 0);
    QByteArray shown;
    for (const QStringList &arguments : {QStringList{"--backup", saved}, QStringList{"--restore", wanted}}) {
        QProcess process;
        process.setWorkingDirectory(work.path());
        process.setStandardErrorFile(terminalPath);
        process.start(QStringLiteral(STEPPERTOOL_PATH), QStringList{"--port", simulator->devicePath()} + arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!process.readAllStandardOutput().contains('\033'));
    }
    fcntl(terminal, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t count; (count = ::read(terminal, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, int(count));
    ::close(held);
    ::close(terminal);
    for (const QByteArray &expected : {QByteArray("\r\033[Kreading 1/5\r"), QByteArray("\r\033[Kreading 5/5\r"),
                                       QByteArray("\r\033[Kwriting 2/2\r")})
        QVERIFY2(shown.contains(expected), shown.toHex(' ').constData());
    QVERIFY(shown.endsWith("\r\033[K"));
}

// stdout's reader goes away after the first line (| head -1): the restore
// still writes every register and ends as it would have.
void TestParamSets::readerOfStdoutGoesAway()
{
    WorkFolder work(driverMap);
    folder = &work;
    QVERIFY(startSimulator());
    const QString wanted = work.path() + QStringLiteral("/wanted.csv");
    writeFile(wanted, "address,value\n0x0010,2000\n0x0011,20\n0x0012,64\n0x0030,9\n");
    QProcess shell;
    shell.setWorkingDirectory(work.path());
    shell.start(QStringLiteral("bash"), {"-c", "\"$0\" \"$@\" | head -1 >/dev/null; exit ${PIPESTATUS[0]}",
                                         STEPPERTOOL_PATH, "--port", simulator->devicePath(), "--restore", wanted});
    QVERIFY(shell.waitForFinished(30000));
    QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());
    const QString log = simulatorLog();
    QCOMPARE(writesIn(log), 4);
    QVERIFY(log.contains(QStringLiteral("write 0x0030 <- 9")));
}

// CR, LF and CRLF all end a line, and line numbers count them alike; a file
// that holds no value is refused, not read as "nothing differs".
void TestParamSets::lineEndsAndEmptyFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.csv"));
    for (const QByteArray &end : {QByteArray("\r"), QByteArray("\n"), QByteArray("\r\n")}) {
        writeFile(path, "# note" + end + "address,value" + end + "0x0010,1500" + end + "0x0011,x" + end + end
                            + "0x0012,7" + end);
        ParameterFile file;
        QVERIFY(readParameterFile(path, &file));
        QCOMPARE(file.entries.size(), 2);
        QCOMPARE(file.entries.at(1).line, 6);
        QCOMPARE(file.entries.at(1).value, 7);
        QCOMPARE(file.problems, QStringList{QStringLiteral("第 4 行：值“x”不是十进制数")});
    }
    for (const QByteArray &empty : {QByteArray("address,value\n"), QByteArray("# a\raddress,value\r\r")}) {
        writeFile(path, empty);
        ParameterFile file;
        QVERIFY(readParameterFile(path, &file));
        QCOMPARE(file.problems, QStringList{QStringLiteral("文件中没有寄存器值")});
    }
    // Excel on a Chinese Windows saves its CSV in GBK.
    writeFile(path, QTextCodec::codecForName("GB18030")->fromUnicode(
                        QStringLiteral("address,value,name,shown\n0x0015,0,方向,正转 (0)\n")));
    ParameterFile gbk;
    QVERIFY(readParameterFile(path, &gbk));
    QCOMPARE(gbk.entries.first().shown, QStringLiteral("正转 (0)"));
}

// Values are compared in the row's type, whatever form the file gives
// them in; only a value to be written is held against the map's range;
// write-only rows are never compared.
void TestParamSets::compareTakesEachRowInItsType()
{
    QList<RegisterInfo> map;
    for (const char *line :
         {"indexes:0x0002,permission:R,defaultValue:0,rangeValue:0~50.0,name:Bus,remarks:,scale:0.1,unit:V",
          "indexes:0x0010,permission:RW,defaultValue:0,rangeValue:100~6000,name:Current,remarks:",
          "indexes:0x0020,permission:RW,defaultValue:0,rangeValue:-100000~100000,name:Position,remarks:,type:s32",
          "indexes:0x0023,permission:RW,defaultValue:0,rangeValue:-10.0~10.0,name:Angle,remarks:,type:s16,scale:0.5,unit:°",
          "indexes:0x0030,permission:W,defaultValue:0,rangeValue:0~1,name:Reset,remarks:"})
        map.append(parseRegisterLine(QString::fromUtf8(line)));
    const RowValues driver = {{0x02, 504}, {0x10, 3000}, {0x20, -1200}, {0x23, -7}};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.csv"));
    auto compared = [&](const QByteArray &text, QStringList *problems) {
        writeFile(path, text);
        ParameterFile file;
        readParameterFile(path, &file);
        *problems = file.problems + restoreProblems(file.entries, map);
        QList<CompareState> states;
        for (const CompareRow &row : compareParameters(file.entries, map, driver))
            states.append(row.state);
        return states;
    };
    QStringList problems;
    QCOMPARE(compared("address,value,type,shown\n0x0002,504,u16,50.4 V\n0x0023,65529,s16,-3.5 °\n"
                      "0x0010,7000,u16,7000\n0x0030,1,u16,1\n0x0020,-1200,s32,-1200\n", &problems),
             (QList<CompareState>{CompareState::Same, CompareState::Same, CompareState::OutOfRange,
                                  CompareState::WriteOnly, CompareState::Same}));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    writeFile(path, "address,value\n0x0010,7000\n0x0002,510\n");
    ParameterFile file;
    readParameterFile(path, &file);
    const QList<CompareRow> rows = compareParameters(file.entries, map, driver);
    QCOMPARE(rows.at(1).state, CompareState::NotWritable);
    QCOMPARE(outOfRangeLabels(rows), QStringList{QStringLiteral("0x0010 Current 值 7000（范围 100~6000）")});

    // A file without types: the s16's pattern is the same value; a 32-bit
    // row needs the type.
    QCOMPARE(compared("address,value\n0x0023,65529\n0x0020,-1000\n", &problems).first(), CompareState::Same);
    QCOMPARE(problems, QStringList{QStringLiteral("第 3 行：0x0020 的行是 s32 类型：请给出 type 列，如本工具保存的文件")});

    // A shown text that is not the value is a state of its own, naming
    // both, and nothing of the file is written; a blank shown leaves the
    // value to count.
    QCOMPARE(compared("address,value,type,shown\n0x0023,-7,s16,-3.0 °\n0x0002,504,u16,\n", &problems),
             (QList<CompareState>{CompareState::ShownDisagrees, CompareState::Same}));
    const QString both = QStringLiteral("值与显示不符：值 -7 即“-3.5 °”，shown 列为“-3.0 °”");
    QCOMPARE(problems, QStringList{QStringLiteral("第 2 行：0x0023 的") + both});
    ParameterFile shownDiffers;
    readParameterFile(path, &shownDiffers);
    QCOMPARE(compareParameters(shownDiffers.entries, map, driver).first().stateText(), both);
    // Two values for one address: neither line reads as the file's.
    QCOMPARE(compared("address,value\n0x0010,3000\n0x0002,504\n0x0010,2000\n", &problems),
             (QList<CompareState>{CompareState::GivenTwice, CompareState::Same, CompareState::GivenTwice}));
    QCOMPARE(problems.size(), 1);
}

// The command line against a driver whose bus voltage is above the map's
// range and whose command register refuses reads: backups and undo files
// restore, out-of-range writes need --allow-out-of-range, --skip takes a
// whole 32-bit row and refuses a typo, commands go only when named.
void TestParamSets::restoreWritesOnlyWhatWasAskedFor()
{
    WorkFolder work(guardedMap);
    folder = &work;
    QVERIFY(startSimulator({"--write-only", "0x0020"}));
    const QString port = simulator->devicePath();
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    Run run = steppertool({"--port", port, "--backup", saved});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QVERIFY(!dataLines(saved).contains("0x0020"));
    run = steppertool({"--port", port, "--restore", saved});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QVERIFY(!simulatorLog().contains(QStringLiteral("0x0020")));

    const QString crOnly = work.path() + QStringLiteral("/cr.csv");
    writeFile(crOnly, "address,value,name\r0x0010,1500,Run current\r0x0002,480,Bus\r");
    run = steppertool({"--port", port, "--compare", crOnly});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.out.contains(QStringLiteral("compare: 2 registers, 1 differs (and 1 read-only one differs)")),
             qPrintable(run.out));
    writeFile(crOnly, "address,value\r");
    run = steppertool({"--port", port, "--restore", crOnly});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("the file holds no register value")), qPrintable(run.err));

    const QString wanted = work.path() + QStringLiteral("/wanted.csv");
    writeFile(wanted, "address,value,type\n0x0010,7000,u16\n0x0018,-1000,s32\n0x0020,1,u16\n");
    run = steppertool({"--port", port, "--restore", wanted});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("outside the map's range: 0x0010 Run current value 7000 (range 100~6000); "
                                             "nothing was written; give --allow-out-of-range")), qPrintable(run.err));
    run = steppertool({"--port", port, "--restore", wanted, "--skip", "0x9999"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("--skip 0x9999 names no register of the map or of the file")),
             qPrintable(run.err));
    QCOMPARE(writesIn(simulatorLog()), 0);

    run = steppertool({"--port", port, "--restore", wanted, "--allow-out-of-range", "--skip", "0x0019"});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QVERIFY(run.out.contains(QStringLiteral("0x0018\tskipped\t")));
    QVERIFY2(run.out.contains(QStringLiteral("restore: 1 of 1 register written and confirmed; write-only, not written "
                                             "(name them with --include-write-only): 0x0020 Alarm reset")),
             qPrintable(run.out));
    QString log = simulatorLog();
    QVERIFY(log.contains(QStringLiteral("write 0x0010 <- 7000")));
    QCOMPARE(writesIn(log), 1);

    run = steppertool({"--port", port, "--restore", wanted, "--include-write-only", "0x0020", "--skip", "0x0018"});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QVERIFY2(run.out.contains(QStringLiteral("0x0020\twritten\t1\tAlarm reset")), qPrintable(run.out));
    QVERIFY(simulatorLog().contains(QStringLiteral("write 0x0020 <- 1")));

    // The undo file of a restore holds the driver's 7000 and puts it back.
    run = steppertool({"--port", port, "--restore", saved});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    const QString undo = QRegularExpression(QStringLiteral("undo file: (\\S+)")).match(run.out).captured(1);
    run = steppertool({"--port", port, "--restore", undo});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QCOMPARE(simulatorLog().count(QStringLiteral("write 0x0010 <- 7000")), 2);
    QVERIFY(!simulatorLog().contains(QStringLiteral("read 0x0020")));
}

// The window never reads the command register; its compare dialog asks
// before writing a value outside the map's range, and sends a command only
// when its tick is set by hand.
void TestParamSets::dialogAsksBeforeOutOfRangeAndCommands()
{
    WorkFolder work(guardedMap);
    folder = &work;
    QVERIFY(startSimulator({"--write-only", "0x0020"}));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QComboBox *>("comboBox_port")->lineEdit()->setText(simulator->devicePath());
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(window, 15000));
    ParameterSetsPanel *panel = window.findChild<ParameterSetsPanel *>();
    const QString path = work.path() + QStringLiteral("/load.csv");
    writeFile(path, "address,value\n0x0010,7000\n0x0020,1\n");
    panel->loadFrom(DriverContext{MainWindowInspector::registerList(window), simulator->devicePath(), 1,
                                  QStringLiteral("RegisterInfo")}, path);
    QTRY_VERIFY_WITH_TIMEOUT(panel->dialog() && panel->dialog()->isVisible() && !panel->isBusy(), 10000);
    auto *table = panel->dialog()->findChild<QTableWidget *>("tableWidget_compare");
    QCOMPARE(table->item(0, 6)->text(), QStringLiteral("超出范围"));
    QCOMPARE(table->item(0, 0)->checkState(), Qt::Checked);
    QCOMPARE(table->item(1, 6)->text(), QStringLiteral("只写，未读取"));
    QCOMPARE(table->item(1, 0)->checkState(), Qt::Unchecked);
    auto *write = panel->dialog()->findChild<QPushButton *>("pushButton_write");
    {
        QuestionAnswer no(QMessageBox::No);
        QTest::mouseClick(write, Qt::LeftButton);
        QVERIFY(no.text.contains(QStringLiteral("0x0010 Run current 值 7000（范围 100~6000）")));
    }
    QTest::qWait(300);
    QCOMPARE(writesIn(simulatorLog()), 0);
    table->item(1, 0)->setCheckState(Qt::Checked);
    QuestionAnswer yes(QMessageBox::Yes);
    QTest::mouseClick(write, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(table->item(1, 6)->text(), QStringLiteral("已写入"), 10000);
    QCOMPARE(table->item(0, 6)->text(), QStringLiteral("已写入"));
    const QString log = simulatorLog();
    QVERIFY(log.contains(QStringLiteral("write 0x0010 <- 7000")));
    QVERIFY(log.contains(QStringLiteral("write 0x0020 <- 1")));
    QVERIFY2(!log.contains(QStringLiteral("read 0x0020")) && !log.contains(QStringLiteral("address 0x0020")),
             qPrintable(log));
    // A command register's value outside its range is asked about like any
    // other row's, in the dialog and on the command line.
    writeFile(path, "address,value\n0x0020,5\n");
    panel->loadFrom(DriverContext{MainWindowInspector::registerList(window), simulator->devicePath(), 1,
                                  QStringLiteral("RegisterInfo")}, path);
    QTRY_VERIFY_WITH_TIMEOUT(!panel->isBusy() && table->rowCount() == 1, 10000);
    table->item(0, 0)->setCheckState(Qt::Checked);
    {
        QuestionAnswer no(QMessageBox::No);
        QTest::mouseClick(write, Qt::LeftButton);
        QVERIFY2(no.text.contains(QStringLiteral("0x0020 Alarm reset 值 5（范围 0~1）")), qPrintable(no.text));
    }
    // The value editor's write still reaches the command register.
    MainWindowInspector::requestWrite(window, 3, ModbusMaster::instance()->writeCmd(1, 0x0020, 0));
    QTRY_VERIFY_WITH_TIMEOUT(simulatorLog().contains(QStringLiteral("write 0x0020 <- 0")), 5000);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    const Run run = steppertool({"--port", simulator->devicePath(), "--restore", path, "--include-write-only",
                                 "0x0020"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("outside the map's range: 0x0020 Alarm reset value 5 (range 0~1)")),
             qPrintable(run.err));
    QVERIFY2(!simulatorLog().contains(QStringLiteral("write 0x0020 <- 5")), qPrintable(simulatorLog()));
}

// A backup records the driver's identity; a file of another model is not
// written unless asked for, and an identity row the driver does not answer
// is no match either. The serial number is never compared.
void TestParamSets::restoreRefusesAnotherModel()
{
    WorkFolder work(identityMap);
    folder = &work;
    QVERIFY(startSimulator());
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    Run run = steppertool({"--port", simulator->devicePath(), "--backup", saved});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QFile savedFile(saved);
    QVERIFY(savedFile.open(QIODevice::ReadOnly));
    QVERIFY(savedFile.readAll().contains("\n# identity 0x0040=8964 0x0041=112 0x0042=81234\n"));

    // Serial 5: its two registers.
    const QStringList otherUnit = {"--set", "0x0042=0", "--set", "0x0043=5"};
    QVERIFY(startSimulator(otherUnit + QStringList{"--set", "0x0040=0x2305", "--set", "0x0010=2000"}));
    const QString port = simulator->devicePath();
    run = steppertool({"--port", port, "--restore", saved});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err, QStringLiteral(
        "steppertool: the file is for 型号 Model 8964 · 固件 Firmware 1.12 · 序列号 Serial 81234 but the driver "
        "is 型号 Model 8965 · 固件 Firmware 1.12 · 序列号 Serial 5 (型号 Model 8964 ≠ 8965); nothing written "
        "(--ignore-identity writes anyway)\n"));
    run = steppertool({"--port", port, "--restore", saved, "--dry-run"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.out.contains(QStringLiteral("0x0010\twould write\tfile 3000\tdriver 2000"))
                 && run.out.contains(QStringLiteral("dry run: the identity differs")), qPrintable(run.out));
    run = steppertool({"--port", port, "--compare", saved});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.out.startsWith(QStringLiteral("identity differs: the file is for 型号 Model 8964")), qPrintable(run.out));
    QCOMPARE(writesIn(simulatorLog()), 0);

    run = steppertool({"--port", port, "--restore", saved, "--ignore-identity"});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QVERIFY(run.err.contains(QStringLiteral("writing anyway")));
    QVERIFY(simulatorLog().contains(QStringLiteral("write 0x0010 <- 3000")));
    QCOMPARE(writesIn(simulatorLog()), 1);
    // The undo file is the driver's, and goes back to it without a question.
    const QString undo = QRegularExpression(QStringLiteral("undo file: (\\S+)")).match(run.out).captured(1);
    ParameterFile undoFile;
    QVERIFY(readParameterFile(undo, &undoFile));
    QCOMPARE(undoFile.identity.comment(), QStringLiteral("identity 0x0040=8965 0x0041=112 0x0042=5"));
    run = steppertool({"--port", port, "--restore", undo});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QVERIFY(simulatorLog().contains(QStringLiteral("write 0x0010 <- 2000")));

    // Another unit of the same model takes the file; a model it will not
    // tell does not.
    QVERIFY(startSimulator(otherUnit + QStringList{"--write-only", "0x0041"}));
    run = steppertool({"--port", simulator->devicePath(), "--restore", saved});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("固件 Firmware ? · 序列号 Serial 5 (固件 Firmware 1.12 ≠ ?)")),
             qPrintable(run.err));
    QVERIFY(startSimulator(otherUnit + QStringList{"--set", "0x0010=2000"}));
    run = steppertool({"--port", simulator->devicePath(), "--restore", saved});
    QVERIFY2(run.status == 0 && run.err.isEmpty(), qPrintable(run.out + run.err));
    QCOMPARE(writesIn(simulatorLog()), 1);

    // An identity line that cannot be read refuses the file; identity rows
    // the map does not name leave nothing to compare.
    const QString edited = work.path() + QStringLiteral("/edited.csv");
    for (const QByteArray &line : {QByteArray("# identity 0x0040=model"), QByteArray("# Identity 0x0040=8965")}) {
        writeFile(edited, line + "\naddress,value\n0x0010,2500\n");
        run = steppertool({"--port", simulator->devicePath(), "--restore", edited});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.startsWith(edited + QStringLiteral(": line 1: ")), qPrintable(run.err));
    }
    // A file that names no driver of the map's (no identity line of its
    // rows, no identity rows) is written only when told to.
    writeFile(edited, "# identity 0x0050=1\naddress,value\n0x0010,2500\n");
    run = steppertool({"--port", simulator->devicePath(), "--restore", edited});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("identity not recorded")), qPrintable(run.err));
    QCOMPARE(writesIn(simulatorLog()), 1);
    run = steppertool({"--port", simulator->devicePath(), "--restore", edited, "--ignore-identity"});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QCOMPARE(writesIn(simulatorLog()), 2);

    // A file that records the identity in part vouches for no model; and a
    // restore never renames a driver, even where the map lets the model
    // row be written.
    writeFile(edited, "# identity 0x0041=112\naddress,value\n0x0010,2600\n");
    run = steppertool({"--port", simulator->devicePath(), "--restore", edited});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("型号 Model ? ≠ 8964")), qPrintable(run.err));
    // Without an identity line the file's own model row speaks for it: it
    // is another model's, and nothing is written; told to write anyway, the
    // model row still is not, though the map lets it be written and lists
    // a plain line before the identity one.
    QByteArray writableModel = identityMap;
    writableModel.replace("indexes:0x0040,permission:R,", "indexes:0x0040,permission:RW,name:型号 Model\n"
                                                          "indexes:0x0040,permission:RW,");
    writeFile(work.path() + QStringLiteral("/rwmodel.map"), writableModel);
    writeFile(edited, "address,value\n0x0040,8965\n0x0010,2600\n");
    run = steppertool({"--port", simulator->devicePath(), "--map", "rwmodel.map", "--restore", edited});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("型号 Model 8965 ≠ 8964")), qPrintable(run.err));
    QCOMPARE(writesIn(simulatorLog()), 2);
    run = steppertool({"--port", simulator->devicePath(), "--map", "rwmodel.map", "--restore", edited,
                       "--ignore-identity"});
    QVERIFY2(run.status == 0 && run.out.contains(QStringLiteral("0x0040\tdiffers, not writable")),
             qPrintable(run.out + run.err));
    QVERIFY(!simulatorLog().contains(QStringLiteral("write 0x0040")));
    QCOMPARE(writesIn(simulatorLog()), 3);
}

// The dialog shows both identities and writes another model's file only
// after its "write anyway" button; the window's backup records the identity.
void TestParamSets::dialogWritesAnotherModelOnlyWhenAsked()
{
    WorkFolder work(identityMap);
    folder = &work;
    QVERIFY(startSimulator({"--set", "0x0040=0x2305"}));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QComboBox *>("comboBox_port")->lineEdit()->setText(simulator->devicePath());
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(window, 15000));
    ParameterSetsPanel *panel = window.findChild<ParameterSetsPanel *>();
    const DriverContext context{MainWindowInspector::registerList(window), simulator->devicePath(), 1,
                                QStringLiteral("RegisterInfo")};
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    panel->backupTo(context, saved);
    QTRY_VERIFY_WITH_TIMEOUT(!panel->isBusy() && QFile::exists(saved), 10000);
    ParameterFile backup;
    QVERIFY(readParameterFile(saved, &backup));
    QCOMPARE(backup.identity.comment(), QStringLiteral("identity 0x0040=8965 0x0041=112 0x0042=81234"));

    const QString path = work.path() + QStringLiteral("/load.csv");
    writeFile(path, "# identity 0x0040=8964 0x0041=112 0x0042=7\naddress,value\n0x0010,2000\n");
    panel->loadFrom(context, path);
    QTRY_VERIFY_WITH_TIMEOUT(panel->dialog() && panel->dialog()->isVisible() && !panel->isBusy(), 10000);
    CompareDialog *dialog = panel->dialog();
    QCOMPARE(dialog->findChild<QLabel *>("label_fileIdentity")->text(),
             QStringLiteral("文件：型号 Model 8964 · 固件 Firmware 1.12 · 序列号 Serial 7"));
    QCOMPARE(dialog->findChild<QLabel *>("label_driverIdentity")->text(),
             QStringLiteral("驱动器：型号 Model 8965 · 固件 Firmware 1.12 · 序列号 Serial 81234"));
    auto *write = dialog->findChild<QPushButton *>("pushButton_write");
    {
        QuestionAnswer dontWrite(QMessageBox::NoButton, QStringLiteral("不写入"));
        QTest::mouseClick(write, Qt::LeftButton);
        QCOMPARE(dontWrite.defaultButton, QStringLiteral("不写入"));
    }
    QTest::qWait(300);
    QCOMPARE(writesIn(simulatorLog()), 0);
    QuestionAnswer writeAnyway(QMessageBox::NoButton, QStringLiteral("仍然写入（型号 Model 8964 ≠ 8965）"));
    QTest::mouseClick(write, Qt::LeftButton);
    auto *table = dialog->findChild<QTableWidget *>("tableWidget_compare");
    QTRY_COMPARE_WITH_TIMEOUT(table->item(0, 6)->text(), QStringLiteral("已写入"), 10000);
    QVERIFY(simulatorLog().contains(QStringLiteral("write 0x0010 <- 2000")));
    QCOMPARE(writesIn(simulatorLog()), 1);

    // A file that names no driver is asked about, naming the map's rows.
    writeFile(path, "address,value\n0x0010,2100\n");
    panel->loadFrom(context, path);
    QTRY_VERIFY_WITH_TIMEOUT(!panel->isBusy() && dialog->isVisible(), 10000);
    {
        QuestionAnswer dontWrite(QMessageBox::NoButton, QStringLiteral("不写入"));
        QTest::mouseClick(write, Qt::LeftButton);
        QVERIFY2(dontWrite.text.contains(QStringLiteral("0x0040 型号 Model, 0x0041 固件 Firmware")),
                 qPrintable(dontWrite.text));
        QCOMPARE(dontWrite.defaultButton, QStringLiteral("不写入"));
    }
    QTest::qWait(300);
    QCOMPARE(writesIn(simulatorLog()), 1);
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
}

QTEST_MAIN(TestParamSets)
#include "tst_paramsets.moc"

// Each row in its type end to end: backups read a 32-bit row whole, alone
// or in a block, and give the same file; a restore writes a 32-bit row with
// one function-16 frame, confirmed by its read back; writeFunction:16 moves
// single registers to function 16 too; a driver without function 16 is told
// apart and never gets two halves.
void TestParamSets::typedRowsBackupAndRestoreWhole()
{
    WorkFolder work(typedMap("wordOrder:hl"));
    folder = &work;
    QVERIFY(startSimulator());
    const QString port = simulator->devicePath();
    const QString single = work.path() + QStringLiteral("/single.csv");
    Run run = steppertool({"--port", port, "--backup", single});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    for (const char *shown : {"0x0011\t-10\t", "0x0012\t74565\t", "0x0014\t-1200\t", "0x0016\t-1200\t",
                              "0x0018\t48.0 V\t", "0x0019\tovercurrent (1)\t", "0x001A\tenable|run (0x0003)\t"})
        QVERIFY2(run.out.contains(QLatin1String(shown)), qPrintable(run.out));
    QString log = simulatorLog();
    QVERIFY2(log.contains(QStringLiteral("read 0x0014 x2 -> 65535 64336\n")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("read 0x0016 x2 -> 64336 65535\n")), qPrintable(log));
    const QByteArray saved = dataLines(single);
    QVERIFY2(saved.startsWith("address,value,name,permission,range,type,shown\n"), saved.constData());
    QVERIFY2(saved.contains("0x0014,-1200,Position,RW,-100000~100000,s32,-1200\n"), saved.constData());
    QVERIFY2(saved.contains("0x0016,-1200,Target,RW,-100000~200000,s32,-1200\n"), saved.constData());
    QVERIFY2(saved.contains("0x0018,480,Bus voltage,RW,0~60.0,u16,48.0 V\n"), saved.constData());
    QCOMPARE(saved.count('\n'), 9);

    writeFile(work.path() + QStringLiteral("/RegisterInfo"), typedMap("wordOrder:hl,blockRead:100"));
    const QString block = work.path() + QStringLiteral("/block.csv");
    run = steppertool({"--port", port, "--backup", block});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QCOMPARE(dataLines(block), saved);
    QVERIFY2(simulatorLog().endsWith(QStringLiteral("read 0x0010 x11 -> 3000 65526 1 9029 65535 64336 64336 65535 480 1 3\n")),
             qPrintable(simulatorLog()));

    const QString wanted = work.path() + QStringLiteral("/wanted.csv");
    writeFile(wanted, "address,value,type\n0x0010,3100,u16\n0x0011,-50,s16\n0x0012,70000,u32\n"
                      "0x0014,-1199,s32\n0x0016,123456,s32\n0x0018,500,u16\n0x0019,2,u16\n0x001A,5,u16\n");
    run = steppertool({"--port", port, "--compare", wanted});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.out.contains(QStringLiteral("0x0018\tdiffers\tfile 50.0 V\tdriver 48.0 V")), qPrintable(run.out));
    QVERIFY2(run.out.contains(QStringLiteral("0x0019\tdiffers\tfile overvoltage (2)\tdriver overcurrent (1)")),
             qPrintable(run.out));
    const int before = simulatorLog().size();
    run = steppertool({"--port", port, "--restore", wanted});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QVERIFY2(run.out.contains(QStringLiteral("restore: 8 of 8 registers written and confirmed")), qPrintable(run.out));
    log = simulatorLog().mid(before);
    QCOMPARE(log.count(QStringLiteral("write multiple")), 3);
    for (const char *write : {"write multiple 0x0012 x2\n", "32-bit 0x0012 <- 70000\n", "32-bit 0x0014 <- -1199\n",
                              "write multiple 0x0016 x2\nsimdriver: write 0x0016 <- 57920\nsimdriver: write 0x0017 <- 1\n",
                              "32-bit 0x0016 <- 123456\n", "write 0x0011 <- 65486\n", "write 0x0018 <- 500\n"})
        QVERIFY2(log.contains(QLatin1String(write)), qPrintable(log));
    QVERIFY(!log.contains(QStringLiteral("half of 32-bit")));
    QCOMPARE(steppertool({"--port", port, "--compare", wanted}).status, 0);

    // Back to the backup, every row through function 16.
    writeFile(work.path() + QStringLiteral("/RegisterInfo"), typedMap("wordOrder:hl,writeFunction:16"));
    run = steppertool({"--port", port, "--restore", single});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    log = simulatorLog();
    QCOMPARE(log.count(QStringLiteral("write multiple")), 3 + 8);
    QVERIFY2(log.contains(QStringLiteral("write multiple 0x0018 x1\n")), qPrintable(log));

    QVERIFY(startSimulator({"--refuse-function", "16"}));
    run = steppertool({"--port", simulator->devicePath(), "--restore", wanted});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.out.contains(QStringLiteral("0x0014\tFAILED\t-1199\tthe driver does not take function 16 "
                                             "(write multiple registers): Modbus exception 01: illegal function")),
             qPrintable(run.out));
    QCOMPARE(writesIn(simulatorLog()), 0);

    // A driver without 0x001B refuses the block: its rows are read one by one.
    writeFile(work.path() + QStringLiteral("/driver"), typedMap("wordOrder:hl"));
    writeFile(work.path() + QStringLiteral("/RegisterInfo"),
              typedMap("wordOrder:hl,blockRead:100")
                  + "indexes:0x001B,permission:RW,defaultValue:0x0000,rangeValue:0~9,name:Extra,remarks:\n");
    delete simulator;
    simulator = new Simulator;
    QVERIFY(simulator->start(work.path() + QStringLiteral("/driver")));
    run = steppertool({"--port", simulator->devicePath(), "--backup", block});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.err.contains(QStringLiteral("0x001B Extra unread: Modbus exception 02")), qPrintable(run.err));
    QCOMPARE(dataLines(block), saved);
    log = simulatorLog();
    QVERIFY2(log.contains(QStringLiteral("read 0x0014 x2 -> 65535 64336\n")), qPrintable(log));

    // A row of its own inside a 32-bit row: neither is written, as either
    // would change half of the other.
    writeFile(work.path() + QStringLiteral("/RegisterInfo"),
              typedMap("wordOrder:hl")
                  + "indexes:0x0013,permission:RW,defaultValue:0x0000,rangeValue:0~65535,name:Count low,remarks:\n");
    const QString halves = work.path() + QStringLiteral("/halves.csv");
    writeFile(halves, "address,value,type\n0x0013,7,u16\n0x0012,70000,u32\n");
    run = steppertool({"--port", simulator->devicePath(), "--restore", halves});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("line 4: 32-bit register 0x0012 also takes 0x0013, which line 10 has")),
             qPrintable(run.err));
    QCOMPARE(writesIn(simulatorLog()), 0);
}

// At 1200 baud a character takes over 8 ms: a driver that pauses 4 ms
// between the bytes of its replies, as Modbus RTU allows, is read whole.
void TestParamSets::slowLineWithPausesInRepliesIsReadWhole()
{
    WorkFolder work(driverMap);
    folder = &work;
    const QString saved = work.path() + QStringLiteral("/saved.csv");
    QVERIFY(startSimulator({"--pace", "--baud", "1200", "--byte-gap", "4"}));
    const Run run = steppertool({"--port", simulator->devicePath(), "--baud", "1200", "--backup", saved});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QVERIFY2(run.out.contains(QStringLiteral("backup: 5 registers saved")), qPrintable(run.out));
}

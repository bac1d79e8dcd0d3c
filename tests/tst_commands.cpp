#include <QtTest>
#include <QRegularExpression>
#include <QTableWidget>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTextEdit>

#include <memory>

#include <signal.h>

#include "ui/mainwindow.h"
#include "ui/commands/commandpanel.h"
#include "ui/paramsets/parametersetspanel.h"
#include "ui/scan/scandialog.h"

#include "scan/scanrun.h"
#include "protocol/modbusmaster.h"
#include "serial/serial.h"
#include "support/logview.h"
#include "support/refreshwait.h"
#include "support/simulator.h"
#include "support/toolprocess.h"
#include "support/windowinternals.h"
#include "support/workfolder.h"

namespace {

const QByteArray commandMap(
    "slaveAddress:1,txTime:5,rxOutTime:300\n"
    "indexes:0x0000,permission:R,defaultValue:0x0001,rangeValue:0~65535,name:Status,remarks:\n"
    "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:100~6000,name:Run current,remarks:\n"
    "indexes:0x0011,permission:RW,defaultValue:0x0032,rangeValue:10~100,name:Hold current,remarks:\n"
    "indexes:0x0020,permission:W,defaultValue:0x0000,rangeValue:0~1,name:Alarm reset,remarks:,"
    "command:Alarm reset=1,confirm:Clear the alarm?\n"
    "indexes:0x0021,permission:W,defaultValue:0x0000,rangeValue:0~1,name:Save,remarks:,"
    "command:Save=1,save:Save,confirm:Save to memory?\n"
    "indexes:0x0022,permission:W,defaultValue:0x0000,rangeValue:0~65535,name:Factory reset,remarks:,"
    "command:Factory reset=0x5AA5,danger:Factory reset,confirm:Every setting is lost!\n");

// Answers the next question box with `answer`, keeping what it said.
struct QuestionAnswer
{
    explicit QuestionAnswer(QMessageBox::StandardButton answer)
    {
        QObject::connect(&poll, &QTimer::timeout, [this, answer] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            text = box->text() + QLatin1Char('\n') + box->informativeText();
            defaultButton = box->standardButton(box->defaultButton());
            box->button(answer)->click();
        });
        poll.start(20);
    }

    QTimer poll;
    QString text;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

bool portOpen()
{
    return Serial::instance()->serialPort->isOpen();
}

} // namespace

// The map's commands as a technician sends them: the window's buttons and
// the command line, against tools/simdriver.
class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void buttonsSendOnlyWhatWasConfirmedOnAFreeLine();
    void commandLineSendsByName();
    void commandLineNamesWhatItRefuses();
    void closingAsksToSaveWhatWasWritten();
    void eachDriverWrittenIsSaved();
    void droppedMapAsksToSave();
    void scanHitAsksToSave();
    void dangerValueAsksOnEveryWindowPath();

private:
    void openWindow(MainWindow &window, const QStringList &simulatorOptions = {});
    QPushButton *button(MainWindow &window, const QString &text);
    // How often the simulator took the write, once the tool is done.
    int writesOf(const QString &line);

    bool startSimulator(const QStringList &options = {});

    WorkFolder *folder = nullptr;
    std::unique_ptr<Simulator> simulator;
};

bool TestCommands::startSimulator(const QStringList &options)
{
    simulator = std::make_unique<Simulator>();
    return simulator->start(folder->path() + QStringLiteral("/RegisterInfo"), options);
}

static QString logText(const QWidget &window)
{
    QStringList texts;
    for (const LogLine &line : logLines(window))
        texts << line.text;
    return texts.join(QLatin1Char('\n'));
}

// A window that closed leaves the one serial port as it was.
void TestCommands::cleanup()
{
    Serial::instance()->serialPort->close();
}

void TestCommands::openWindow(MainWindow &window, const QStringList &simulatorOptions)
{
    QVERIFY(startSimulator(simulatorOptions));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QComboBox *>("comboBox_port")->lineEdit()->setText(simulator->devicePath());
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
    QVERIFY(portOpen());
    QVERIFY(waitForRefreshDone(window, 15000));
}

QPushButton *TestCommands::button(MainWindow &window, const QString &text)
{
    for (QPushButton *each : window.findChild<CommandPanel *>()->findChildren<QPushButton *>()) {
        if (each->text().endsWith(text))
            return each;
    }
    return nullptr;
}

int TestCommands::writesOf(const QString &line)
{
    QTest::qWait(100);
    return simulator->log().count(line);
}

void TestCommands::buttonsSendOnlyWhatWasConfirmedOnAFreeLine()
{
    WorkFolder work(commandMap);
    folder = &work;
    MainWindow window;
    auto *panel = window.findChild<CommandPanel *>();
    QVERIFY(panel);
    QPushButton *reset = button(window, QStringLiteral("Alarm reset"));
    QPushButton *factory = button(window, QStringLiteral("Factory reset"));
    auto *tick = panel->findChild<QCheckBox *>("dangerTick");
    QVERIFY(reset && factory && tick);
    QVERIFY(!reset->isEnabled());
    // Command rows show no value, only what the tool wrote to this driver.
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    const auto written = [table](int row, const QString &value) {
        return QRegularExpression(QStringLiteral("^已写入 %1（\\d\\d:\\d\\d）$").arg(value))
            .match(table->item(row, 1)->text())
            .hasMatch();
    };
    QCOMPARE(table->item(5, 1)->text(), QStringLiteral("—"));
    openWindow(window, {"--delay", "40"});
    QVERIFY(panel->isVisible());
    QVERIFY(reset->isEnabled());

    // No, the default, sends nothing; the question shows the exact frame.
    {
        QuestionAnswer no(QMessageBox::No);
        QTest::mouseClick(reset, Qt::LeftButton);
        QVERIFY2(no.text.contains(QStringLiteral("Clear the alarm?")) && no.text.contains(QStringLiteral("01 06 00 20 00 01 49 C0")),
                 qPrintable(no.text));
        QCOMPARE(no.defaultButton, QMessageBox::No);
    }
    QCOMPARE(writesOf(QStringLiteral("write 0x0020")), 0);
    {
        QuestionAnswer yes(QMessageBox::Yes);
        QTest::mouseClick(reset, Qt::LeftButton);
    }
    QTRY_COMPARE(writesOf(QStringLiteral("write 0x0020 <- 1")), 1);
    QCOMPARE(writesOf(QStringLiteral("command Alarm reset")), 1);
    QTRY_VERIFY(logText(window).contains(QStringLiteral("Command \"Alarm reset\": confirmed")));

    // The danger command waits for the tick, which one send uses up.
    QVERIFY(!factory->isEnabled());
    tick->setChecked(true);
    QTRY_VERIFY(factory->isEnabled());
    {
        QuestionAnswer yes(QMessageBox::Yes);
        QTest::mouseClick(factory, Qt::LeftButton);
        QVERIFY(yes.text.contains(QStringLiteral("01 06 00 22 5A A5 D3 1B")));
    }
    QTRY_COMPARE(writesOf(QStringLiteral("write 0x0022 <- 23205")), 1);
    QCOMPARE(writesOf(QStringLiteral("command Factory reset")), 1);
    QTRY_VERIFY2(written(5, QStringLiteral("23205")), qPrintable(table->item(5, 1)->text()));
    QVERIFY(written(3, QStringLiteral("1")));
    QCOMPARE(table->item(4, 1)->text(), QStringLiteral("—"));
    QVERIFY(!tick->isChecked());
    QTRY_VERIFY(reset->isEnabled());
    QVERIFY(!factory->isEnabled());

    // A backup holds the line: no command goes in between its requests.
    auto *sets = window.findChild<ParameterSetsPanel *>();
    tick->setChecked(true);
    sets->backupTo(DriverContext{MainWindowInspector::registerList(window), simulator->devicePath(), 1,
                                 QStringLiteral("RegisterInfo")},
                   work.path() + QStringLiteral("/backup.csv"));
    QVERIFY(sets->isBusy());
    QVERIFY(!reset->isEnabled() && !factory->isEnabled());
    QTest::mouseClick(reset, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!sets->isBusy(), 10000);
    QVERIFY(reset->isEnabled() && factory->isEnabled());
    QCOMPARE(writesOf(QStringLiteral("write 0x0020")), 1);

    // The factory reset changed the settings: closing asks to save them;
    // No closes, disables the buttons and takes the tick back.
    {
        QuestionAnswer no(QMessageBox::No);
        QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
        QVERIFY(no.text.contains(QStringLiteral("Save")));
    }
    QVERIFY(!portOpen());
    QCOMPARE(writesOf(QStringLiteral("write 0x0021")), 0);
    QCOMPARE(table->item(5, 1)->text(), QStringLiteral("—"));
    QVERIFY(!reset->isEnabled() && !factory->isEnabled() && !tick->isChecked());

    // A map without commands shows no group.
    const QString plain = work.path() + QStringLiteral("/plain");
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(commandMap.left(commandMap.indexOf("indexes:0x0020")));
    file.close();
    QVERIFY(window.loadRegisterMap(plain));
    QVERIFY(!panel->isVisible());
}

void TestCommands::commandLineSendsByName()
{
    WorkFolder work(commandMap);
    folder = &work;
    QVERIFY(startSimulator());
    const QString port = simulator->devicePath();

    ToolRun run = runTool(work.path(), {"--port", port, "--command", "Alarm reset"});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QVERIFY(run.out.contains(QStringLiteral("confirmed")));
    QCOMPARE(writesOf(QStringLiteral("write 0x0020 <- 1")), 1);
    QCOMPARE(writesOf(QStringLiteral("command Alarm reset")), 1);

    run = runTool(work.path(), {"--port", port, "--command", "Factory reset"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("--yes")), qPrintable(run.err));
    run = runTool(work.path(), {"--port", port, "--command", "Reboot"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("\"Alarm reset\", \"Save\", \"Factory reset\"")), qPrintable(run.err));
    run = runTool(work.path(), {"--port", port, "--command", "Alarm reset", "--command", "Factory reset", "--yes"});
    QCOMPARE(run.status, 1);
    QCOMPARE(writesOf(QStringLiteral("write 0x0022")), 0);
    QCOMPARE(writesOf(QStringLiteral("command Factory reset")), 0);

    run = runTool(work.path(), {"--port", port, "--command", "Factory reset", "--yes"});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QCOMPARE(writesOf(QStringLiteral("write 0x0022 <- 23205")), 1);
    QCOMPARE(writesOf(QStringLiteral("command Factory reset")), 1);

    // Refused, or echoed twice as by a second device at the address: never
    // reported as done.
    QVERIFY(startSimulator({"--refuse-write", "0x0020"}));
    run = runTool(work.path(), {"--port", simulator->devicePath(), "--command", "Alarm reset"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.out.contains(QStringLiteral("refused (Modbus exception 03")), qPrintable(run.out));
    // Acknowledge: taken, still being carried out.
    QVERIFY(startSimulator({"--exception", "5"}));
    run = runTool(work.path(), {"--port", simulator->devicePath(), "--command", "Alarm reset"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.out.contains(QStringLiteral("not confirmed (Modbus exception 05: acknowledge); it may have been applied")),
             qPrintable(run.out));
    QVERIFY(startSimulator({"--repeat-reply", "20"}));
    run = runTool(work.path(), {"--port", simulator->devicePath(), "--command", "Alarm reset"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.out.contains(QStringLiteral("not confirmed: a reply from address 1 came that no request asked for")), qPrintable(run.out));
    QVERIFY(!run.out.contains(QStringLiteral("confirmed by")));

    // Ctrl+C while the echo is awaited: the driver has it, and the user is
    // told it may have been applied instead of the tool vanishing.
    QVERIFY(startSimulator({"--delay", "250"}));
    QProcess process;
    process.setWorkingDirectory(work.path());
    process.start(QStringLiteral(STEPPERTOOL_PATH), {"--port", simulator->devicePath(), "--command", "Alarm reset"});
    QTRY_COMPARE_WITH_TIMEOUT(writesOf(QStringLiteral("write 0x0020 <- 1")), 1, 5000);
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    // Within its reply wait, or after the echo but before a late reply
    // could be ruled out.
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("\"Alarm reset\": not confirmed (")) && out.endsWith(QStringLiteral(
                 "); it may have been applied\n")), qPrintable(out));
    QCOMPARE(process.readAllStandardError(), QByteArray("steppertool: interrupted\n"));
}

// The command line's answers to what a technician types: part of a
// command's name, a map or file that is not there, a folder that does not
// exist, a port that will not open; counts in good English, and a file
// whose value and shown columns disagree named as such.
void TestCommands::commandLineNamesWhatItRefuses()
{
    WorkFolder work(commandMap);
    folder = &work;
    QVERIFY(startSimulator());
    const QString port = simulator->devicePath();

    ToolRun run = runTool(work.path(), {"--port", port, "--command", "aLaRm"});
    QVERIFY2(run.status == 0, qPrintable(run.out + run.err));
    QCOMPARE(writesOf(QStringLiteral("write 0x0020 <- 1")), 1);
    run = runTool(work.path(), {"--port", port, "--command", "RESET", "--yes"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("\"RESET\" may mean any of \"Alarm reset\", \"Factory reset\" (needs --yes)")),
             qPrintable(run.err));
    QCOMPARE(writesOf(QStringLiteral("write 0x0022")), 0);
    QCOMPARE(writesOf(QStringLiteral("write 0x0020")), 1);
    run = runTool(work.path(), {"--port", port, "--command", " "});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("--command needs the name, or part of it, of a command of the map "
                                             "RegisterInfo; its commands: \"Alarm reset\"")),
             qPrintable(run.err));

    // The map and a parameter file that are not there say why, and where
    // to look.
    QTemporaryDir empty;
    run = runTool(empty.path(), {"--port", port, "--command", "Save"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("cannot read the register map RegisterInfo: No such file or directory; "
                                             "give one with --map FILE")) && run.err.contains(QStringLiteral("sample map")),
             qPrintable(run.err));
    run = runTool(work.path(), {"--port", port, "--compare", "gone.csv"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("cannot read gone.csv: No such file or directory")), qPrintable(run.err));

    // Only the one folder of a FOLDER/ is made.
    run = runTool(work.path(), {"--port", port, "--backup", "missing/deeper/x.csv"});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QStringLiteral("the folder ") + work.path() + QStringLiteral("/missing/deeper does not exist")),
             qPrintable(run.err));
    run = runTool(work.path(), {"--port", port, "--backup", "missing/deeper/"});
    QCOMPARE(run.status, 1);
    QVERIFY(!QFileInfo::exists(work.path() + QStringLiteral("/missing")));
    run = runTool(work.path(), {"--port", port, "--backup", "machine/"});
    QVERIFY2(run.status == 0 && run.out.contains(QStringLiteral("backup: 3 registers saved to machine/addr01.csv")),
             qPrintable(run.out + run.err));

    // One row to write, and one whose shown column is not its value.
    QFile file(work.path() + QStringLiteral("/edited.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("address,value,shown\n0x0010,3000,\n0x0011,60,60\n");
    file.close();
    run = runTool(work.path(), {"--port", port, "--restore", "edited.csv", "--dry-run"});
    QVERIFY2(run.out.contains(QStringLiteral("dry run: 1 register would be written,")), qPrintable(run.out + run.err));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("address,value,shown\n0x0011,60,50\n");
    file.close();
    run = runTool(work.path(), {"--port", port, "--compare", "edited.csv"});
    QVERIFY2(run.status == 3 && run.out.contains(QStringLiteral("value and shown disagree: value 60 is \"60\", shown says \"50\"")),
             qPrintable(run.out + run.err));
    run = runTool(work.path(), {"--port", port, "--restore", "edited.csv"});
    QCOMPARE(run.status, 1);
    QCOMPARE(writesOf(QStringLiteral("write 0x0011")), 0);

    // A port that will not open is exit 2 whatever the run.
    for (const QStringList &action : {QStringList{"--scan", "--bauds", "9600", "--addresses", "1"},
                                      QStringList{"--backup", "x.csv"}, QStringList{"--command", "Save"}}) {
        run = runTool(work.path(), QStringList{"--port", "/dev/nonexistent-port"} + action);
        QVERIFY2(run.status == 2, qPrintable(action.first() + QLatin1Char(' ') + run.err));
    }
}

void TestCommands::closingAsksToSaveWhatWasWritten()
{
    WorkFolder work(commandMap);
    folder = &work;
    MainWindow window;
    openWindow(window);
    auto *openButton = window.findChild<QPushButton *>("pushButton_open");

    // An alarm reset changes no setting: nothing to save, no question.
    {
        QuestionAnswer yes(QMessageBox::Yes);
        QTest::mouseClick(button(window, QStringLiteral("Alarm reset")), Qt::LeftButton);
    }
    QTRY_COMPARE(writesOf(QStringLiteral("write 0x0020 <- 1")), 1);
    QTest::mouseClick(openButton, Qt::LeftButton);
    QVERIFY(!portOpen());
    QTest::mouseClick(openButton, Qt::LeftButton);
    QVERIFY(portOpen());

    auto writeRunCurrent = [&](quint16 value, int count) {
        MainWindowInspector::requestWrite(window, 1, ModbusMaster::instance()->writeCmd(1, 0x0010, value));
        QTRY_COMPARE(writesOf(QStringLiteral("write 0x0010 <- %1").arg(value)), count);
        QVERIFY(waitForRefreshDone(window, 5000));
    };
    writeRunCurrent(2500, 1);
    {
        QuestionAnswer cancel(QMessageBox::Cancel);
        QTest::mouseClick(openButton, Qt::LeftButton);
        QVERIFY2(cancel.text.contains(QStringLiteral("Save")), qPrintable(cancel.text));
        QCOMPARE(cancel.defaultButton, QMessageBox::Cancel);
    }
    QVERIFY(portOpen());
    QCOMPARE(writesOf(QStringLiteral("write 0x0021")), 0);

    // Saved with its button: nothing is left to ask about.
    {
        QuestionAnswer yes(QMessageBox::Yes);
        QTest::mouseClick(button(window, QStringLiteral("Save")), Qt::LeftButton);
    }
    QTRY_VERIFY(logText(window).contains(QStringLiteral("Command \"Save\": confirmed")));
    {
        QuestionAnswer unexpected(QMessageBox::Cancel);
        QTest::mouseClick(openButton, Qt::LeftButton);
        QVERIFY2(unexpected.text.isEmpty(), qPrintable(unexpected.text));
    }
    QVERIFY(!portOpen());

    // Yes saves first, and the port closes once the driver confirmed it.
    QTest::mouseClick(openButton, Qt::LeftButton);
    QVERIFY(portOpen());
    QVERIFY(waitForRefreshDone(window, 5000));
    writeRunCurrent(2600, 1);
    {
        QuestionAnswer yes(QMessageBox::Yes);
        QTest::mouseClick(openButton, Qt::LeftButton);
    }
    QTRY_VERIFY(!portOpen());
    QCOMPARE(writesOf(QStringLiteral("write 0x0021 <- 1")), 2);
    QCOMPARE(writesOf(QStringLiteral("saved to memory")), 2);

    // The window asks alike: Cancel keeps it, Yes closes it once saved.
    QTest::mouseClick(openButton, Qt::LeftButton);
    QVERIFY(waitForRefreshDone(window, 5000));
    writeRunCurrent(2700, 1);
    {
        QuestionAnswer cancel(QMessageBox::Cancel);
        QVERIFY(!window.close());
        QVERIFY(!cancel.text.isEmpty());
    }
    QVERIFY(window.isVisible());
    {
        QuestionAnswer yes(QMessageBox::Yes);
        window.close();
    }
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(writesOf(QStringLiteral("write 0x0021 <- 1")), 3);
}

// On a bus the window may have moved on to another driver: the save goes to
// the one that was written.
void TestCommands::eachDriverWrittenIsSaved()
{
    WorkFolder work(commandMap);
    folder = &work;
    MainWindow window;
    openWindow(window, {"--address", "1-2"});
    MainWindowInspector::requestWrite(window, 1, ModbusMaster::instance()->writeCmd(1, 0x0010, 2500));
    QTRY_COMPARE(writesOf(QStringLiteral("slave 1 write 0x0010 <- 2500")), 1);
    QVERIFY(waitForRefreshDone(window, 5000));
    auto *tick = window.findChild<CommandPanel *>()->findChild<QCheckBox *>("dangerTick");
    tick->setChecked(true);
    window.findChild<QLineEdit *>("lineEdit_deviceAddr")->setText(QStringLiteral("2"));
    QCOMPARE(MainWindowInspector::sessionSlave(window), quint8(2));
    // The tick was given for driver 1.
    QVERIFY(!tick->isChecked());
    {
        QuestionAnswer yes(QMessageBox::Yes);
        QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
        QVERIFY2(yes.text.contains(QStringLiteral("地址 1）")), qPrintable(yes.text));
    }
    QTRY_VERIFY(!portOpen());
    QCOMPARE(writesOf(QStringLiteral("slave 1 command Save")), 1);
    QCOMPARE(writesOf(QStringLiteral("slave 2 command")), 0);
}

// A map dropped on the window closes the port as 打开映射 does.
void TestCommands::droppedMapAsksToSave()
{
    WorkFolder work(commandMap);
    folder = &work;
    MainWindow window;
    openWindow(window);
    MainWindowInspector::requestWrite(window, 1, ModbusMaster::instance()->writeCmd(1, 0x0010, 2500));
    QTRY_COMPARE(writesOf(QStringLiteral("write 0x0010 <- 2500")), 1);
    QVERIFY(waitForRefreshDone(window, 5000));
    QVERIFY(QFile::copy(work.path() + QStringLiteral("/RegisterInfo"), work.path() + QStringLiteral("/other")));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(work.path() + QStringLiteral("/other"))});
    auto drop = [&](QMessageBox::StandardButton answer) {
        QuestionAnswer question(answer);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &event);
        QTest::qWaitFor([&] { return !question.text.isEmpty(); }, 3000);
        return question.text;
    };
    QVERIFY(!drop(QMessageBox::Cancel).isEmpty());
    QVERIFY(portOpen());
    QVERIFY(!window.windowTitle().endsWith(QStringLiteral("other")));
    QVERIFY(!drop(QMessageBox::Yes).isEmpty());
    QTRY_VERIFY(window.windowTitle().endsWith(QStringLiteral("other")));
    QVERIFY(!portOpen());
    QCOMPARE(writesOf(QStringLiteral("write 0x0021 <- 1")), 1);
}

// A scan's hit opens the port again, maybe to another driver.
void TestCommands::scanHitAsksToSave()
{
    WorkFolder work(commandMap);
    folder = &work;
    MainWindow window;
    openWindow(window);
    MainWindowInspector::requestWrite(window, 1, ModbusMaster::instance()->writeCmd(1, 0x0010, 2500));
    QTRY_COMPARE(writesOf(QStringLiteral("write 0x0010 <- 2500")), 1);
    QVERIFY(waitForRefreshDone(window, 5000));
    QuestionAnswer yes(QMessageBox::Yes);
    QVERIFY(QMetaObject::invokeMethod(&window, "on_pushButton_scan_clicked"));
    auto *dialog = window.findChild<ScanDialog *>();
    QVERIFY(dialog);
    ScanHit hit;
    hit.address = 1;
    hit.baud = 9600;
    emit dialog->hitChosen(hit);
    dialog->close();
    QTRY_VERIFY(!yes.text.isEmpty());
    QTRY_COMPARE(writesOf(QStringLiteral("write 0x0021 <- 1")), 1);
    QTRY_VERIFY(portOpen());
}

// A danger command's value goes nowhere without its own question: not as
// the save when leaving (a twin line gives it a save flag), not as an
// edit, not as a frame typed by hand; the driver's log says so.
void TestCommands::dangerValueAsksOnEveryWindowPath()
{
    QByteArray twinMap = commandMap;
    twinMap.replace(",save:Save,confirm:Save to memory?", "");
    twinMap += "indexes:0x0022,permission:W,defaultValue:0x0000,rangeValue:0~65535,name:Store,remarks:,"
               "command:Store=0x5AA5,save:Store\n";
    WorkFolder work(twinMap);
    folder = &work;
    auto window = std::make_unique<MainWindow>();
    openWindow(*window);
    const QByteArray reset = ModbusMaster::instance()->writeCmd(1, 0x0022, 0x5AA5);
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        QuestionAnswer question(answer);
        MainWindowInspector::requestWrite(*window, 5, reset);
        QTRY_VERIFY(!question.text.isEmpty());
        QVERIFY2(question.text.contains(QStringLiteral("Factory reset")), qPrintable(question.text));
        QCOMPARE(question.defaultButton, QMessageBox::No);
    }
    QTRY_COMPARE(writesOf(QStringLiteral("write 0x0022 <- 23205")), 1);

    window->findChild<QCheckBox *>("checkBox")->setChecked(true);
    window->findChild<QTextEdit *>("textEdit_send")->setPlainText(QString::fromLatin1(reset.toHex(' ')));
    QuestionAnswer typed(QMessageBox::No);
    QTest::mouseClick(window->findChild<QPushButton *>("pushButton_send"), Qt::LeftButton);
    QTRY_VERIFY(!typed.text.isEmpty());
    QCOMPARE(writesOf(QStringLiteral("write 0x0022 <- 23205")), 1);

    // Values were written; leaving offers no save, as the only one sends a
    // factory reset, and the window closes without a question.
    MainWindowInspector::requestWrite(*window, 1, ModbusMaster::instance()->writeCmd(1, 0x0010, 2500));
    QTRY_COMPARE(writesOf(QStringLiteral("write 0x0010 <- 2500")), 1);
    QVERIFY(waitForRefreshDone(*window, 5000));
    QuestionAnswer unasked(QMessageBox::Yes);
    window->close();
    QTest::qWait(500);
    QVERIFY2(unasked.text.isEmpty(), qPrintable(unasked.text));
    QCOMPARE(writesOf(QStringLiteral("write 0x0022 <- 23205")), 1);
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"

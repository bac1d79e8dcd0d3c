#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTableWidget>

#include "app/translation.h"
#include "ui/alarm/alarmbanner.h"
#include "ui/alarm/alarmhistorydialog.h"
#include "ui/monitor/monitordock.h"
#include "monitor/alarmwatch.h"
#include "registermap/registermap.h"
#include "registermap/registerstore.h"
#include "serial/serial.h"
#include "support/refreshwait.h"
#include "support/simulator.h"
#include "support/windowinternals.h"
#include "support/workfolder.h"

using Inspect = MainWindowInspector;

namespace {

// The map's defaults say "in alarm" (status 0x0004, code 3): only values
// read from the driver may count. The simulated driver starts without one.
const QByteArray alarmMap(
    "slaveAddress:1,txTime:10,rxOutTime:300\n"
    "indexes:0x0000,permission:R,defaultValue:0x0004,rangeValue:0~65535,name:状态字 Status word,remarks:,"
    "bits:0=使能;1=运行;2=报警,role:status,alarmBit:2\n"
    "indexes:0x0001,permission:R,defaultValue:0x0003,rangeValue:0~99,name:报警代码 Alarm code,remarks:,"
    "enum:0=无报警;1=过流;2=过压;3=欠压,role:alarm\n"
    "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:100~6000,name:运行电流 Run current,remarks:\n"
    "indexes:0x0020,permission:W,defaultValue:0x0000,rangeValue:0~1,name:报警清除 Alarm reset,remarks:,"
    "command:报警清除 Alarm reset=1\n"
    "indexes:0x0040,permission:R,defaultValue:0x2304,rangeValue:0~65535,name:型号 Model,remarks:,role:identity\n"
    "indexes:0x0041,permission:R,defaultValue:0x0070,rangeValue:0~655.35,name:固件 Firmware,remarks:,scale:0.01,"
    "role:identity\n"
    "indexes:0x0042,permission:R,defaultValue:0x00013D52,rangeValue:0~4294967295,name:序列号 Serial,remarks:,"
    "type:u32,role:serial\n");
const int resetRow = 3;

PendingCommand readOf(const RegisterStore &store, int row)
{
    return PendingCommand{QByteArray(), store.rows().at(row).address, 1, nullptr, row};
}

// Answers the export's save dialog with `fileName`, as tst_trafficlog does.
void answerSaveDialog(const QString &fileName)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, fileName] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(fileName);
        if (dialog->selectedFiles() != QStringList{fileName})
            return;
        poll->deleteLater();
        static_cast<QDialog *>(dialog)->done(QDialog::Accepted);
    });
    poll->start(50);
}

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestAlarms : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void onlyLiveValuesRaiseOrClearTheAlarm();
    void driverAlarmIsShownRecordedAndCleared();

private:
    void clickOpen();
    QWidget *openEditor(int row);

    MainWindow *window = nullptr;
    Simulator *simulator = nullptr;
    WorkFolder *folder = nullptr;
};

void TestAlarms::cleanup()
{
    if (Serial::instance()->serialPort->isOpen())
        clickOpen();
    delete window;
    window = nullptr;
    delete simulator;
    simulator = nullptr;
    delete folder;
    folder = nullptr;
}

void TestAlarms::clickOpen()
{
    QTest::mouseClick(window->findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
}

// The defaults never count; an alarm seen first by its bit takes its code;
// failed reads and a lost line leave it standing, stale, until live values
// of both rows say it is gone.
void TestAlarms::onlyLiveValuesRaiseOrClearTheAlarm()
{
    WorkFolder work{alarmMap};
    RegisterStore store;
    AlarmWatch watch(&store);
    RegisterMap map;
    QVERIFY(store.read(QStringLiteral("RegisterInfo"), &map));
    QVERIFY(watch.watches());
    QCOMPARE(watch.state(), AlarmWatch::State::None);

    store.storeReadValues(readOf(store, 0), {0x0006});
    QCOMPARE(watch.state(), AlarmWatch::State::Active);
    QCOMPARE(watch.text(), QStringLiteral("报警（状态字 bit 2 报警）"));
    store.storeReadValues(readOf(store, 1), {1});
    QCOMPARE(watch.history().size(), 1);
    QCOMPARE(watch.history().first().code, 1);
    QCOMPARE(watch.text(), QStringLiteral("报警 1：过流"));

    // The banner hears of every change between live and stale.
    QSignalSpy changed(&watch, &AlarmWatch::changed);
    store.markReadFailed(readOf(store, 1));
    store.markReadFailed(readOf(store, 0));
    QCOMPARE(watch.state(), AlarmWatch::State::Stale);
    QCOMPARE(changed.count(), 1);
    store.storeReadValues(readOf(store, 1), {1});
    QCOMPARE(watch.state(), AlarmWatch::State::Active);
    QCOMPARE(changed.count(), 2);
    store.markReadFailed(readOf(store, 1));
    QCOMPARE(watch.state(), AlarmWatch::State::Stale);
    QCOMPARE(changed.count(), 3);
    QCOMPARE(watch.text(), QStringLiteral("报警 1：过流"));
    watch.valuesLost();
    store.storeReadValues(readOf(store, 1), {0});
    QCOMPARE(watch.state(), AlarmWatch::State::Stale);
    QVERIFY(watch.history().first().cleared.isNull());

    store.storeReadValues(readOf(store, 0), {0x0003});
    QCOMPARE(watch.state(), AlarmWatch::State::None);
    QCOMPARE(watch.history().size(), 1);
    QVERIFY(!watch.history().first().cleared.isNull());

    // Another code while in alarm is another alarm.
    store.storeReadValues(readOf(store, 1), {2});
    store.storeReadValues(readOf(store, 1), {3});
    QCOMPARE(watch.history().size(), 3);
    QVERIFY(!watch.history().at(1).cleared.isNull());
    QCOMPARE(watch.text(), QStringLiteral("报警 3：欠压"));

    // Worded in the language shown now, not in the one the alarm came in.
    switchLanguage(*qApp, QStringLiteral("en"));
    QCOMPARE(watch.text(), QStringLiteral("Alarm 3: 欠压"));
    QCOMPARE(AlarmWatch::textOf(watch.history().first()), QStringLiteral("Alarm 1: 过流"));
    switchLanguage(*qApp, QStringLiteral("zh"));
    QCOMPARE(watch.text(), QStringLiteral("报警 3：欠压"));
}

QWidget *TestAlarms::openEditor(int row)
{
    auto *table = window->findChild<QTableWidget *>("tableWidget");
    const QPoint cell = table->visualRect(table->model()->index(row, 1)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("ValueEditWin") && widget->isVisible())
            return widget;
    return nullptr;
}

// The driver's identity shows once connected; its alarm raised 1.5 s after
// start shows in the banner and the history, is recorded with the plotted
// values, and clears when the window writes the alarm reset; the export
// carries the history.
void TestAlarms::driverAlarmIsShownRecordedAndCleared()
{
    folder = new WorkFolder(alarmMap);
    window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    simulator = new Simulator;
    QVERIFY(simulator->start(folder->path() + QStringLiteral("/RegisterInfo"),
                             {"--alarm", "2@1500", "--set", "0x0000=0", "--set", "0x0001=0", "--set", "0x0040=0x2305"}));
    QLineEdit *portField = window->findChild<QComboBox *>("comboBox_port")->lineEdit();
    portField->clear();
    QTest::keyClicks(portField, simulator->devicePath());
    clickOpen();
    QVERIFY(Serial::instance()->serialPort->isOpen());
    QVERIFY(waitForRefreshDone(*window, 15000));

    auto *identity = window->findChild<QLabel *>("label_identity");
    QVERIFY(identity->isVisible());
    // Whole in the tooltip; on the line as far as it fits.
    QVERIFY2(identity->toolTip().startsWith(QStringLiteral("型号 Model 8965 · 固件 Firmware 1.12 · 序列号 Serial 81234\n")),
             qPrintable(identity->toolTip()));
    const QString firstRead = simulator->log().section(QStringLiteral("simdriver: read "), 1, 1);
    QVERIFY2(firstRead.startsWith(QStringLiteral("0x0040")), qPrintable(simulator->log()));

    // Only the run current is plotted; the recording has the alarm code too.
    Inspect::liveMonitor(*window).toggleRows({2}, Inspect::registerList(*window));
    auto *dock = window->findChild<MonitorDock *>();
    const QString recording = folder->path() + QStringLiteral("/trend.csv");
    QVERIFY(dock->startRecording(recording));
    window->findChild<QCheckBox *>("checkBox_watchedOnly")->setChecked(true);
    window->findChild<QCheckBox *>("checkBox_continuous")->setChecked(true);

    auto *banner = window->findChild<AlarmBanner *>();
    auto *bannerText = banner->findChild<QLabel *>("label_alarm");
    // The status bit may tell first; the code follows in the same refresh.
    QTRY_VERIFY_WITH_TIMEOUT(banner->isVisible() && bannerText->text().contains(QStringLiteral("报警 2：过压")), 10000);
    QTest::mouseClick(banner->findChild<QPushButton *>("pushButton_history"), Qt::LeftButton);
    auto *history = window->findChild<AlarmHistoryDialog *>()->findChild<QTableWidget *>();
    QTRY_VERIFY(history->isVisible());
    QCOMPARE(history->rowCount(), 1);
    QCOMPARE(history->item(0, 1)->text(), QStringLiteral("2"));
    QCOMPARE(history->item(0, 2)->text(), QStringLiteral("报警 2：过压"));
    QCOMPARE(history->item(0, 3)->text(), QStringLiteral("报警中"));
    QCOMPARE(history->item(0, 4)->text(), QStringLiteral("1"));
    QCOMPARE(history->item(0, 5)->text(), simulator->devicePath());

    window->findChild<QCheckBox *>("checkBox_continuous")->setChecked(false);
    QVERIFY(waitForRefreshDone(*window, 15000));
    dock->stopRecording();
    QWidget *editor = openEditor(resetRow);
    QVERIFY(editor);
    auto *decimal = editor->findChild<QLineEdit *>("lineEdit_dec");
    decimal->selectAll();
    QTest::keyClicks(decimal, QStringLiteral("1"));
    QTest::mouseClick(editor->findChild<QPushButton *>("pushButton_Write"), Qt::LeftButton);
    editor->hide();
    QTRY_VERIFY_WITH_TIMEOUT(simulator->log().contains(QStringLiteral("write 0x0020 <- 1")), 10000);
    QVERIFY(waitForRefreshDone(*window, 15000));
    QVERIFY(banner->isVisible());
    QTest::mouseClick(window->findChild<QPushButton *>("pushButton_dataRefresh"), Qt::LeftButton);
    QVERIFY(waitForRefreshDone(*window, 15000));
    QVERIFY(!banner->isVisible());
    QCOMPARE(history->rowCount(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$")).match(history->item(0, 3)->text()).hasMatch());

    const QStringList csv = fileText(recording).split(QStringLiteral("\r\n"));
    QCOMPARE(csv.first(), QStringLiteral("time,0x0010 运行电流 Run current,0x0001 报警代码 Alarm code"));
    QVERIFY2(csv.filter(QRegularExpression(QStringLiteral(",3000,2$"))).size() > 0, qPrintable(csv.join('\n')));

    const QString exported = folder->path() + QStringLiteral("/log.txt");
    answerSaveDialog(exported);
    window->exportLog();
    const QString log = fileText(exported);
    QVERIFY2(QRegularExpression(QStringLiteral("Alarm history\nraised,code,text,cleared,driver,line\n[-\\d :.]+,2,报警 2：过压,[-\\d :.]+,\\d+,\\S+\n"))
                 .match(log).hasMatch(), qPrintable(log.right(300)));

    clickOpen();
    QVERIFY(!identity->isVisible());
}

QTEST_MAIN(TestAlarms)
#include "tst_alarms.moc"

#include <QtTest>

#include <memory>

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTableWidget>

#include "protocol/modbusmaster.h"
#include "serial/serial.h"
#include "support/lamps.h"
#include "support/logview.h"
#include "support/windowinternals.h"
#include "support/ptypair.h"
#include "support/toasts.h"
#include "support/workfolder.h"

using Inspect = MainWindowInspector;

namespace {

const QByteArray threeRegisters(
    "slaveAddress:1,txTime:100,rxOutTime:1000\n"
    "indexes:0x10,permission:RW,defaultValue:0x1,rangeValue:0~9,name:A,remarks:\n"
    "indexes:0x11,permission:R,defaultValue:0x2,rangeValue:0~9,name:B,remarks:\n"
    "indexes:0x12,permission:w,defaultValue:0x3,rangeValue:0~9,name:C,remarks:\n");

QString statusText(MainWindow &window)
{
    for (QLabel *label : window.findChild<QStatusBar *>("statusBar")->findChildren<QLabel *>())
        if (label->text().contains(QStringLiteral("串口状态")))
            return label->text();
    return QString();
}

void choosePort(MainWindow &window, const QString &path)
{
    auto *ports = window.findChild<QComboBox *>("comboBox_port");
    ports->addItem(path);
    ports->setCurrentIndex(ports->count() - 1);
}

void clickOpen(MainWindow &window)
{
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_open"), Qt::LeftButton);
}

bool portControlsEnabled(MainWindow &window)
{
    return window.findChild<QComboBox *>("comboBox_port")->isEnabled()
        && window.findChild<QComboBox *>("comboBox_buad")->isEnabled()
        && window.findChild<QPushButton *>("pushButton_refresh")->isEnabled()
        && window.findChild<QLineEdit *>("lineEdit_deviceAddr")->isEnabled();
}

// As a user does it: the view only reports a double click on the cell that
// the first click pressed.
void doubleClick(QTableWidget *table, int row, int column)
{
    const QPoint centre = table->visualRect(table->model()->index(row, column)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
}

// Number of toasts still fading, counted by their animations.
int toastsShown(MainWindow &window)
{
    return window.findChildren<QPropertyAnimation *>().size();
}

} // namespace

class TestPortPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void openAndCloseSwitchEverything();
    void openWithoutPortDoesNothing();
    void failedOpenStaysClosed();
    void openingEmptyMapEnablesRefresh();
    void deviceAddress_data();
    void deviceAddress();
    void acceptedAddressGoesIntoFrames();
    void doubleClickNeedsOpenPortThenPermission();
    void doubleClickOnlyOnValueColumn();
    void vanishedDeviceClosesThePanel_data();
    void vanishedDeviceClosesThePanel();
    void refusedAddressNeverOpensThePort();
    void broadcastAddressReachesNoDriver();
    void editorAndLampsFollowTheConnection();

private:
    PtyPair line;
};

void TestPortPanel::init()
{
    QVERIFY(line.start());
}

void TestPortPanel::cleanup()
{
    Serial::instance()->serialPort->close();
}

void TestPortPanel::openAndCloseSwitchEverything()
{
    WorkFolder folder(threeRegisters);
    MainWindow window;
    choosePort(window, line.appSide());
    auto *open = window.findChild<QPushButton *>("pushButton_open");
    auto *refresh = window.findChild<QPushButton *>("pushButton_refresh");
    auto *dataRefresh = window.findChild<QPushButton *>("pushButton_dataRefresh");

    clickOpen(window);
    QVERIFY(Serial::instance()->serialPort->isOpen());
    QCOMPARE(Serial::instance()->serialPort->baudRate(), 9600);
    QCOMPARE(open->text(), QStringLiteral("关闭串口"));
    QCOMPARE(statusText(window), QStringLiteral("  串口状态 : 已连接    "));
    QVERIFY(!portControlsEnabled(window));
    QCOMPARE(refresh->styleSheet(), QStringLiteral("border-image: url(:/new/prefix1/picture/findport2.png)"));
    QVERIFY(Inspect::pollTimer(window).isActive());
    // A and B: the write-only C is never read.
    QCOMPARE(Inspect::cmdQueue(window).size(), 2);
    QVERIFY(!dataRefresh->isEnabled());

    Inspect::tick(window); // one read in flight, one queued
    QCOMPARE(Inspect::waitElapsed(window), 1u);
    clickOpen(window);
    QVERIFY(!Serial::instance()->serialPort->isOpen());
    QVERIFY(Inspect::cmdQueue(window).isEmpty());
    QCOMPARE(Inspect::waitElapsed(window), 0u);
    QVERIFY(!Inspect::pollTimer(window).isActive());
    QCOMPARE(open->text(), QStringLiteral("打开串口"));
    QCOMPARE(statusText(window), QStringLiteral("  串口状态 : 未连接    "));
    QVERIFY(portControlsEnabled(window));
    QCOMPARE(refresh->styleSheet(), QStringLiteral("border-image: url(:/new/prefix1/picture/findport.png)"));
    QVERIFY(!dataRefresh->isEnabled());
    QCOMPARE(dataRefresh->styleSheet(), QStringLiteral("border-image: url(:/new/prefix1/picture/dataRefresh2.png)"));
}

void TestPortPanel::openWithoutPortDoesNothing()
{
    WorkFolder folder(threeRegisters);
    MainWindow window;
    window.findChild<QComboBox *>("comboBox_port")->clear();
    clickOpen(window);
    QVERIFY(!Serial::instance()->serialPort->isOpen());
    QVERIFY(Inspect::cmdQueue(window).isEmpty());
    QCOMPARE(statusText(window), QStringLiteral("  串口状态 : 未连接    "));
}

void TestPortPanel::failedOpenStaysClosed()
{
    WorkFolder folder(threeRegisters);
    MainWindow window;
    choosePort(window, folder.path() + QStringLiteral("/no-such-port"));
    clickOpen(window);
    QCOMPARE(window.findChild<QPushButton *>("pushButton_open")->text(), QStringLiteral("打开串口"));
    QCOMPARE(statusText(window), QStringLiteral("  串口状态 : 未连接    "));
    QVERIFY(portControlsEnabled(window));
    QVERIFY(Inspect::cmdQueue(window).isEmpty());
    QVERIFY(!Inspect::pollTimer(window).isActive());
    // The notice says which port and why; it fades while the window lives.
    QCOMPARE(toastFrames().size(), 1);
    QVERIFY(toastText(toastFrames().first()).contains(QStringLiteral("no-such-port")));
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);
}

void TestPortPanel::openingEmptyMapEnablesRefresh()
{
    WorkFolder folder(QByteArray("slaveAddress:1\n"));
    MainWindow window;
    choosePort(window, line.appSide());
    clickOpen(window);
    auto *dataRefresh = window.findChild<QPushButton *>("pushButton_dataRefresh");
    QVERIFY(dataRefresh->isEnabled());
    QCOMPARE(dataRefresh->styleSheet(), QStringLiteral("border-image: url(:/new/prefix1/picture/dataRefresh.png)"));
}

void TestPortPanel::deviceAddress_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    // 0 is broadcast: every driver on the bus would take a write.
    QTest::newRow("0") << "0" << false;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("247") << "247" << true;
    QTest::newRow("248") << "248" << false;
    QTest::newRow("255") << "255" << false;
    QTest::newRow("256") << "256" << false;
    QTest::newRow("-1") << "-1" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("0x10") << "0x10" << false;
}

void TestPortPanel::deviceAddress()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    WorkFolder folder(QByteArray("slaveAddress:9\n"));
    MainWindow window;
    auto *field = window.findChild<QLineEdit *>("lineEdit_deviceAddr");
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), typed);
    if (accepted) {
        QCOMPARE(field->styleSheet(), QString());
        QCOMPARE(Inspect::slaveAddress(window), typed.toUInt());
        QCOMPARE(int(Inspect::sessionSlave(window)), typed.toInt());
    } else {
        QCOMPARE(field->styleSheet(), QStringLiteral("QLineEdit{border:1px solid red }"));
        // The last accepted text on the way there may have been applied
        // ("25" while typing "256"); the bad one never is.
        QVERIFY(Inspect::slaveAddress(window) >= 1 && Inspect::slaveAddress(window) <= 247);
        QCOMPARE(quint32(Inspect::sessionSlave(window)), Inspect::slaveAddress(window));
    }
}

void TestPortPanel::acceptedAddressGoesIntoFrames()
{
    WorkFolder folder(threeRegisters);
    MainWindow window;
    window.findChild<QLineEdit *>("lineEdit_deviceAddr")->setText(QStringLiteral("12"));
    Inspect::clickDataRefresh(window);
    QCOMPARE(Inspect::cmdQueue(window).first().frame.at(0), char(0x0C));
}

void TestPortPanel::doubleClickNeedsOpenPortThenPermission()
{
    WorkFolder folder(threeRegisters);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    const auto editorWindow = [] {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QLatin1String("ValueEditWin"))
                return widget;
        return static_cast<QWidget *>(nullptr);
    };

    doubleClick(table, 1, 1); // read-only, but the port test comes first
    QCOMPARE(toastsShown(window), 1);
    QVERIFY(!editorWindow()->isVisible());

    choosePort(window, line.appSide());
    clickOpen(window);
    doubleClick(table, 1, 1); // "R": no write permission
    QCOMPARE(toastsShown(window), 2);
    QVERIFY(!editorWindow()->isVisible());

    doubleClick(table, 2, 1); // "w" is enough
    QCOMPARE(toastsShown(window), 2);
    QVERIFY(editorWindow()->isVisible());
    QCOMPARE(editorWindow()->windowTitle(), QStringLiteral("C"));
    editorWindow()->hide();
    QTRY_COMPARE_WITH_TIMEOUT(toastsShown(window), 0, 5000);
}

void TestPortPanel::doubleClickOnlyOnValueColumn()
{
    WorkFolder folder(threeRegisters);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    for (int column : {0, 2, 3, 4, 5})
        doubleClick(table, 0, column);
    QCOMPARE(toastsShown(window), 0); // not even the port message
    doubleClick(table, 0, 1);
    QCOMPARE(toastsShown(window), 1);
    QTRY_COMPARE_WITH_TIMEOUT(toastsShown(window), 0, 5000);
}

void TestPortPanel::vanishedDeviceClosesThePanel_data()
{
    QTest::addColumn<bool>("displayOn");
    QTest::newRow("log display on") << true;
    QTest::newRow("log display off") << false;
}

// Killing socat hangs up the open pty, as pulling a USB adapter does.
void TestPortPanel::vanishedDeviceClosesThePanel()
{
    QFETCH(bool, displayOn);
    WorkFolder folder(threeRegisters);
    MainWindow window;
    Inspect::isDisplayOn(window) = displayOn;
    auto device = std::make_unique<PtyPair>();
    QVERIFY(device->start());
    choosePort(window, device->appSide());
    clickOpen(window);
    QVERIFY(Serial::instance()->serialPort->isOpen());
    Inspect::tick(window); // one read in flight, two queued
    Inspect::receive(window, QByteArray::fromHex("0103020064b9af"));
    const int linesBefore = logLines(window).size();
    const QString port = device->appSide();

    device.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!Serial::instance()->serialPort->isOpen(), 5000);
    QVERIFY(Inspect::cmdQueue(window).isEmpty());
    QCOMPARE(Inspect::waitElapsed(window), 0u);
    QVERIFY(!Inspect::pollTimer(window).isActive());
    QCOMPARE(window.findChild<QPushButton *>("pushButton_open")->text(), QStringLiteral("打开串口"));
    QCOMPARE(statusText(window), QStringLiteral("  串口状态 : 未连接    "));
    QVERIFY(portControlsEnabled(window));
    auto *dataRefresh = window.findChild<QPushButton *>("pushButton_dataRefresh");
    QVERIFY(!dataRefresh->isEnabled());
    QCOMPARE(dataRefresh->styleSheet(), QStringLiteral("border-image: url(:/new/prefix1/picture/dataRefresh2.png)"));

    // Whether the log shows it or not, a notice names the port, and no row
    // looks live any more.
    QCOMPARE(toastFrames().size(), 1);
    QVERIFY2(toastText(toastFrames().first()).startsWith(QStringLiteral("串口 %1 已断开：").arg(port)),
             qPrintable(toastText(toastFrames().first())));
    for (QFrame *frame : toastFrames())
        delete frame;
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    // Row 2, a command register, has no value and so no lamp.
    for (int row = 0; row < table->rowCount(); ++row)
        QCOMPARE(lampColour(table, row), row == 2 ? QString() : QStringLiteral("stale"));

    QTest::qWait(200); // a failure still being reported would add lines now
    const QList<LogLine> added = logLines(window).mid(linesBefore);
    if (displayOn) {
        QCOMPARE(added.size(), 1);
        QVERIFY2(added.first().text.startsWith(QStringLiteral("Serial port error: ")), qPrintable(added.first().text));
        QVERIFY(added.first().text.size() > int(qstrlen("Serial port error: ")));
        QCOMPARE(added.first().colour, shownColour(window, LogColour::Error));
    } else {
        QVERIFY(added.isEmpty());
    }

    // The device is back: it opens like any other.
    device = std::make_unique<PtyPair>();
    QVERIFY(device->start());
    choosePort(window, device->appSide());
    clickOpen(window);
    QVERIFY(Serial::instance()->serialPort->isOpen());
    QCOMPARE(statusText(window), QStringLiteral("  串口状态 : 已连接    "));
    QCOMPARE(Inspect::cmdQueue(window).size(), 2);
}

// Typing 300 passes through 30, which was applied; the port must not open
// and poll driver 30 while the field shows 300.
void TestPortPanel::refusedAddressNeverOpensThePort()
{
    WorkFolder folder(threeRegisters);
    MainWindow window;
    choosePort(window, line.appSide());
    auto *field = window.findChild<QLineEdit *>("lineEdit_deviceAddr");
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, QStringLiteral("300"));

    clickOpen(window);
    QVERIFY(!Serial::instance()->serialPort->isOpen());
    QVERIFY(Inspect::cmdQueue(window).isEmpty());
    QVERIFY(!Inspect::pollTimer(window).isActive());
    QCOMPARE(toastFrames().size(), 1);
    QCOMPARE(toastText(toastFrames().first()), QStringLiteral("\n设备地址无效 !\n设备地址须为 1–247（0 为广播）\n"));

    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClick(field, Qt::Key_Backspace);
    clickOpen(window);
    QVERIFY(Serial::instance()->serialPort->isOpen());
    QCOMPARE(Inspect::cmdQueue(window).first().frame.at(0), char(3));
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);
}

// Address 0 would be obeyed by every driver on the bus: the field refuses
// it, and neither the refresh nor the port uses it.
void TestPortPanel::broadcastAddressReachesNoDriver()
{
    WorkFolder folder(threeRegisters);
    MainWindow window;
    choosePort(window, line.appSide());
    auto *field = window.findChild<QLineEdit *>("lineEdit_deviceAddr");
    field->setText(QStringLiteral("0"));
    QCOMPARE(field->styleSheet(), QStringLiteral("QLineEdit{border:1px solid red }"));
    Inspect::clickDataRefresh(window);
    QVERIFY(!Inspect::cmdQueue(window).isEmpty());
    for (const PendingCommand &command : Inspect::cmdQueue(window))
        QCOMPARE(int(command.frame.at(0)), 1);
    clickOpen(window);
    QVERIFY(!Serial::instance()->serialPort->isOpen());
    QVERIFY(toastText(toastFrames().first()).contains(QStringLiteral("1–247")));
    qDeleteAll(toastFrames());
}

// Only a reply of the session now open makes a value look live; the editor
// closes with the port and with the map, and a write never goes to a row
// that no longer shows the register it was edited for.
void TestPortPanel::editorAndLampsFollowTheConnection()
{
    WorkFolder folder(threeRegisters);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    QWidget *editor = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        editor = widget->objectName() == QLatin1String("ValueEditWin") ? widget : editor;
    auto *write = editor->findChild<QPushButton *>("pushButton_Write");
    const auto lamps = [table] {
        QStringList colours;
        for (int row = 0; row < table->rowCount(); ++row)
            colours << lampColour(table, row);
        return colours;
    };
    QCOMPARE(lamps(), QStringList({"stale", "stale", ""}));

    choosePort(window, line.appSide());
    clickOpen(window);
    Inspect::tick(window);
    Inspect::receive(window, QByteArray::fromHex("0103020064b9af"));
    QCOMPARE(lamps(), QStringList({"green", "stale", ""}));
    // A scan reopens the line: nothing shown is live any more.
    QTest::mouseClick(window.findChild<QPushButton *>("pushButton_scan"), Qt::LeftButton);
    QCOMPARE(lamps(), QStringList({"stale", "stale", ""}));
    QDialog *scan = window.findChild<QDialog *>();
    QVERIFY(scan);
    scan->reject();
    doubleClick(table, 2, 1);
    QVERIFY(editor->isVisible());
    clickOpen(window);
    QVERIFY(!editor->isVisible());
    QCOMPARE(lamps(), QStringList({"stale", "stale", ""}));
    clickOpen(window);
    QCOMPARE(lamps(), QStringList({"stale", "stale", ""}));

    // Another map: the editor of row 2 closes; its write, pressed all the
    // same, reaches neither the shorter map nor a row of another register.
    doubleClick(table, 2, 1);
    QVERIFY(editor->isVisible());
    const QString shorter = folder.path() + QStringLiteral("/shorter");
    QFile file(shorter);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("slaveAddress:1\nindexes:0x20,permission:RW,defaultValue:0x1,rangeValue:0~9,name:D,remarks:\n");
    file.close();
    QVERIFY(window.loadRegisterMap(shorter));
    QVERIFY(!editor->isVisible());
    clickOpen(window);
    Inspect::cmdQueue(window).clear();
    write->click();
    QVERIFY(Inspect::cmdQueue(window).isEmpty());
    QCOMPARE(lamps(), QStringList({"stale"}));

    QVERIFY(window.loadRegisterMap(QStringLiteral("RegisterInfo")));
    clickOpen(window);
    Inspect::requestWrite(window, 2, ModbusMaster::instance()->writeCmd(1, 0x10, 5));
    QCOMPARE(Inspect::cmdQueue(window).size(), 2);
    QCOMPARE(table->item(2, 1)->text(), QStringLiteral("—"));
    for (QFrame *frame : toastFrames())
        delete frame;
}

QTEST_MAIN(TestPortPanel)
#include "tst_portpanel.moc"

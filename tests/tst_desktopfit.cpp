#include <QtTest>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QMessageBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTranslator>
#include <QXmlStreamReader>
#include <qwt_plot_canvas.h>
#include <qwt_scale_widget.h>

#include "app/translation.h"
#include "ui/monitor/trendplot.h"
#include "protocol/requestscheduler.h"
#include "scan/scanrun.h"
#include "serial/serial.h"
#include "support/ptypair.h"
#include "support/temporarysettings.h"
#include "ui/monitor/monitordock.h"
#include "ui/bus/buspanel.h"
#include "ui/testrun/testrundock.h"
#include "ui/alarm/alarmbanner.h"
#include "support/refreshwait.h"
#include "support/simulator.h"
#include "support/windowinternals.h"
#include "support/workfolder.h"

namespace {

const char sampleMap[] =
    "slaveAddress:1,txTime:100,rxOutTime:1000\n"
    "indexes:0x0010,permission:RW,defaultValue:0x64,rangeValue:100~6000,name:运行电流 Run current,remarks:mA 峰值\n"
    "indexes:0x0000,permission:R,defaultValue:0x0,rangeValue:0~65535,name:状态字 Status word,remarks:bit0 使能\n";

const QRegularExpression chinese(QStringLiteral("[\\x{3400}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));

// Replaces whatever translation the application has by the one asked for.
void useLanguage(const QString &language)
{
    qDeleteAll(qApp->findChildren<QTranslator *>());
    installTranslation(*qApp, language);
}

QWidget *editorWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("ValueEditWin"))
            return widget;
    return nullptr;
}

// Every text a user can read on the widget and its children, named by where
// it was found; the map's own names and remarks are left out.
QStringList visibleTexts(QWidget *top)
{
    QStringList texts;
    const auto add = [&texts](const QObject *owner, const QString &what, const QString &text) {
        texts << owner->objectName() + QLatin1Char('.') + what + QLatin1String(": ") + text;
    };
    QList<QWidget *> widgets = top->findChildren<QWidget *>();
    widgets.prepend(top);
    for (QWidget *widget : widgets) {
        add(widget, QStringLiteral("windowTitle"), widget->windowTitle());
        add(widget, QStringLiteral("toolTip"), widget->toolTip());
        add(widget, QStringLiteral("whatsThis"), widget->whatsThis());
        if (auto *label = qobject_cast<QLabel *>(widget))
            add(label, QStringLiteral("text"), label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            add(button, QStringLiteral("text"), button->text());
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            for (int i = 0; i < combo->count(); ++i)
                add(combo, QStringLiteral("item"), combo->itemText(i));
        if (auto *table = qobject_cast<QTableWidget *>(widget)) {
            for (int column = 0; column < table->columnCount(); ++column) {
                add(table, QStringLiteral("header"), table->horizontalHeaderItem(column)->text());
                add(table, QStringLiteral("headerTip"), table->horizontalHeaderItem(column)->toolTip());
            }
            for (int row = 0; row < table->rowCount(); ++row)
                for (int column = 0; column < 4; ++column)
                    add(table, QStringLiteral("cell"), table->item(row, column)->text());
        }
    }
    return texts;
}

} // namespace

class TestDesktopFit : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void languageFollowsSystemUnlessAsked();
    void translationIsComplete();
    void windowFitsALaptopScreen_data();
    void windowFitsALaptopScreen();
    void testRunAndCaptureStackUnderTheTable();
    void everyVisibleTextChangesInEnglish();
    void keyboardOpensTheEditorAndWrites();
    void qtAndProblemTextsFollowTheLanguage_data();
    void qtAndProblemTextsFollowTheLanguage();
};

void TestDesktopFit::cleanup()
{
    useLanguage(QStringLiteral("zh"));
    Serial::instance()->serialPort->close();
}

void TestDesktopFit::languageFollowsSystemUnlessAsked()
{
    QVERIFY(wantsEnglish(QLocale(QStringLiteral("en_US")), QString()));
    QVERIFY(wantsEnglish(QLocale(QStringLiteral("de_DE")), QString()));
    QVERIFY(!wantsEnglish(QLocale(QStringLiteral("zh_CN")), QString()));
    QVERIFY(!wantsEnglish(QLocale(QStringLiteral("zh_TW")), QString()));
    QVERIFY(!wantsEnglish(QLocale::c(), QString()));
    QVERIFY(wantsEnglish(QLocale(QStringLiteral("zh_CN")), QStringLiteral("en")));
    QVERIFY(!wantsEnglish(QLocale(QStringLiteral("en_US")), QStringLiteral("zh")));
    QVERIFY(installTranslation(*qApp, QStringLiteral("en")));
}

// Every message has a finished English text that keeps the source's
// placeholders, so no Chinese leaks into the English program and no
// argument goes missing.
void TestDesktopFit::translationIsComplete()
{
    QFile file(QStringLiteral(TRANSLATION_SOURCE));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    const QRegularExpression placeholder(QStringLiteral("%\\d"));
    QString source;
    int messages = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            ++messages;
            const QString type = xml.attributes().value(QStringLiteral("type")).toString();
            const QString translation = xml.readElementText();
            QVERIFY2(type.isEmpty(), qPrintable(type + QLatin1String(": ") + source));
            QVERIFY2(!translation.isEmpty() && !translation.contains(chinese), qPrintable(source));
            QStringList sourceArgs, translationArgs;
            for (auto it = placeholder.globalMatch(source); it.hasNext();)
                sourceArgs << it.next().captured();
            for (auto it = placeholder.globalMatch(translation); it.hasNext();)
                translationArgs << it.next().captured();
            sourceArgs.sort();
            translationArgs.sort();
            QVERIFY2(sourceArgs == translationArgs, qPrintable(source));
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(messages > 50);
}

void TestDesktopFit::windowFitsALaptopScreen_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("zh") << QStringLiteral("zh");
    QTest::newRow("en") << QStringLiteral("en");
}

// 1366 x 768 less a taskbar and a title bar, with the sample map's driver in
// alarm: the table keeps eight rows beside any one dock, the bus panel's
// columns stay in view, and the window keeps its height whatever appears.
void TestDesktopFit::windowFitsALaptopScreen()
{
    QFETCH(QString, language);
    useLanguage(language);
    QFile sample(QStringLiteral(SAMPLE_MAP));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    WorkFolder folder{sample.readAll()};
    Simulator simulator;
    QVERIFY(simulator.start(folder.path() + QStringLiteral("/RegisterInfo"), {"--address", "1-3", "--alarm", "1:2"}));
    MainWindow window;
    QVERIFY(window.width() <= 1366 && window.height() <= 690);
    const QSize least = window.minimumSizeHint().expandedTo(window.minimumSize());
    QVERIFY2(least.width() <= 1366 && least.height() <= 690,
             qPrintable(QStringLiteral("%1x%2").arg(least.width()).arg(least.height())));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize size = window.size();

    // The identity line and the alarm banner appear; the window stays.
    window.findChild<QComboBox *>(QStringLiteral("comboBox_port"))->lineEdit()->setText(simulator.devicePath());
    window.findChild<QPushButton *>(QStringLiteral("pushButton_open"))->click();
    QVERIFY(waitForRefreshDone(window, 15000));
    QTRY_VERIFY(window.findChild<AlarmBanner *>()->isVisible());
    QVERIFY(window.findChild<QLabel *>(QStringLiteral("label_identity"))->isVisible());
    QCOMPARE(window.size(), size);

    auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    const auto rowsShown = [&] {
        QTest::qWait(50);
        return table->viewport()->height() / table->rowHeight(0);
    };
    QVERIFY2(rowsShown() >= 8, qPrintable(QString::number(rowsShown())));
    MainWindowInspector::adjustColumnWidths(window);
    for (int column = 0; column < 4; ++column)
        QVERIFY2(table->columnWidth(column) >= table->horizontalHeader()->sectionSizeHint(column),
                 qPrintable(table->horizontalHeaderItem(column)->text()));

    // The bus panel alone: address, alarm and last answer without scrolling.
    auto *bus = window.findChild<BusPanel *>();
    if (!bus->isVisible())
        bus->toggleViewAction()->trigger();
    bus->findChild<QLineEdit *>(QStringLiteral("addressList"))->setText(QStringLiteral("1-3"));
    bus->findChild<QPushButton *>(QStringLiteral("applyButton"))->click();
    auto *drivers = bus->findChild<QTableWidget *>(QStringLiteral("driverTable"));
    QTRY_VERIFY_WITH_TIMEOUT(drivers->item(0, 1) && drivers->item(0, 1)->text().contains(QLatin1Char('2')), 10000);
    QVERIFY(bus->isVisible());
    QVERIFY2(rowsShown() >= 8, qPrintable(QString::number(rowsShown())));
    // QTableView hides the measure of the cells that its base offers.
    const QAbstractItemView *cells = drivers;
    for (int column = 0; column < drivers->columnCount(); ++column) {
        const int right = drivers->columnViewportPosition(column) + drivers->columnWidth(column);
        QVERIFY2(right <= drivers->viewport()->width() && drivers->columnWidth(column) >= cells->sizeHintForColumn(column),
                 qPrintable(drivers->horizontalHeaderItem(column)->text()));
    }
    QCOMPARE(window.size(), size);

    // The trend alone, then beside the bus as a tab of it.
    bus->toggleViewAction()->trigger();
    MainWindowInspector::liveMonitor(window).toggleRows({0, 1}, MainWindowInspector::registerList(window));
    auto *trend = window.findChild<MonitorDock *>();
    QVERIFY(trend->isVisible());
    QVERIFY2(rowsShown() >= 8, qPrintable(QString::number(rowsShown())));
    // Its value labels do not overlap.
    auto *plot = trend->findChild<TrendPlot *>();
    QTRY_VERIFY(plot->canvas()->height() < trend->height());
    plot->addSample(0, 1, 0);
    plot->addSample(1, 1, 3000);
    const auto labelsApart = [&] {
        QTest::qWait(3 * TrendPlot::replotIntervalMs);
        const QList<double> ticks = plot->axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick);
        const int labelHeight = plot->axisWidget(QwtPlot::yLeft)->fontMetrics().height();
        for (int i = 1; i < ticks.size(); ++i) {
            if (qAbs(plot->transform(QwtPlot::yLeft, ticks.at(i)) - plot->transform(QwtPlot::yLeft, ticks.at(i - 1)))
                <= labelHeight)
                return false;
        }
        return ticks.size() >= 2;
    };
    QVERIFY(labelsApart());
    // Dragging the divider down gives the table the room.
    const int tableHeight = table->height();
    const int dockHeight = trend->height();
    window.resizeDocks({trend}, {dockHeight - 20}, Qt::Vertical);
    QTest::qWait(50);
    QCOMPARE(table->height(), tableHeight + 20);
    QCOMPARE(window.size(), size);
    bus->toggleViewAction()->trigger();
    QVERIFY(!window.tabifiedDockWidgets(trend).isEmpty());
    QCOMPARE(window.size(), size);
    // The other way round: the trend opened as a tab of the bus, whose tab
    // bar takes room from the plot, still labels its axis legibly.
    trend->toggleViewAction()->trigger();
    trend->toggleViewAction()->trigger();
    QVERIFY(trend->isVisible() && !window.tabifiedDockWidgets(trend).isEmpty());
    QVERIFY(labelsApart());
    QVERIFY2(rowsShown() >= 8, qPrintable(QString::number(rowsShown())));
    QCOMPARE(window.size(), size);

    window.findChild<QPushButton *>(QStringLiteral("pushButton_open"))->click();
}

// A test move and the capture of its response are used together; side by
// side they would push the window, and the Stop with it, past the screen.
void TestDesktopFit::testRunAndCaptureStackUnderTheTable()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int width = window.width();
    auto *testRun = window.findChild<TestRunDock *>();
    testRun->toggleViewAction()->trigger();
    window.findChild<QAction *>(QStringLiteral("captureAction"))->trigger();
    auto *stop = testRun->findChild<QPushButton *>(QStringLiteral("pushButton_stop"));
    QTRY_VERIFY(stop->isVisible());
    QTest::qWait(50);
    QCOMPARE(window.width(), width);
    QVERIFY(stop->mapTo(&window, QPoint(stop->width(), 0)).x() <= width);
    // Nor does the capture's state line, which stays in view.
    auto *capture = window.findChild<QDockWidget *>(QStringLiteral("captureDock"));
    capture->findChild<QPushButton *>(QStringLiteral("armButton"))->click();
    QTest::qWait(50);
    QCOMPARE(window.width(), width);
    auto *state = capture->findChild<QLabel *>(QStringLiteral("stateLabel"));
    QVERIFY(!state->text().isEmpty() && state->width() >= state->fontMetrics().averageCharWidth() * 20);
}

void TestDesktopFit::everyVisibleTextChangesInEnglish()
{
    useLanguage(QStringLiteral("en"));
    WorkFolder folder{QByteArray(sampleMap)};
    MainWindow window;
    QStringList untranslated = visibleTexts(&window).filter(chinese);
    untranslated << visibleTexts(editorWindow()).filter(chinese);
    QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(QLatin1Char('\n'))));
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    QVERIFY(table->horizontalHeaderItem(1)->toolTip().contains(QLatin1String("amber")));
    QVERIFY(!window.findChild<QPushButton *>(QStringLiteral("pushButton_refresh"))->toolTip().isEmpty());
    QVERIFY(!window.findChild<QPushButton *>(QStringLiteral("pushButton_dataRefresh"))->toolTip().isEmpty());
}

// Enter and F2 on any cell of a row go through the double click's checks; Enter in
// either editor field converts that field, then writes.
void TestDesktopFit::keyboardOpensTheEditorAndWrites()
{
    PtyPair line;
    QVERIFY(line.start());
    WorkFolder folder{QByteArray(sampleMap)};
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *ports = window.findChild<QComboBox *>(QStringLiteral("comboBox_port"));
    ports->addItem(line.appSide());
    ports->setCurrentIndex(ports->count() - 1);
    window.findChild<QPushButton *>(QStringLiteral("pushButton_open"))->click();
    QVERIFY(Serial::instance()->serialPort->isOpen());

    auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    table->setFocus();
    QWidget *editor = editorWindow();
    const auto press = [&](int row, int column, Qt::Key key) {
        editor->hide();
        table->setCurrentCell(row, column);
        QTest::keyClick(table, key);
        return editor->isVisible();
    };
    QVERIFY(press(0, 1, Qt::Key_Return));
    QVERIFY(press(0, 1, Qt::Key_Enter));
    QVERIFY(press(0, 1, Qt::Key_F2));
    QVERIFY(press(0, 0, Qt::Key_Return));
    QVERIFY(press(0, 4, Qt::Key_F2));
    const int toastsBefore = window.findChildren<QPropertyAnimation *>().size();
    QVERIFY(!press(1, 1, Qt::Key_Return)); // read-only: refused with a toast
    QCOMPARE(window.findChildren<QPropertyAnimation *>().size(), toastsBefore + 1);

    QVERIFY(press(0, 1, Qt::Key_F2));
    QSignalSpy writes(editor, SIGNAL(writeCurrentValue(int, QByteArray)));
    auto *decimal = editor->findChild<QLineEdit *>(QStringLiteral("lineEdit_dec"));
    auto *hex = editor->findChild<QLineEdit *>(QStringLiteral("lineEdit_hex"));
    decimal->setText(QStringLiteral("200"));
    QTest::keyClick(decimal, Qt::Key_Return);
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes.last().at(1).toByteArray().mid(4, 2), QByteArray("\x00\xC8", 2));
    QCOMPARE(hex->text(), QStringLiteral("0x00C8"));

    hex->setText(QStringLiteral("0x12C"));
    QTest::keyClick(hex, Qt::Key_Enter);
    QCOMPARE(writes.size(), 2);
    QCOMPARE(writes.last().at(1).toByteArray().mid(4, 2), QByteArray("\x01\x2C", 2));
    QCOMPARE(decimal->text(), QStringLiteral("300"));
}

void TestDesktopFit::qtAndProblemTextsFollowTheLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("chineseShown");
    QTest::newRow("zh") << QStringLiteral("zh") << true;
    QTest::newRow("en") << QStringLiteral("en") << false;
}

// Qt's standard buttons and file dialogs speak the window's language, and
// so do the reasons a scan gives.
void TestDesktopFit::qtAndProblemTextsFollowTheLanguage()
{
    QFETCH(QString, language);
    QFETCH(bool, chineseShown);
    useLanguage(language);

    QMessageBox question(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::Cancel);
    QFileDialog chooser;
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    ScanRun scan(Serial::instance());
    ScanRequest request;
    request.port = QStringLiteral("/nonexistent/tty");
    QVERIFY(!scan.start(request));
    const QStringList texts = {question.button(QMessageBox::Yes)->text(), question.button(QMessageBox::Cancel)->text(),
                               chooser.findChild<QLabel *>(QStringLiteral("fileNameLabel"))->text(), scan.errorText()};
    for (const QString &text : texts)
        QVERIFY2(text.contains(chinese) == chineseShown, qPrintable(text));
}

QTEST_MAIN_WITH_TEMPORARY_SETTINGS(TestDesktopFit)
#include "tst_desktopfit.moc"

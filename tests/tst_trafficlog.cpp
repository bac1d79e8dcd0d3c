#include <QtTest>

#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBrowser>

#include "serial/serial.h"
#include "support/logview.h"
#include "support/toasts.h"
#include "support/windowinternals.h"
#include "support/workfolder.h"

using Inspect = MainWindowInspector;

namespace {

const QColor black(0, 0, 0, 255);
const QColor red(255, 0, 0, 255);
const QByteArray emptyMap("slaveAddress:1\n");

QTextBrowser *logOf(MainWindow &window)
{
    return window.findChild<QTextBrowser *>("textBrowser_show");
}

// Opens the log's context menu as a right click does, lets `choose` look at
// it and pick an action (or none), and returns the item texts it showed.
QStringList useContextMenu(MainWindow &window, const QString &choose)
{
    QStringList items;
    QTimer::singleShot(50, [&items, choose] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QAction *chosen = nullptr;
        for (QAction *action : menu->actions()) {
            items << action->text();
            if (action->text() == choose)
                chosen = action;
        }
        if (chosen)
            menu->setActiveAction(chosen);
        QTest::keyClick(menu, chosen ? Qt::Key_Return : Qt::Key_Escape);
    });
    emit logOf(window)->customContextMenuRequested(QPoint(5, 5));
    return items;
}

// Answers the save dialog with `fileName`, or cancels it when the name is
// empty. Done through QDialog::done(), which skips Qt's own overwrite
// question; the export itself does not ask anything. The name is typed into
// the dialog's name field, as a user would type a full path.
void answerSaveDialog(const QString &fileName)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, fileName] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (!fileName.isEmpty()) {
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(fileName);
            if (dialog->selectedFiles() != QStringList{fileName})
                return;
        }
        poll->deleteLater();
        static_cast<QDialog *>(dialog)->done(fileName.isEmpty() ? QDialog::Rejected : QDialog::Accepted);
    });
    poll->start(50);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestTrafficLog : public QObject
{
    Q_OBJECT

private slots:
    void sendEchoColours();
    void displayOffDropsEverything();
    void appendedColourNeverLeaks();
    void timestampFormat();
    void menuItemsFollowTheSwitch();
    void clearEmptiesTheLog();
    void exportWritesHeaderAndText_data();
    void exportWritesHeaderAndText();
    void exportOverwritesAndKeepsTheLog();
    void cancelledExportWritesNothing();
    void linesKeepTheirTextAndColourWhateverIsSelected();
    void failedExportIsTold_data();
    void failedExportIsTold();
    void linesOfOnePassReachTheViewInOneEdit();
    void boundDropsTheOldestLinesBehindOneNotice();
    void exportAfterADropSaysSoFirst();
};

void TestTrafficLog::sendEchoColours()
{
    WorkFolder folder{emptyMap};
    MainWindow window;
    emit Serial::instance()->sendDataShow(QStringLiteral("Tx(hex):01 "), false);
    emit Serial::instance()->sendDataShow(QStringLiteral("Tx:AT"), true);
    const QList<LogLine> lines = logLines(window);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(withoutTimestamp(lines.at(0).text), QStringLiteral("Tx(hex):01 "));
    QCOMPARE(lines.at(0).colour, red);
    QCOMPARE(withoutTimestamp(lines.at(1).text), QStringLiteral("Tx:AT"));
    QCOMPARE(lines.at(1).colour, black);
}

void TestTrafficLog::displayOffDropsEverything()
{
    WorkFolder folder{emptyMap};
    MainWindow window;
    Inspect::isDisplayOn(window) = false;
    emit Serial::instance()->sendDataShow(QStringLiteral("Tx:lost"), false);
    QVERIFY(logLines(window).isEmpty());
    QCOMPARE(logOf(window)->textColor(), black);

    Inspect::isDisplayOn(window) = true;
    emit Serial::instance()->sendDataShow(QStringLiteral("Tx:kept"), true);
    QCOMPARE(logTexts(window).size(), 1);
    QCOMPARE(logLines(window).first().colour, black);
}

void TestTrafficLog::appendedColourNeverLeaks()
{
    WorkFolder folder{emptyMap};
    MainWindow window;
    window.appendLogLine(QColor(255, 180, 180, 255), QStringLiteral("Data CRC Error!"));
    emit Serial::instance()->sendDataShow(QStringLiteral("Tx:next"), true);
    QCOMPARE(logLines(window).last().colour, black);
}

void TestTrafficLog::timestampFormat()
{
    WorkFolder folder{emptyMap};
    MainWindow window;
    const QTime before = QTime::currentTime();
    emit Serial::instance()->sendDataShow(QStringLiteral("Tx:x"), true);
    const QString line = logTexts(window).first();
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^\\[(\\d\\d):(\\d\\d):(\\d\\d)::(\\d\\d\\d)\\] Tx:x$")).match(line);
    QVERIFY2(match.hasMatch(), qPrintable(line));
    const QTime stamped(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
                        match.captured(4).toInt());
    QVERIFY(qAbs(before.msecsTo(stamped)) < 2000);
}

void TestTrafficLog::menuItemsFollowTheSwitch()
{
    WorkFolder folder{emptyMap};
    MainWindow window;
    window.show();
    QCOMPARE(useContextMenu(window, QStringLiteral("停止显示")),
             (QStringList{"清空显示", "停止显示", "导出内容"}));
    QVERIFY(!Inspect::isDisplayOn(window));
    QCOMPARE(useContextMenu(window, QStringLiteral("启动显示")),
             (QStringList{"清空显示", "启动显示", "导出内容"}));
    QVERIFY(Inspect::isDisplayOn(window));
    useContextMenu(window, QString()); // dismissed: nothing changes
    QVERIFY(Inspect::isDisplayOn(window));
}

void TestTrafficLog::clearEmptiesTheLog()
{
    WorkFolder folder{emptyMap};
    MainWindow window;
    window.show();
    window.appendLogLine(QColor(255, 180, 180, 255), QStringLiteral("Data CRC Error!"));
    useContextMenu(window, QStringLiteral("清空显示"));
    QVERIFY(logLines(window).isEmpty());
    QVERIFY(Inspect::isDisplayOn(window));
    emit Serial::instance()->sendDataShow(QStringLiteral("Tx:next"), true);
    QCOMPARE(logLines(window).last().colour, black);
}

void TestTrafficLog::exportWritesHeaderAndText_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("empty log") << QStringList() << QByteArray("File Bytes :  0\n\n");
    QTest::newRow("two error lines")
        << QStringList{"Data CRC Error!", "Data receiving timeout!"}
        << QByteArray("File Bytes :  39\nData CRC Error!\nData receiving timeout!\n");
    QTest::newRow("text that looks like markup") << QStringList{"a<b>bold</b>"}
                                                 << QByteArray("File Bytes :  12\na<b>bold</b>\n");
}

void TestTrafficLog::exportWritesHeaderAndText()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, body);
    WorkFolder folder{emptyMap};
    MainWindow window;
    window.show();
    for (const QString &line : lines)
        window.appendLogLine(QColor(255, 180, 180, 255), line);
    const QString target = folder.path() + QStringLiteral("/log.txt");
    const QDateTime before = QDateTime::currentDateTime();

    answerSaveDialog(target);
    useContextMenu(window, QStringLiteral("导出内容"));

    const QByteArray written = readFile(target);
    const int firstBreak = written.indexOf('\n');
    const QByteArray header = written.left(firstBreak);
    QVERIFY2(header.startsWith("File output time :  "), header.constData());
    const QDateTime stamped = QDateTime::fromString(QString::fromLatin1(header.mid(20)),
                                                    QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    QVERIFY(stamped.isValid());
    QVERIFY(qAbs(before.secsTo(stamped)) <= 5);
    QCOMPARE(written.mid(firstBreak + 1), body);
}

void TestTrafficLog::exportOverwritesAndKeepsTheLog()
{
    WorkFolder folder{emptyMap};
    MainWindow window;
    window.show();
    const QString target = folder.path() + QStringLiteral("/log.txt");
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'x'));
    old.close();

    Inspect::isDisplayOn(window) = false;
    window.appendLogLine(QColor(255, 180, 180, 255), QStringLiteral("Data CRC Error!"));
    answerSaveDialog(target);
    useContextMenu(window, QStringLiteral("导出内容"));

    QVERIFY(readFile(target).endsWith("File Bytes :  15\nData CRC Error!\n"));
    QCOMPARE(logTexts(window), QStringList{"Data CRC Error!"});
    QVERIFY(!Inspect::isDisplayOn(window));
}

void TestTrafficLog::cancelledExportWritesNothing()
{
    WorkFolder folder{emptyMap};
    MainWindow window;
    window.show();
    window.appendLogLine(QColor(255, 180, 180, 255), QStringLiteral("Data CRC Error!"));
    const QStringList before = QDir(folder.path()).entryList(QDir::Files);
    answerSaveDialog(QString());
    useContextMenu(window, QStringLiteral("导出内容"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), before);
    QCOMPARE(logTexts(window), QStringList{"Data CRC Error!"});
    QVERIFY(toastFrames().isEmpty());
}

void TestTrafficLog::linesKeepTheirTextAndColourWhateverIsSelected()
{
    const QColor pink(255, 180, 180, 255);
    WorkFolder folder{emptyMap};
    MainWindow window;
    window.show();
    QTextBrowser *log = logOf(window);
    window.appendLogLine(pink, QStringLiteral("Rx:a<b>bold</b> &amp;"));
    QTRY_VERIFY(!log->document()->isEmpty()); // shown at the next pass

    // The user selects the first line, then traffic goes on.
    QTextCursor selection(log->document());
    selection.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    log->setTextCursor(selection);
    emit Serial::instance()->sendDataShow(QStringLiteral("Tx:<i>x</i>"), false);
    emit Serial::instance()->sendDataShow(QStringLiteral("Tx:ok"), true);

    const QList<LogLine> lines = logLines(window);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0).text, QStringLiteral("Rx:a<b>bold</b> &amp;"));
    QCOMPARE(lines.at(0).colour, pink);
    QCOMPARE(withoutTimestamp(lines.at(1).text), QStringLiteral("Tx:<i>x</i>"));
    QCOMPARE(lines.at(1).colour, red);
    QCOMPARE(lines.at(2).colour, black);
    QVERIFY(log->textCursor().hasSelection());

    // The view follows new lines while it is at the bottom, and only then,
    // also when the window lays the text out between lines, as it does
    // while polling.
    for (int i = 0; i < 200; ++i) {
        window.appendLogLine(pink, QStringLiteral("line %1").arg(i));
        if (i % 10 == 0)
            QTest::qWait(5);
    }
    QScrollBar *scrollBar = log->verticalScrollBar();
    QVERIFY(scrollBar->maximum() > 0);
    QCOMPARE(scrollBar->value(), scrollBar->maximum());
    // A dock taking room from the log makes the range longer.
    log->setFixedHeight(log->height() / 2);
    QTRY_COMPARE(scrollBar->value(), scrollBar->maximum());
    scrollBar->setValue(0);
    window.appendLogLine(pink, QStringLiteral("one more"));
    QCOMPARE(scrollBar->value(), 0);
}

void TestTrafficLog::failedExportIsTold_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("full disk") << "/dev/full";
    QTest::newRow("under a regular file") << "log.txt/inner.txt";
}

void TestTrafficLog::failedExportIsTold()
{
    QFETCH(QString, target);
    WorkFolder folder{emptyMap};
    QFile plain(folder.path() + QStringLiteral("/log.txt"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    MainWindow window;
    window.show();
    window.appendLogLine(QColor(255, 180, 180, 255), QStringLiteral("Data CRC Error!"));

    answerSaveDialog(target.startsWith(QLatin1Char('/')) ? target : folder.path() + QLatin1Char('/') + target);
    useContextMenu(window, QStringLiteral("导出内容"));

    QCOMPARE(toastFrames().size(), 1);
    const QString text = toastText(toastFrames().first());
    QVERIFY2(text.contains(QStringLiteral("文件写入失败")), qPrintable(text));
    // The reason follows the message.
    QVERIFY2(text.trimmed().size() > QStringLiteral("文件写入失败 :  !").size(), qPrintable(text));
    QTRY_VERIFY_WITH_TIMEOUT(toastFrames().isEmpty(), 5000);
}

// Lines of every kind arriving in one pass, the view written late: one
// change of the document for all of them, each line as it was given, and a
// traffic line stamped when it arrived, not when it was shown.
void TestTrafficLog::linesOfOnePassReachTheViewInOneEdit()
{
    const QColor pink(255, 180, 180, 255);
    const QColor grey(200, 200, 200, 255);
    WorkFolder folder{emptyMap};
    MainWindow window;
    window.show();
    QTextBrowser *log = logOf(window);
    QTest::qWait(100); // no write pending from the window's start
    QSignalSpy documentChanges(log->document(), &QTextDocument::contentsChange);

    const QTime sent = QTime::currentTime();
    emit Serial::instance()->sendDataShow(QStringLiteral("Tx(hex):01 03 "), true);
    QThread::msleep(150);
    window.appendLogLine(grey, QStringLiteral("[09:05:03::020] Rx(hex):01 03 02 "));
    window.appendLogLine(pink, QStringLiteral("Data CRC Error!"));
    emit Serial::instance()->sendDataShow(QStringLiteral("Tx(hex):"), false);
    window.appendLogLine(pink, QStringLiteral("a<b>bold</b>"));
    QTRY_VERIFY(!log->document()->isEmpty());

    QCOMPARE(documentChanges.count(), 1);
    const QList<LogLine> lines = logLines(window);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(withoutTimestamp(lines.at(0).text), QStringLiteral("Tx(hex):01 03 "));
    const QTime stamped = QTime::fromString(lines.at(0).text.mid(1, 14), QStringLiteral("hh:mm:ss::zzz"));
    QVERIFY2(qAbs(sent.msecsTo(stamped)) < 100, qPrintable(lines.at(0).text));
    QCOMPARE(lines.at(0).colour, black);
    QCOMPARE(lines.at(1).text, QStringLiteral("[09:05:03::020] Rx(hex):01 03 02 "));
    QCOMPARE(lines.at(1).colour, grey);
    QCOMPARE(lines.at(2).text, QStringLiteral("Data CRC Error!"));
    QCOMPARE(lines.at(2).colour, pink);
    QCOMPARE(withoutTimestamp(lines.at(3).text), QStringLiteral("Tx(hex):"));
    QCOMPARE(lines.at(3).colour, red);
    QCOMPARE(lines.at(4).text, QStringLiteral("a<b>bold</b>"));
    QCOMPARE(lines.at(4).colour, pink);
}

// Past the bound the oldest lines go; the first drop leaves one notice at
// the top, later drops none. A view the user scrolled up keeps its line.
void TestTrafficLog::boundDropsTheOldestLinesBehindOneNotice()
{
    const QColor grey(200, 200, 200, 255);
    WorkFolder folder{emptyMap};
    MainWindow window;
    window.show();
    LogBuffer &buffer = Inspect::trafficLog(window);
    buffer.setMaximumLines(100);
    QTextBrowser *log = logOf(window);
    int next = 0;
    const auto appendLines = [&](int count) {
        for (int end = next + count; next < end; ++next)
            window.appendLogLine(next % 2 ? grey : black, QStringLiteral("line %1").arg(next));
        QTest::qWait(60);
    };
    // What the log shows: the notice, then the newest lines in order and
    // in their colours, no more than the bound.
    const auto checkKept = [&] {
        const QList<LogLine> lines = logLines(window);
        QVERIFY(lines.size() <= 100 && lines.size() >= 80);
        QVERIFY2(lines.first().text.startsWith(QStringLiteral("Older lines were dropped")),
                 qPrintable(lines.first().text));
        for (int i = 1; i < lines.size(); ++i) {
            const int number = next - lines.size() + i;
            QCOMPARE(lines.at(i).text, QStringLiteral("line %1").arg(number));
            QCOMPARE(lines.at(i).colour, number % 2 ? grey : black);
        }
    };

    appendLines(99);
    QCOMPARE(logLines(window).size(), 99);
    QCOMPARE(buffer.droppedLines(), 0);
    appendLines(51);
    checkKept();
    const int droppedOnce = buffer.droppedLines();
    QCOMPARE(droppedOnce, 150 - (logLines(window).size() - 1));

    // The user reads an older line that the next drop keeps; it stays
    // where it was.
    QScrollBar *scrollBar = log->verticalScrollBar();
    const QTextBlock reading = log->document()->findBlockByNumber(20);
    scrollBar->setValue(int(log->document()->documentLayout()->blockBoundingRect(reading).top()) + 1);
    const QString readLine = log->cursorForPosition(QPoint(5, 5)).block().text();
    QVERIFY(scrollBar->value() < scrollBar->maximum());
    appendLines(12);
    checkKept();
    QVERIFY(buffer.droppedLines() > droppedOnce);
    QCOMPARE(log->cursorForPosition(QPoint(5, 5)).block().text(), readLine);

    // Scrolled back to the bottom, the view follows again across drops.
    scrollBar->setValue(scrollBar->maximum());
    appendLines(100);
    checkKept();
    QTRY_COMPARE(scrollBar->value(), scrollBar->maximum());
}

// The file holds what the log keeps, the notice first, and its first line
// says that older lines were dropped; once the log is cleared it no longer
// does.
void TestTrafficLog::exportAfterADropSaysSoFirst()
{
    WorkFolder folder{emptyMap};
    MainWindow window;
    window.show();
    Inspect::trafficLog(window).setMaximumLines(10);
    for (int i = 0; i < 25; ++i)
        window.appendLogLine(black, QStringLiteral("line %1").arg(i));
    const QStringList kept = logTexts(window);
    const QString target = folder.path() + QStringLiteral("/log.txt");

    answerSaveDialog(target);
    useContextMenu(window, QStringLiteral("导出内容"));
    QList<QByteArray> written = readFile(target).split('\n');
    QVERIFY2(written.first().startsWith("File output time :  "), written.first().constData());
    const int dropped = 25 - (kept.size() - 1);
    QVERIFY2(written.first().endsWith("  (older lines dropped: " + QByteArray::number(dropped) + ")"),
             written.first().constData());
    QCOMPARE(written.mid(2, kept.size()).join('\n'), kept.join('\n').toUtf8());
    QVERIFY(written.at(2).startsWith("Older lines were dropped"));
    QCOMPARE(written.at(1), "File Bytes :  " + QByteArray::number(kept.join('\n').size()));

    useContextMenu(window, QStringLiteral("清空显示"));
    window.appendLogLine(black, QStringLiteral("after"));
    answerSaveDialog(target);
    useContextMenu(window, QStringLiteral("导出内容"));
    written = readFile(target).split('\n');
    QVERIFY2(!written.first().contains("dropped"), written.first().constData());
    QCOMPARE(written.at(2), QByteArray("after"));
}

QTEST_MAIN(TestTrafficLog)
#include "tst_trafficlog.moc"

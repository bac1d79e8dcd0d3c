#include "monitor/monitordock.h"
#include "monitor/ringseries.h"
#include "monitor/samplering.h"
#include "monitor/trendplot.h"
#include "monitor/valuerecorder.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <qwt_plot_curve.h>

namespace {

RegisterInfo watchedRegister(quint16 address, const QString &name)
{
    RegisterInfo info;
    info.address = address;
    info.name = name;
    return info;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The text without the byte order mark, which fromUtf8() drops.
QString fileText(const QString &path)
{
    return QString::fromUtf8(fileBytes(path));
}

const QString timePattern = QStringLiteral("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}");

} // namespace

class TestMonitor : public QObject
{
    Q_OBJECT

private slots:
    void recordsHeaderAndOneRowPerRefresh();
    void rowsReachTheFileWithinASecond();
    void writeFailuresStopTheRecordingWithAReason();
    void ringKeepsTheNewestPointsAndWindowsKeepPeaks();
    void pausedPlotKeepsItsViewAndResumeCatchesUp();
    void dockPlotsAndRecordsTheWatchedRegisters();
};

void TestMonitor::recordsHeaderAndOneRowPerRefresh()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("values.csv"));
    ValueRecorder recorder;
    QVERIFY(recorder.start(path, {watchedRegister(0x10, QStringLiteral("Run current")),
                                  watchedRegister(0xab, QStringLiteral("Speed, \"max\""))}));
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
    recorder.addValue(0, 3000);
    recorder.addValue(1, 7);
    recorder.finishRefresh();
    recorder.addValue(1, 65535);
    recorder.finishRefresh();
    recorder.stop();
    QVERIFY(!recorder.isRecording());

    QVERIFY(fileBytes(path).startsWith("\xEF\xBB\xBFtime,"));
    const QStringList lines = fileText(path).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), QStringLiteral("time,0x0010 Run current,\"0x00AB Speed, \"\"max\"\"\""));
    QVERIFY2(QRegularExpression('^' + timePattern + ",3000,7$").match(lines.at(1)).hasMatch(),
             qPrintable(lines.at(1)));
    QVERIFY2(QRegularExpression('^' + timePattern + ",,65535$").match(lines.at(2)).hasMatch(),
             qPrintable(lines.at(2)));
    QCOMPARE(lines.at(3), QString());
    const QDateTime stamped = QDateTime::fromString(lines.at(1).section(',', 0, 0), Qt::ISODateWithMs);
    QVERIFY(stamped >= before && stamped <= QDateTime::currentDateTime());
}

void TestMonitor::rowsReachTheFileWithinASecond()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("values.csv"));
    ValueRecorder recorder;
    QVERIFY(recorder.start(path, {watchedRegister(0x10, QStringLiteral("Run current"))}));
    recorder.addValue(0, 1234);
    recorder.finishRefresh();
    QTRY_VERIFY_WITH_TIMEOUT(fileText(path).contains(QStringLiteral(",1234\r\n")), 1500);
    QVERIFY(recorder.isRecording());
}

void TestMonitor::writeFailuresStopTheRecordingWithAReason()
{
    ValueRecorder recorder;
    QVERIFY(!recorder.start(QStringLiteral("/nonexistent-folder/values.csv"),
                            {watchedRegister(0x10, QStringLiteral("Run current"))}));
    QVERIFY(!recorder.errorString().isEmpty());
    QVERIFY(!recorder.isRecording());

    QSignalSpy failed(&recorder, &ValueRecorder::failed);
    QVERIFY(recorder.start(QStringLiteral("/dev/full"),
                           {watchedRegister(0x10, QStringLiteral("Run current"))}));
    recorder.addValue(0, 1);
    recorder.finishRefresh();
    QVERIFY(failed.wait(2000));
    QCOMPARE(failed.size(), 1);
    QVERIFY(!failed.at(0).at(0).toString().isEmpty());
    QVERIFY(!recorder.isRecording());
    recorder.finishRefresh();
    recorder.stop();
    QCOMPARE(failed.size(), 1);
}

void TestMonitor::ringKeepsTheNewestPointsAndWindowsKeepPeaks()
{
    SampleRing small(5);
    for (int i = 0; i < 12; ++i)
        small.append(i, 100 + i);
    QCOMPARE(small.size(), 5);
    QCOMPARE(small.appended(), qint64(12));
    QCOMPARE(small.at(0), QPointF(7, 107));
    QCOMPARE(small.at(4), QPointF(11, 111));
    QCOMPARE(small.firstAtOrAfter(9), 2);

    SampleRing large(200000);
    for (int i = 0; i < 100000; ++i)
        large.append(i / 50.0, i == 54321 ? 1000 : i % 7);
    RingSeries series(large);
    series.setWindow(100, 110);
    // The window and one point before it, read as they are.
    QCOMPARE(series.size(), size_t(502));
    QCOMPARE(series.sample(1), QPointF(100, 5000 % 7));
    series.setWindow(0, 2000);
    QVERIFY(series.size() <= 2002);
    QCOMPARE(series.boundingRect().top(), 0.0);
    QCOMPARE(series.boundingRect().bottom(), 1000.0);
    bool peakDrawn = false;
    for (size_t i = 0; i < series.size(); ++i)
        peakDrawn = peakDrawn || series.sample(i) == QPointF(54321 / 50.0, 1000);
    QVERIFY(peakDrawn);
}

void TestMonitor::pausedPlotKeepsItsViewAndResumeCatchesUp()
{
    TrendPlot plot;
    plot.setCurves({QStringLiteral("Speed")});
    plot.setSpan(10);
    for (int t = 0; t <= 40; ++t)
        plot.addSample(0, t, t);
    plot.refreshView();
    plot.setPaused(true);
    for (int t = 41; t <= 100; ++t)
        plot.addSample(0, t, 2 * t);
    QTest::qWait(3 * TrendPlot::replotIntervalMs);
    QCOMPARE(plot.axisScaleDiv(QwtPlot::xBottom).interval(), QwtInterval(30, 40));
    QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).interval().maxValue(), 40.0);
    // Looking back while paused: the whole history up to the pause.
    plot.setSpan(TrendPlot::wholeSpan);
    QCOMPARE(plot.axisScaleDiv(QwtPlot::xBottom).interval(), QwtInterval(0, 40));
    QVERIFY(plot.readoutAt(60).contains(QStringLiteral("Speed: 120")));

    plot.setSpan(10);
    plot.setPaused(false);
    QCOMPARE(plot.axisScaleDiv(QwtPlot::xBottom).interval(), QwtInterval(90, 100));
    QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).interval().maxValue(), 200.0);
}

void TestMonitor::dockPlotsAndRecordsTheWatchedRegisters()
{
    MonitorDock dock;
    dock.setWatched({watchedRegister(0x10, QStringLiteral("Run current")),
                     watchedRegister(0x11, QStringLiteral("Hold current")),
                     watchedRegister(0x12, QStringLiteral("细分"))});
    auto *plot = dock.findChild<TrendPlot *>();
    QVERIFY(plot);
    QStringList titles;
    for (QwtPlotItem *item : plot->itemList(QwtPlotItem::Rtti_PlotCurve))
        titles << item->title().text();
    QCOMPARE(titles, QStringList({"Run current", "Hold current", "细分"}));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dock.csv"));
    QVERIFY(dock.startRecording(path));
    dock.addValue(2, 16);
    dock.finishRefresh();
    dock.stopRecording();
    QVERIFY(!dock.isRecording());
    QVERIFY(QRegularExpression(timePattern + ",,,16\r\n$").match(fileText(path)).hasMatch());
    QVERIFY(plot->readoutAt(1e6).contains(QStringLiteral("细分: 16")));

    QSignalSpy failed(&dock, &MonitorDock::recordingFailed);
    QVERIFY(!dock.startRecording(dir.filePath(QStringLiteral("missing/dock.csv"))));
    QCOMPARE(failed.size(), 1);

    dock.setWatched({watchedRegister(0x20, QStringLiteral("Speed"))});
    QCOMPARE(plot->itemList(QwtPlotItem::Rtti_PlotCurve).size(), 1);
    QCOMPARE(plot->itemList(QwtPlotItem::Rtti_PlotCurve).first()->title().text(), QStringLiteral("Speed"));
}

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"

#include "ui/monitor/monitordock.h"
#include "ui/monitor/ringseries.h"
#include "monitor/samplering.h"
#include "ui/monitor/trendplot.h"
#include "monitor/valuerecorder.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <QMainWindow>
#include <QMenu>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_legend.h>
#include <qwt_legend_label.h>

#include "ui/monitor/livemonitor.h"
#include "registermap/registermap.h"

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

// Pixels of the curve's colour in the canvas column of time `seconds`, and
// the one on each side of it.
int curvePixelsAt(TrendPlot &plot, const QColor &colour, double seconds)
{
    plot.refreshView();
    const QImage canvas = plot.canvas()->grab().toImage();
    const int column = qRound(plot.transform(QwtPlot::xBottom, seconds));
    int pixels = 0;
    for (int x = column - 1; x <= column + 1; ++x)
        for (int y = 0; y < canvas.height(); ++y)
            pixels += x >= 0 && x < canvas.width() && canvas.pixelColor(x, y) == colour;
    return pixels;
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
    void curvesBreakWhereSamplesAreMissing();
    void typedValuesArePlottedAndRecordedInShownUnits();
    void curvesOfEverySizeShowTheirShape();
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
    plot.setCurves({QStringLiteral("Speed")}, {QString()});
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
    // Recording starts in the middle of a refresh: its first row still holds
    // the value that came before.
    dock.addValue(0, 3000);
    QVERIFY(dock.startRecording(path));
    dock.addValue(2, 16);
    dock.finishRefresh();
    dock.stopRecording();
    QVERIFY(!dock.isRecording());
    QVERIFY2(QRegularExpression(timePattern + ",3000,,16\r\n$").match(fileText(path)).hasMatch(),
             qPrintable(fileText(path)));
    QVERIFY(plot->readoutAt(1e6).contains(QStringLiteral("细分: 16")));

    QSignalSpy failed(&dock, &MonitorDock::recordingFailed);
    QVERIFY(!dock.startRecording(dir.filePath(QStringLiteral("missing/dock.csv"))));
    QCOMPARE(failed.size(), 1);

    dock.setWatched({watchedRegister(0x20, QStringLiteral("Speed"))});
    QCOMPARE(plot->itemList(QwtPlotItem::Rtti_PlotCurve).size(), 1);
    QCOMPARE(plot->itemList(QwtPlotItem::Rtti_PlotCurve).first()->title().text(), QStringLiteral("Speed"));
}

// A value that was not read is not drawn as a ramp: the curve breaks at a
// refresh without its value, when refreshes stop, and when the line closes;
// a lone value between breaks is still a dot.
void TestMonitor::curvesBreakWhereSamplesAreMissing()
{
    const QColor first(31, 119, 180);
    const QColor second(214, 39, 40);
    TrendPlot plot;
    plot.resize(640, 360);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    plot.setCurves({QStringLiteral("Speed")}, {QString()});
    plot.setSpan(100);
    for (int t = 0; t <= 10; ++t)
        plot.addSample(0, t, 2000);
    plot.breakCurve(0, 10.5);
    for (int t = 30; t <= 40; ++t)
        plot.addSample(0, t, 300);
    plot.breakCurve(0, 40.5);
    plot.addSample(0, 50, 1000);
    plot.breakCurve(0, 50.5);
    plot.breakCurve(0, 51); // no sample since the last break: nothing more
    plot.addSample(0, 60, 1000);
    plot.addSample(0, 70, 1000);
    QVERIFY(curvePixelsAt(plot, first, 5) > 0);
    QCOMPARE(curvePixelsAt(plot, first, 20), 0);
    QVERIFY(curvePixelsAt(plot, first, 35) > 0);
    QCOMPARE(curvePixelsAt(plot, first, 45), 0);
    QVERIFY(curvePixelsAt(plot, first, 50) > 0);
    QCOMPARE(curvePixelsAt(plot, first, 55), 0);
    QVERIFY(curvePixelsAt(plot, first, 65) > 0);

    // Through the monitor as the window feeds it: the second register
    // misses the third refresh, then refreshes stop.
    QMainWindow window;
    QMenu viewMenu;
    LiveMonitor monitor(&window, &viewMenu);
    monitor.toggleRows({0, 1}, {watchedRegister(0x10, QStringLiteral("A")), watchedRegister(0x11, QStringLiteral("B"))});
    window.resize(900, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Closed with its ✕, the dock comes back from the View menu.
    auto *dock = window.findChild<MonitorDock *>();
    dock->close();
    QVERIFY(!dock->isVisible() && viewMenu.actions().size() == 1);
    viewMenu.actions().first()->trigger();
    QVERIFY(dock->isVisible());
    auto *docked = window.findChild<TrendPlot *>();
    // Wide enough that slow waits on a loaded machine keep the first refresh in view.
    docked->setSpan(6);
    QElapsedTimer clock;
    clock.start();
    QList<double> times;
    for (int refresh = 0; refresh < 4; ++refresh) {
        monitor.valueArrived(0, 100);
        if (refresh != 2)
            monitor.valueArrived(1, 200);
        times.append(clock.elapsed() / 1000.0);
        monitor.refreshFinished();
        if (refresh == 3)
            monitor.refreshesStopped();
        QTest::qWait(300);
    }
    monitor.valueArrived(0, 100);
    monitor.valueArrived(1, 200);
    monitor.refreshFinished();
    const double between = (times.at(0) + times.at(1)) / 2;
    QVERIFY(curvePixelsAt(*docked, first, between) > 0);
    QVERIFY(curvePixelsAt(*docked, second, between) > 0);
    for (const double aroundMiss : {(times.at(1) + times.at(2)) / 2, (times.at(2) + times.at(3)) / 2}) {
        QVERIFY(curvePixelsAt(*docked, first, aroundMiss) > 0);
        QCOMPARE(curvePixelsAt(*docked, second, aroundMiss), 0);
    }
    const double afterStop = times.at(3) + 0.15;
    QCOMPARE(curvePixelsAt(*docked, first, afterStop), 0);
    QCOMPARE(curvePixelsAt(*docked, second, afterStop), 0);
}

// The header names the unit; a scaled or signed value is recorded and
// plotted as shown, states and bits as their number.
void TestMonitor::typedValuesArePlottedAndRecordedInShownUnits()
{
    const auto typed = [](const QString &address, const QString &name, const QString &keys) {
        return parseRegisterLine(QStringLiteral("indexes:%1,permission:R,defaultValue:0x0000,rangeValue:,name:%2,"
                                                "remarks:,%3").arg(address, name, keys));
    };
    MonitorDock dock;
    dock.setWatched({typed(QStringLiteral("0x0002"), QStringLiteral("Bus voltage"), QStringLiteral("scale:0.1,unit:V")),
                     typed(QStringLiteral("0x0001"), QStringLiteral("Alarm"), QStringLiteral("enum:0=无报警;1=过流")),
                     typed(QStringLiteral("0x0000"), QStringLiteral("Status"), QStringLiteral("bits:0=使能;1=运行")),
                     typed(QStringLiteral("0x0018"), QStringLiteral("Position"), QStringLiteral("type:s32"))});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("typed.csv"));
    QVERIFY(dock.startRecording(path));
    dock.addValue(0, 480);
    dock.addValue(1, 1);
    dock.addValue(2, 3);
    dock.addValue(3, -1200);
    dock.finishRefresh();
    dock.stopRecording();
    const QStringList lines = fileText(path).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.at(0), QStringLiteral("time,0x0002 Bus voltage [V],0x0001 Alarm,0x0000 Status,0x0018 Position"));
    QVERIFY2(QRegularExpression('^' + timePattern + ",48.0,1,3,-1200$").match(lines.at(1)).hasMatch(),
             qPrintable(lines.at(1)));
    const QString readout = dock.findChild<TrendPlot *>()->readoutAt(1e6);
    QVERIFY2(readout.contains(QStringLiteral("Bus voltage: 48")) && readout.contains(QStringLiteral("Position: -1200")),
             qPrintable(readout));
}

// Two units get an axis each, named for its unit; a third unit, or the
// user, puts every curve in its own range. A legend entry hides its curve,
// which keeps recording, and the readout names units.
void TestMonitor::curvesOfEverySizeShowTheirShape()
{
    TrendPlot plot;
    plot.resize(800, 400);
    plot.setCurves({"Bus", "Speed", "Target"}, {"V", "rpm", "rpm"});
    const QwtPlotItemList curves = plot.itemList(QwtPlotItem::Rtti_PlotCurve);
    auto axisOf = [&curves](int i) { return static_cast<QwtPlotCurve *>(curves.at(i))->yAxis(); };
    QCOMPARE((QList<int>{axisOf(0), axisOf(1), axisOf(2)}),
             (QList<int>{QwtPlot::yLeft, QwtPlot::yRight, QwtPlot::yRight}));
    QVERIFY(plot.axisEnabled(QwtPlot::yRight) && !plot.ownRanges());
    QCOMPARE(plot.axisTitle(QwtPlot::yLeft).text(), QStringLiteral("值 [V]"));
    QCOMPARE(plot.axisTitle(QwtPlot::yRight).text(), QStringLiteral("值 [rpm]"));
    QCOMPARE(curves.at(1)->title().text(), QStringLiteral("Speed [rpm]"));

    plot.addSample(0, 1, 48.5);
    plot.addSample(1, 1, -2500);
    auto *legend = static_cast<QwtLegend *>(plot.legend());
    auto *speedEntry = qobject_cast<QwtLegendLabel *>(legend->legendWidget(plot.itemToInfo(curves.at(1))));
    QVERIFY(speedEntry && speedEntry->isChecked());
    QTest::mouseClick(speedEntry, Qt::LeftButton);
    QVERIFY(!curves.at(1)->isVisible() && curves.at(0)->isVisible());
    plot.addSample(1, 2, 2500);
    const QString readout = plot.readoutAt(2);
    QVERIFY2(readout.contains(QStringLiteral("Bus: 48.5 V")) && readout.contains(QStringLiteral("Speed: 2500 rpm")),
             qPrintable(readout));

    plot.setCurves({"Bus", "Speed", "Position"}, {"V", "rpm", ""});
    QVERIFY(plot.ownRanges() && !plot.axisEnabled(QwtPlot::yRight));
    plot.addSample(2, 1, -300000);
    plot.addSample(2, 2, -100000);
    plot.addSample(2, 3, -200000);
    plot.refreshView();
    const QwtPlotCurve *position = static_cast<QwtPlotCurve *>(plot.itemList(QwtPlotItem::Rtti_PlotCurve).at(2));
    QCOMPARE(position->dataSize(), size_t(3));
    QCOMPARE((QList<double>{position->sample(0).y(), position->sample(1).y(), position->sample(2).y()}),
             (QList<double>{0, 100, 50}));
    QVERIFY(plot.readoutAt(3).contains(QStringLiteral("Position: -200000")));

    plot.setCurves({"Bus"}, {"V"});
    QVERIFY(!plot.ownRanges());
    plot.setOwnRanges(true);
    QVERIFY(plot.ownRanges());
    QCOMPARE(plot.axisInterval(QwtPlot::yLeft).maxValue(), 100.0);
}

QTEST_MAIN(TestMonitor)

#include "tst_monitor.moc"

// Trend plot over an hour: 8 curves fed 50 samples a second each with
// simulated timestamps, straight into the plot. Measures how much the
// resident memory grows over the hour and what a repaint costs (the view
// moved to the newest samples and the whole plot rendered into an 800x400
// image), sampled every 20 simulated seconds, for the 60-second span and
// for the whole hour.
#include "benchsupport.h"
#include "ui/monitor/trendplot.h"

#include <QApplication>
#include <QImage>
#include <qwt_plot_renderer.h>

#include <cmath>

namespace {

const int curves = 8;
const int samplesPerSecond = 50;
const int seconds = 3600;
const int repaintEverySeconds = 20;

// A slow wave per curve with a little deterministic jitter, so the lines
// are neither flat nor identical.
double simulatedValue(int curve, int step)
{
    const double t = double(step) / samplesPerSecond;
    return 2000 + 1500 * std::sin(t / (3.0 + curve)) + (step * 7919 + curve * 104729) % 97;
}

double repaintMs(TrendPlot &plot, QImage &image, const QwtPlotRenderer &renderer)
{
    const qint64 start = bench::monotonicNs();
    plot.refreshView();
    image.fill(Qt::white);
    renderer.renderTo(&plot, image);
    return (bench::monotonicNs() - start) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TrendPlot plot;
    plot.resize(800, 400);
    QStringList names;
    for (int i = 0; i < curves; ++i)
        names << QStringLiteral("Parameter %1 参数").arg(i);
    plot.setCurves(names, QStringList());
    QImage image(800, 400, QImage::Format_ARGB32_Premultiplied);
    QwtPlotRenderer renderer;
    repaintMs(plot, image, renderer);

    const qint64 residentBefore = bench::statusKiB("VmRSS");
    QVector<double> recentSpan;
    QVector<double> wholeHour;
    qint64 feedNs = 0;
    const int steps = seconds * samplesPerSecond;
    for (int step = 1; step <= steps; ++step) {
        const qint64 feedStart = bench::monotonicNs();
        for (int curve = 0; curve < curves; ++curve)
            plot.addSample(curve, double(step) / samplesPerSecond, simulatedValue(curve, step));
        feedNs += bench::monotonicNs() - feedStart;
        if (step % (repaintEverySeconds * samplesPerSecond) == 0) {
            plot.setSpan(60);
            recentSpan << repaintMs(plot, image, renderer);
            plot.setSpan(TrendPlot::wholeSpan);
            wholeHour << repaintMs(plot, image, renderer);
        }
    }
    const double growthMB = (bench::statusKiB("VmRSS") - residentBefore) * 1024 / 1e6;

    bench::printResult(QStringLiteral("trend plot memory growth, 8 curves x 50/s for an hour"),
                       QStringLiteral("%1 MB").arg(growthMB, 0, 'f', 1), QStringLiteral("< 50 MB"),
                       growthMB < 50);
    const double recent = bench::median(recentSpan);
    bench::printResult(QStringLiteral("trend plot repaint 800x400, last 60 s (median of %1)")
                           .arg(recentSpan.size()),
                       QStringLiteral("%1 ms").arg(recent, 0, 'f', 2), QStringLiteral("< 4 ms"),
                       recent < 4);
    const double whole = bench::median(wholeHour);
    bench::printResult(QStringLiteral("trend plot repaint 800x400, whole hour (median of %1)")
                           .arg(wholeHour.size()),
                       QStringLiteral("%1 ms").arg(whole, 0, 'f', 2), QStringLiteral("< 4 ms"),
                       whole < 4);
    bench::printFigure(QStringLiteral("trend plot cost of one sample fed"),
                       QStringLiteral("%1 ns").arg(double(feedNs) / (double(steps) * curves), 0, 'f', 0));
    return 0;
}

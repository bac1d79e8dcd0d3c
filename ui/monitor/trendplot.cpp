#include "trendplot.h"
#include "ui/language/followlanguage.h"

#include "ringseries.h"
#include "monitor/samplering.h"

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_picker_machine.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_picker.h>
#include <qwt_scale_widget.h>
#include <qwt_scale_map.h>

#include <QPainter>

#include <algorithm>
#include <iterator>
#include <limits>

namespace {

const QColor curveColours[] = {
    QColor(31, 119, 180), QColor(214, 39, 40), QColor(44, 160, 44), QColor(255, 127, 14),
    QColor(148, 103, 189), QColor(140, 86, 75), QColor(227, 119, 194), QColor(23, 190, 207),
};

// Follows the cursor over the canvas with a vertical line and the values of
// every curve at that time.
class ValuePicker : public QwtPlotPicker
{
public:
    explicit ValuePicker(TrendPlot *plot)
        : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::VLineRubberBand,
                        QwtPicker::AlwaysOn, plot->canvas()),
          plot(plot)
    {
        setStateMachine(new QwtPickerTrackerMachine);
    }

protected:
    QwtText trackerTextF(const QPointF &position) const override
    {
        QwtText text(plot->readoutAt(position.x()));
        text.setBackgroundBrush(QColor(255, 255, 255, 220));
        return text;
    }

private:
    TrendPlot *plot;
};

// A curve drawn in runs: no step joins two samples with a break between
// them. A run of one sample is drawn as a dot, so a lone value still shows.
class BrokenCurve : public QwtPlotCurve
{
public:
    // A polled register holds its value until the next sample: steps, not
    // ramps between samples.
    BrokenCurve(const QString &title, const QVector<double> &breaks) : QwtPlotCurve(title), breaks(breaks)
    {
        setStyle(QwtPlotCurve::Steps);
    }

protected:
    void drawSeries(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRectF &canvasRect,
                    int from, int to) const override
    {
        if (to < 0)
            to = int(dataSize()) - 1;
        int runStart = from;
        for (int i = from; i <= to; ++i) {
            if (i < to && !brokenBetween(sample(size_t(i)).x(), sample(size_t(i + 1)).x()))
                continue;
            if (i > runStart)
                QwtPlotCurve::drawSeries(painter, xMap, yMap, canvasRect, runStart, i);
            else
                drawDot(painter, xMap, yMap, sample(size_t(i)));
            runStart = i + 1;
        }
    }

private:
    bool brokenBetween(double earlier, double later) const
    {
        const auto next = std::lower_bound(breaks.cbegin(), breaks.cend(), earlier);
        return next != breaks.cend() && *next < later;
    }

    void drawDot(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QPointF &point) const
    {
        painter->save();
        painter->setPen(Qt::NoPen);
        painter->setBrush(pen().color());
        painter->drawEllipse(QPointF(xMap.transform(point.x()), yMap.transform(point.y())), 2.0, 2.0);
        painter->restore();
    }

    const QVector<double> &breaks;
};

} // namespace

TrendPlot::TrendPlot(QWidget *parent) : QwtPlot(parent)
{
    setCanvasBackground(Qt::white);
    // The time axis has no title: the span box beside the plot says seconds,
    // and the room goes to the curves.
    setAxisTitle(yLeft, tr("值"));
    followLanguage(this, [this] {
        placeCurves();
    });
    // Beside the curves, not under them: a laptop has width to spare, not
    // height. A click on an entry hides or shows its curve.
    auto *legend = new QwtLegend;
    legend->setDefaultItemMode(QwtLegendData::Checkable);
    insertLegend(legend, RightLegend);
    connect(legend, &QwtLegend::checked, this, [this](const QVariant &info, bool on) {
        setCurveShown(itemList(QwtPlotItem::Rtti_PlotCurve).indexOf(infoToItem(info)), on);
    });
    auto *grid = new QwtPlotGrid;
    grid->setMajorPen(QColor(225, 225, 225), 0, Qt::DotLine);
    grid->attach(this);
    new ValuePicker(this);
    setAutoReplot(false);
    canvas()->setMinimumHeight(leastCanvasHeight);
    // Few value labels until the plot is seen to be tall: their count sets
    // the least height the value axis asks for.
    setAxisMaxMajor(yLeft, 2);

    refreshTimer.setSingleShot(true);
    refreshTimer.setInterval(replotIntervalMs);
    connect(&refreshTimer, &QTimer::timeout, this, &TrendPlot::refreshView);
    refreshView();
}

// As many value labels as fit the height with room between them, so the
// labels never overlap however small the plot is made.
void TrendPlot::resizeEvent(QResizeEvent *event)
{
    QwtPlot::resizeEvent(event);
    const int labelHeight = axisWidget(yLeft)->fontMetrics().height();
    setAxisMaxMajor(yLeft, qBound(1, canvas()->height() * 2 / (5 * labelHeight), 8));
}

QSize TrendPlot::minimumSizeHint() const
{
    return QSize(QwtPlot::minimumSizeHint().width(), leastHeight);
}

// The curves read the rings, so they go first.
TrendPlot::~TrendPlot()
{
    detachItems(QwtPlotItem::Rtti_PlotCurve, true);
}

void TrendPlot::setCurves(const QStringList &curveNames, const QStringList &curveUnits)
{
    detachItems(QwtPlotItem::Rtti_PlotCurve, true);
    rings.clear();
    breaks.clear();
    series.clear();
    pausedAt = 0;
    names = curveNames;
    units = curveUnits;
    unitGroups.clear();
    for (int i = 0; i < names.size(); ++i) {
        const QString unit = units.value(i);
        if (!unitGroups.contains(unit))
            unitGroups << unit;
        rings.push_back(std::make_unique<SampleRing>(ringCapacity));
        breaks.push_back(std::make_unique<QVector<double>>());
        const QString title = unit.isEmpty() ? names.at(i) : QStringLiteral("%1 [%2]").arg(names.at(i), unit);
        auto *curve = new BrokenCurve(title, *breaks.back());
        curve->setPen(curveColours[i % std::size(curveColours)], 1);
        series.append(new RingSeries(*rings.back()));
        curve->setData(series.last());
        curve->attach(this);
        if (auto *label = qobject_cast<QwtLegendLabel *>(
                static_cast<QwtLegend *>(legend())->legendWidget(itemToInfo(curve))))
            label->setChecked(true);
    }
    placeCurves();
    // The legend's new entries change the height the plot needs.
    updateGeometry();
}

void TrendPlot::setOwnRanges(bool on)
{
    ownRangesAsked = on;
    placeCurves();
}

bool TrendPlot::ownRanges() const
{
    return ownRangesAsked || unitGroups.size() > 2;
}

void TrendPlot::setCurveShown(int curve, bool shown)
{
    const QwtPlotItemList items = itemList(QwtPlotItem::Rtti_PlotCurve);
    if (curve < 0 || curve >= items.size())
        return;
    items.at(curve)->setVisible(shown);
    replot();
}

QString TrendPlot::unitAxisTitle(const QString &unit) const
{
    return unit.isEmpty() ? tr("值") : tr("值 [%1]").arg(unit);
}

// Each unit its own axis, or every curve in its own range on the left one.
void TrendPlot::placeCurves()
{
    const bool own = ownRanges();
    const QwtPlotItemList items = itemList(QwtPlotItem::Rtti_PlotCurve);
    for (int i = 0; i < items.size(); ++i) {
        series.at(i)->setOwnRange(own);
        const bool right = !own && unitGroups.indexOf(units.value(i)) == 1;
        static_cast<QwtPlotCurve *>(items.at(i))->setYAxis(right ? yRight : yLeft);
    }
    enableAxis(yRight, !own && unitGroups.size() == 2);
    if (own) {
        setAxisScale(yLeft, 0, 100);
        // Short: an upright title as long as the axis would set the plot's
        // least height. The scale's meaning is in its tooltip.
        setAxisTitle(yLeft, tr("范围 %"));
        axisWidget(yLeft)->setToolTip(tr("各曲线自身范围 (%)"));
    } else {
        setAxisAutoScale(yLeft);
        setAxisAutoScale(yRight);
        axisWidget(yLeft)->setToolTip(QString());
        setAxisTitle(yLeft, unitAxisTitle(unitGroups.value(0)));
        setAxisTitle(yRight, unitAxisTitle(unitGroups.value(1)));
    }
    refreshView();
    // The legend's new entries change the height the plot needs.
    updateGeometry();
}

void TrendPlot::addSample(int curve, double seconds, double value)
{
    if (curve < 0 || curve >= int(rings.size()))
        return;
    rings[curve]->append(seconds, value);
    scheduleRefresh();
}

// A break needs a sample before it that is not yet cut off; breaks older
// than the oldest sample kept join nothing and are dropped. So there are
// never more breaks than samples, however long the line stays idle.
void TrendPlot::breakCurve(int curve, double seconds)
{
    if (curve < 0 || curve >= int(rings.size()))
        return;
    QVector<double> &times = *breaks[curve];
    const SampleRing &ring = *rings[curve];
    if (ring.isEmpty() || (!times.isEmpty() && times.last() >= ring.at(ring.size() - 1).x()))
        return;
    const double oldest = ring.at(0).x();
    times.erase(times.begin(), std::lower_bound(times.begin(), times.end(), oldest));
    times.append(seconds);
    scheduleRefresh();
}

void TrendPlot::setSpan(double seconds)
{
    spanSeconds = qMax(0.0, seconds);
    refreshView();
}

void TrendPlot::setPaused(bool pause)
{
    if (pause == paused)
        return;
    pausedAt = newestTime();
    paused = pause;
    if (!paused)
        refreshView();
}

void TrendPlot::scheduleRefresh()
{
    if (!paused && !refreshTimer.isActive())
        refreshTimer.start();
}

double TrendPlot::newestTime() const
{
    double latest = 0;
    for (const auto &ring : rings) {
        if (!ring->isEmpty())
            latest = qMax(latest, ring->at(ring->size() - 1).x());
    }
    return latest;
}

void TrendPlot::refreshView()
{
    double earliest = std::numeric_limits<double>::max();
    for (const auto &ring : rings) {
        if (!ring->isEmpty())
            earliest = qMin(earliest, ring->at(0).x());
    }
    const double latest = paused ? pausedAt : newestTime();
    double from, to;
    if (spanSeconds > 0) {
        to = qMax(latest, spanSeconds);
        from = to - spanSeconds;
    } else {
        from = earliest <= latest ? earliest : 0;
        to = qMax(latest, from + 1);
    }
    for (RingSeries *curveSeries : series)
        curveSeries->setWindow(from, to);
    setAxisScale(xBottom, from, to);
    replot();
}

QString TrendPlot::readoutAt(double seconds) const
{
    QStringList lines{tr("%1 s").arg(seconds, 0, 'f', 2)};
    for (int i = 0; i < names.size(); ++i) {
        const SampleRing &ring = *rings[i];
        int index = ring.firstAtOrAfter(seconds);
        if (index == ring.size() || ring.at(index).x() > seconds)
            --index;
        const QString unit = units.value(i).isEmpty() ? QString() : QLatin1Char(' ') + units.value(i);
        lines << (index < 0 ? tr("%1: —").arg(names.at(i))
                            : tr("%1: %2").arg(names.at(i)).arg(QString::number(ring.at(index).y()) + unit));
    }
    return lines.join(QLatin1Char('\n'));
}

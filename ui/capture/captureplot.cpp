#include "ui/capture/captureplot.h"
#include "ui/language/followlanguage.h"

#include "monitor/capture.h"

#include <qwt_legend.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_widget.h>

#include <iterator>

namespace {

const QColor curveColours[] = {
    QColor(31, 119, 180), QColor(214, 39, 40), QColor(44, 160, 44), QColor(255, 127, 14),
    QColor(148, 103, 189), QColor(140, 86, 75), QColor(227, 119, 194), QColor(23, 190, 207),
};
const Qt::PenStyle comparedStyles[] = {Qt::DashLine, Qt::DotLine, Qt::DashDotLine, Qt::DashDotDotLine};

} // namespace

CapturePlot::CapturePlot(QWidget *parent) : QwtPlot(parent)
{
    setCanvasBackground(Qt::white);
    followLanguage(this, [this] { nameTimeAxis(); });
    nameTimeAxis();
    insertLegend(new QwtLegend, RightLegend);
    auto *grid = new QwtPlotGrid;
    grid->setMajorPen(QColor(225, 225, 225), 0, Qt::DotLine);
    grid->attach(this);
    auto *trigger = new QwtPlotMarker;
    trigger->setLineStyle(QwtPlotMarker::VLine);
    trigger->setLinePen(Qt::gray, 1, Qt::DashLine);
    trigger->setXValue(0);
    trigger->attach(this);
    // The dock is kept low, so the table beside it keeps its rows: the plot
    // may shrink below its size hint (a QwtPlot's least size otherwise).
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

// In the labels' own size: the plot is low, and its height is the curves'.
void CapturePlot::nameTimeAxis()
{
    QwtText title(tr("触发后时间 (ms)"));
    title.setFont(axisWidget(xBottom)->font());
    setAxisTitle(xBottom, title);
}

// Qwt asks for room for all its value labels; fewer are shown when low.
QSize CapturePlot::minimumSizeHint() const
{
    return QSize(QwtPlot::minimumSizeHint().width(), leastHeight);
}

// As many value labels as fit the height with room between them.
void CapturePlot::resizeEvent(QResizeEvent *event)
{
    QwtPlot::resizeEvent(event);
    const int labelHeight = axisWidget(yLeft)->fontMetrics().height();
    setAxisMaxMajor(yLeft, qBound(2, canvas()->height() * 2 / (5 * labelHeight), 8));
}

void CapturePlot::showCaptures(const Capture &current, const QList<Capture> &compared, const QStringList &labels)
{
    detachItems(QwtPlotItem::Rtti_PlotCurve);
    QStringList names;
    addCurves(current, QString(), Qt::SolidLine, &names);
    for (int i = 0; i < compared.size(); ++i)
        addCurves(compared.at(i), labels.value(i), comparedStyles[i % std::size(comparedStyles)], &names);
    replot();
}

void CapturePlot::addCurves(const Capture &capture, const QString &label, Qt::PenStyle style, QStringList *names)
{
    for (const CaptureCurve &row : capture.curves) {
        if (!names->contains(row.name))
            names->append(row.name);
        const QColor colour = curveColours[names->indexOf(row.name) % std::size(curveColours)];
        QString title = row.unit.isEmpty() ? row.name : QStringLiteral("%1 [%2]").arg(row.name, row.unit);
        if (!label.isEmpty())
            title += QStringLiteral(" · ") + label;
        auto *curve = new QwtPlotCurve(title);
        curve->setPen(colour, style == Qt::SolidLine ? 1.5 : 1.2, style);
        curve->setRenderHint(QwtPlotItem::RenderAntialiased);
        curve->setSamples(row.points);
        curve->attach(this);
    }
}

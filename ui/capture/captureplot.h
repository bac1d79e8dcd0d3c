#ifndef CAPTUREPLOT_H
#define CAPTUREPLOT_H

#include <QList>
#include <qwt_plot.h>

struct Capture;

// Frozen captures against ms from the trigger, with a line at time 0: the
// current one in solid lines, each compared one over it in a dashed or
// dotted style of its own, a row keeping its colour throughout.
class CapturePlot : public QwtPlot
{
    Q_OBJECT

public:
    static constexpr int leastHeight = 120;

    explicit CapturePlot(QWidget *parent = nullptr);

    // `compared` are titled with `labels` in the legend.
    void showCaptures(const Capture &current, const QList<Capture> &compared, const QStringList &labels);

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void nameTimeAxis();
    void addCurves(const Capture &capture, const QString &label, Qt::PenStyle style, QStringList *names);
};

#endif // CAPTUREPLOT_H

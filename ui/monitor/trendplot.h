#ifndef TRENDPLOT_H
#define TRENDPLOT_H

#include <QTimer>
#include <QVector>
#include <qwt_plot.h>

#include <memory>
#include <vector>

class RingSeries;
class SampleRing;

// The trend of watched registers: one curve per register, named after it,
// against time in seconds, with a legend, an autoscaled value axis and a
// readout of every curve's value under the cursor. Samples are kept in a
// bounded ring per curve; the view shows the last span of seconds or all
// that is kept, and is redrawn at most every replotInterval, so feeding it
// fast costs little.
class TrendPlot : public QwtPlot
{
    Q_OBJECT

public:
    // Points kept per curve: an hour at 50 samples a second fits.
    static constexpr int ringCapacity = 200000;
    static constexpr int replotIntervalMs = 100;
    // The span that shows everything kept.
    static constexpr double wholeSpan = 0;
    // The height the curves always get. Under the table on a laptop screen
    // the plot has a few rows' height, the table keeps its rows, and the
    // divider gives the plot more.
    static constexpr int leastCanvasHeight = 30;
    static constexpr int leastHeight = 60;

    explicit TrendPlot(QWidget *parent = nullptr);
    // The axes would ask for the height their labels had at the plot's
    // last size; the plot gets what the dock has, and shows fewer labels.
    QSize minimumSizeHint() const override;
    ~TrendPlot() override;

    // Replaces the curves, one per name with its unit (empty for none), all
    // empty. Curves of one unit share a value axis: the first unit's the
    // left one, the second's the right one. With more units, or when asked,
    // each curve is scaled to its own range.
    void setCurves(const QStringList &names, const QStringList &units);
    void setOwnRanges(bool on);
    // Whether each curve is scaled to its own range, as asked or because
    // there are more units than axes.
    bool ownRanges() const;
    // A curve hidden from the view keeps its samples.
    void setCurveShown(int curve, bool shown);
    void addSample(int curve, double seconds, double value);
    // Samples are missing at that time: the curve is not drawn across it,
    // so no value seems to have moved while nothing was read.
    void breakCurve(int curve, double seconds);

    void setSpan(double seconds);
    double span() const { return spanSeconds; }
    // Paused, samples are still kept but the view ends where it was (a
    // new span still applies, to look back); resuming catches up at once.
    void setPaused(bool paused);
    bool isPaused() const { return paused; }

    // Moves the view to the newest samples and redraws now.
    void refreshView();
    // The time and each curve's latest value at or before it with its unit,
    // one per line; real values also when curves show their own ranges.
    QString readoutAt(double seconds) const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void scheduleRefresh();
    double newestTime() const;
    void placeCurves();
    QString unitAxisTitle(const QString &unit) const;

    std::vector<std::unique_ptr<SampleRing>> rings;
    // Per curve, the times of its breaks, oldest first.
    std::vector<std::unique_ptr<QVector<double>>> breaks;
    QVector<RingSeries *> series;
    QStringList names;
    QStringList units;
    // Distinct units in the order of their first curve.
    QStringList unitGroups;
    bool ownRangesAsked = false;
    QTimer refreshTimer;
    double spanSeconds = 60;
    bool paused = false;
    double pausedAt = 0;
};

#endif // TRENDPLOT_H

#ifndef RINGSERIES_H
#define RINGSERIES_H

#include <QVector>
#include <qwt_series_data.h>

class SampleRing;

// What a curve draws of its ring: the points inside a time window, read from
// the ring in place. A window holding more points than a plot has pixels
// to show them is reduced to the lowest and highest point of each slice of
// time, which draws the same line at a fraction of the cost.
class RingSeries : public QwtSeriesData<QPointF>
{
public:
    explicit RingSeries(const SampleRing &ring);

    // Chooses the points to draw from now on; the bounding rectangle
    // follows them, so autoscale fits the window and not the whole ring.
    void setWindow(double from, double to);
    // Each curve in its own range: values map to 0..100 % of the window's
    // lowest..highest value, so curves of any size show their shape
    // together. Applies from the next setWindow().
    void setOwnRange(bool on) { ownRange = on; }

    size_t size() const override;
    QPointF sample(size_t i) const override;
    QRectF boundingRect() const override;

private:
    void reduce(int first, int last, double from, double to);
    void fitOwnRange();
    QPointF shown(const QPointF &point) const;
    void keepExtremes(const QPointF &point, qint64 position);
    void keepSlice();

    const SampleRing &ring;
    bool ownRange = false;
    double rangeLow = 0;
    double rangeFactor = 1;
    // The window read in place: its first point as a count of points ever
    // appended, so newer points arriving while paused do not shift it.
    qint64 firstPosition = 0;
    int windowSize = 0;
    QVector<QPointF> reduced;
    bool isReduced = false;
    // The reduction in progress: the slice being gathered and its extremes.
    double reduceFrom = 0;
    double sliceWidth = 1;
    int slice = -1;
    QPointF sliceLowest, sliceHighest;
    qint64 sliceLowestPosition = 0, sliceHighestPosition = 0;
};

#endif // RINGSERIES_H

#include "ringseries.h"

#include "monitor/samplering.h"

#include <limits>

namespace {

// Slices of time a reduced window is cut into: about the width in pixels of
// a large plot, so the reduction cannot be seen.
const int windowSlices = 1000;

} // namespace

RingSeries::RingSeries(const SampleRing &ring) : ring(ring) {}

void RingSeries::setWindow(double from, double to)
{
    // One point before the window keeps the line running in from its edge.
    const int first = qMax(0, ring.firstAtOrAfter(from) - 1);
    int last = ring.firstAtOrAfter(to);
    while (last < ring.size() && ring.at(last).x() <= to)
        ++last;
    isReduced = last - first > 2 * windowSlices;
    if (isReduced) {
        reduce(first, last, from, to);
        return fitOwnRange();
    }
    firstPosition = ring.appended() - ring.size() + first;
    windowSize = last - first;
    reduced.clear();
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    for (int i = first; i < last; ++i) {
        low = qMin(low, ring.at(i).y());
        high = qMax(high, ring.at(i).y());
    }
    d_boundingRect = windowSize == 0 ? QRectF(0, 0, -1, -1)
                                     : QRectF(QPointF(ring.at(first).x(), low),
                                              QPointF(ring.at(last - 1).x(), high));
    fitOwnRange();
}

// A flat curve sits in the middle of its range.
void RingSeries::fitOwnRange()
{
    // An empty window has a rectangle of negative size.
    if (!ownRange || d_boundingRect.height() < 0)
        return;
    rangeLow = d_boundingRect.top();
    rangeFactor = d_boundingRect.height() > 0 ? 100 / d_boundingRect.height() : 0;
    d_boundingRect = QRectF(d_boundingRect.left(), 0, d_boundingRect.width(), 100);
}

QPointF RingSeries::shown(const QPointF &point) const
{
    if (!ownRange)
        return point;
    return QPointF(point.x(), rangeFactor > 0 ? (point.y() - rangeLow) * rangeFactor : 50);
}

// Keeps the lowest and the highest point of each slice, in the order they
// came, so peaks survive however many points share a pixel column. Whole
// blocks of the ring offer their extremes, so most points are not read.
void RingSeries::reduce(int first, int last, double from, double to)
{
    reduced.clear();
    reduced.reserve(2 * windowSlices + 2);
    reduceFrom = from;
    sliceWidth = (to - from) / windowSlices;
    slice = -1;
    const qint64 oldest = ring.oldestPosition();
    for (int i = first; i < last;) {
        const qint64 position = oldest + i;
        if (position % SampleRing::blockSize == 0 && i + SampleRing::blockSize <= last) {
            const SampleRing::Extremes &block = ring.blockExtremes(position / SampleRing::blockSize);
            if (block.lowestPosition < block.highestPosition) {
                keepExtremes(block.lowest, block.lowestPosition);
                keepExtremes(block.highest, block.highestPosition);
            } else {
                keepExtremes(block.highest, block.highestPosition);
                keepExtremes(block.lowest, block.lowestPosition);
            }
            i += SampleRing::blockSize;
        } else {
            keepExtremes(ring.at(i), position);
            ++i;
        }
    }
    keepSlice();
    double low = reduced.first().y();
    double high = low;
    for (const QPointF &point : qAsConst(reduced)) {
        low = qMin(low, point.y());
        high = qMax(high, point.y());
    }
    d_boundingRect = QRectF(QPointF(reduced.first().x(), low), QPointF(reduced.last().x(), high));
}

void RingSeries::keepExtremes(const QPointF &point, qint64 position)
{
    const int pointSlice = qBound(0, int((point.x() - reduceFrom) / sliceWidth), windowSlices - 1);
    if (pointSlice != slice) {
        keepSlice();
        slice = pointSlice;
        sliceLowest = sliceHighest = point;
        sliceLowestPosition = sliceHighestPosition = position;
    } else if (point.y() < sliceLowest.y()) {
        sliceLowest = point;
        sliceLowestPosition = position;
    } else if (point.y() > sliceHighest.y()) {
        sliceHighest = point;
        sliceHighestPosition = position;
    }
}

void RingSeries::keepSlice()
{
    if (slice < 0)
        return;
    const bool lowestFirst = sliceLowestPosition <= sliceHighestPosition;
    reduced.append(lowestFirst ? sliceLowest : sliceHighest);
    if (sliceLowestPosition != sliceHighestPosition)
        reduced.append(lowestFirst ? sliceHighest : sliceLowest);
}

size_t RingSeries::size() const
{
    return isReduced ? size_t(reduced.size()) : size_t(windowSize);
}

QPointF RingSeries::sample(size_t i) const
{
    if (isReduced)
        return shown(reduced.at(int(i)));
    // A window shown while paused for longer than the ring holds reads the
    // oldest point left instead of one that is gone.
    const qint64 oldest = ring.appended() - ring.size();
    const qint64 index = qBound<qint64>(0, firstPosition + qint64(i) - oldest, ring.size() - 1);
    return shown(ring.at(int(index)));
}

QRectF RingSeries::boundingRect() const
{
    return d_boundingRect;
}

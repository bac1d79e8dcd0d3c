#include "samplering.h"

// Enough blocks for every whole block the ring can hold, and the two
// partly filled ones at its ends.
SampleRing::SampleRing(int capacity)
    : blocks(qMax(1, capacity) / blockSize + 2), limit(qMax(1, capacity))
{
}

void SampleRing::append(double seconds, double value)
{
    summarise(QPointF(seconds, value));
    ++total;
    // The storage grows as points come, never beyond the capacity, so a
    // short session does not pay for an hour.
    if (points.size() < limit) {
        if (points.size() == points.capacity())
            points.reserve(qMin(limit, qMax(1024, 2 * points.size())));
        points.append(QPointF(seconds, value));
        ++count;
        return;
    }
    points[start] = QPointF(seconds, value);
    start = (start + 1) % limit;
}

void SampleRing::summarise(const QPointF &point)
{
    Extremes &block = blocks[int((total / blockSize) % blocks.size())];
    if (total % blockSize == 0 || point.y() < block.lowest.y()) {
        block.lowest = point;
        block.lowestPosition = total;
    }
    if (total % blockSize == 0 || point.y() > block.highest.y()) {
        block.highest = point;
        block.highestPosition = total;
    }
}

void SampleRing::clear()
{
    points.clear();
    start = 0;
    count = 0;
    total = 0;
}

int SampleRing::firstAtOrAfter(double seconds) const
{
    int low = 0;
    int high = count;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (at(middle).x() < seconds)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

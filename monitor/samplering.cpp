#include "samplering.h"

SampleRing::SampleRing(int capacity) : limit(qMax(1, capacity)) {}

void SampleRing::append(double seconds, double value)
{
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

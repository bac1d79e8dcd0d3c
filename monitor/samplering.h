#ifndef SAMPLERING_H
#define SAMPLERING_H

#include <QPointF>
#include <QVector>

// A fixed-capacity ring of (seconds, value) points of one curve, oldest
// first. Once full, each new point replaces the oldest, so memory stays
// bounded however long the monitor runs. Times must not decrease.
class SampleRing
{
public:
    explicit SampleRing(int capacity);

    void append(double seconds, double value);
    void clear();

    int size() const { return count; }
    int capacity() const { return limit; }
    bool isEmpty() const { return count == 0; }
    // Point i counted from the oldest retained one.
    QPointF at(int i) const { return points[(start + i) % limit]; }
    // Points ever appended, retained or not; with size() it turns an index
    // into a position that stays valid while newer points arrive.
    qint64 appended() const { return total; }
    // Index of the first retained point at or after the given time; size()
    // when there is none.
    int firstAtOrAfter(double seconds) const;

private:
    QVector<QPointF> points;
    int limit;
    int start = 0;
    int count = 0;
    qint64 total = 0;
};

#endif // SAMPLERING_H

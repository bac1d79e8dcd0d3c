#ifndef SAMPLERING_H
#define SAMPLERING_H

#include <QPointF>
#include <QVector>

// A fixed-capacity ring of (seconds, value) points of one curve, oldest
// first. Once full, each new point replaces the oldest, so memory stays
// bounded however long the monitor runs. Times must not decrease.
//
// Points are also summed up in blocks of blockSize by their lowest and
// highest point, so a view of many points can be reduced without reading
// every one.
class SampleRing
{
public:
    static constexpr int blockSize = 64;

    // Where a point lies as a count of points appended before it; it stays
    // the same while newer points arrive.
    struct Extremes
    {
        QPointF lowest;
        QPointF highest;
        qint64 lowestPosition = 0;
        qint64 highestPosition = 0;
    };

    explicit SampleRing(int capacity);

    void append(double seconds, double value);
    void clear();

    int size() const { return count; }
    int capacity() const { return limit; }
    bool isEmpty() const { return count == 0; }
    // Point i counted from the oldest retained one.
    QPointF at(int i) const { return points[(start + i) % limit]; }
    // Points ever appended, retained or not.
    qint64 appended() const { return total; }
    qint64 oldestPosition() const { return total - count; }
    // The extremes of the points at positions block * blockSize up to the
    // next block; valid for a whole block that is retained.
    const Extremes &blockExtremes(qint64 block) const { return blocks[int(block % blocks.size())]; }
    // Index of the first retained point at or after the given time; size()
    // when there is none.
    int firstAtOrAfter(double seconds) const;

private:
    void summarise(const QPointF &point);

    QVector<QPointF> points;
    QVector<Extremes> blocks;
    int limit;
    int start = 0;
    int count = 0;
    qint64 total = 0;
};

#endif // SAMPLERING_H

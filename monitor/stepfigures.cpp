#include "monitor/stepfigures.h"

#include <QtMath>

#include <cmath>
#include <limits>

namespace {

constexpr double notReached = std::numeric_limits<double>::quiet_NaN();

// The time where the line from a to b meets `level`.
double crossingTime(const QPointF &a, const QPointF &b, double level)
{
    if (b.y() == a.y())
        return b.x();
    return a.x() + (level - a.y()) * (b.x() - a.x()) / (b.y() - a.y());
}

// The first time after the trigger that the response, counted in the
// step's direction, reaches `level`.
double firstReaching(const QVector<QPointF> &points, double level, double sign)
{
    for (int i = 0; i < points.size(); ++i) {
        if (points.at(i).x() < 0 || sign * points.at(i).y() < sign * level)
            continue;
        if (i == 0 || points.at(i - 1).x() < 0)
            return qMax(0.0, points.at(i).x());
        return crossingTime(points.at(i - 1), points.at(i), level);
    }
    return notReached;
}

double initialValue(const QVector<QPointF> &points)
{
    double value = points.first().y();
    for (const QPointF &point : points) {
        if (point.x() >= 0)
            break;
        value = point.y();
    }
    return value;
}

double finalValue(const QVector<QPointF> &points)
{
    const double from = points.last().x() * 0.9;
    double sum = 0;
    int count = 0;
    for (const QPointF &point : points) {
        if (point.x() >= from) {
            sum += point.y();
            ++count;
        }
    }
    return sum / count;
}

// The time the response last enters the band, or 0 when it never leaves it.
double settling(const QVector<QPointF> &points, double final, double band)
{
    for (int i = points.size() - 1; i >= 0; --i) {
        const QPointF &point = points.at(i);
        if (std::abs(point.y() - final) <= band)
            continue;
        if (i == points.size() - 1)
            return notReached;
        const QPointF &next = points.at(i + 1);
        const double edge = point.y() > final ? final + band : final - band;
        return qMax(0.0, crossingTime(point, next, edge));
    }
    return 0;
}

} // namespace

StepFigures StepFigures::measure(const QVector<QPointF> &response, const QVector<QPointF> &followingError)
{
    StepFigures figures;
    figures.peakFollowingError = followingError.isEmpty() ? notReached : 0;
    for (const QPointF &point : followingError) {
        if (point.x() >= 0)
            figures.peakFollowingError = qMax(figures.peakFollowingError, std::abs(point.y()));
    }
    if (response.isEmpty() || response.last().x() <= 0)
        return figures;
    figures.initial = initialValue(response);
    figures.final = finalValue(response);
    const double step = figures.final - figures.initial;
    if (step == 0)
        return figures;
    figures.valid = true;
    const double sign = step > 0 ? 1 : -1;
    figures.riseMs = firstReaching(response, figures.initial + 0.9 * step, sign)
        - firstReaching(response, figures.initial + 0.1 * step, sign);
    double peak = figures.final;
    QVector<QPointF> after;
    for (const QPointF &point : response) {
        if (point.x() < 0)
            continue;
        after.append(point);
        if (sign * point.y() > sign * peak)
            peak = point.y();
    }
    figures.overshootPercent = 100.0 * (peak - figures.final) / step;
    figures.settlingMs = settling(after, figures.final, 0.02 * std::abs(step));
    return figures;
}

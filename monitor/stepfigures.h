#ifndef STEPFIGURES_H
#define STEPFIGURES_H

#include <QPointF>
#include <QVector>

// The figures of a step response, from a captured curve of (ms from the
// trigger, value). The step goes from the value before the trigger (the
// last sample before time 0, else the first) to the final value (the mean
// of the samples in the last tenth of the time after 0). Times count from
// the trigger and are interpolated between samples. A figure that the curve
// never reaches is NaN.
struct StepFigures
{
    double initial = 0;
    double final = 0;
    // False when the curve has no samples after 0 or no step.
    bool valid = false;
    // From the first crossing of 10 % of the step to the first of 90 %.
    double riseMs = 0;
    // How far the response goes past the final value, in % of the step.
    double overshootPercent = 0;
    // From the trigger until the response enters ±2 % of the step around
    // the final value for good.
    double settlingMs = 0;
    // The largest magnitude of the following-error curve after the
    // trigger; NaN without one.
    double peakFollowingError = 0;

    static StepFigures measure(const QVector<QPointF> &response, const QVector<QPointF> &followingError = {});
};

#endif // STEPFIGURES_H

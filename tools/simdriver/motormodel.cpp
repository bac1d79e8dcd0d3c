#include "motormodel.h"

#include <cmath>

namespace {

// Ten integration steps to the millisecond keep the response within a
// fraction of a percent of the continuous loop's up to the highest gains.
constexpr int kSubsteps = 10;

} // namespace

void MotorModel::setGains(double positionGain, double speedGain)
{
    kp = positionGain;
    kv = speedGain;
}

void MotorModel::jog(double rpm)
{
    jogSpeed = rpm;
}

void MotorModel::moveTo(double target)
{
    jogSpeed = 0;
    r = target;
}

// A quick stop: the driver holds the shaft where it is.
void MotorModel::stop()
{
    jogSpeed = 0;
    r = x;
    v = 0;
}

void MotorModel::step()
{
    const double dt = kStepSeconds / kSubsteps;
    for (int i = 0; i < kSubsteps; ++i) {
        r += jogSpeed * kPulsesPerRevolution / 60 * dt;
        if (stalledShaft) {
            v = 0;
            continue;
        }
        // Semi-implicit Euler: the new speed moves the position.
        v += (kp * kp * (r - x) - kv * v) * dt;
        x += v * dt;
    }
}

bool MotorModel::isMoving() const
{
    return jogSpeed != 0 || std::fabs(r - x) >= kRestPulses || std::fabs(v) >= kRestSpeed;
}

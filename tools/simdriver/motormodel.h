#ifndef SIMDRIVER_MOTORMODEL_H
#define SIMDRIVER_MOTORMODEL_H

// A closed-loop stepper motor's position loop, stepped a millisecond at a
// time so that a run is the same however the simulator is scheduled:
//
//     x'' = kp^2 (r - x) - kv x'
//
// with x the actual position and r the reference, both in pulses; kp is the
// position gain and kv the speed gain, both in 1/s. The loop's natural
// frequency is kp and its damping kv / (2 kp): a position gain well above
// half the speed gain overshoots and rings, a low one lags.
//
// A jog moves the reference at a steady speed; a move steps it to the
// target, so that the actual position shows the loop's step response; a stop
// halts the motor where it is.
class MotorModel
{
public:
    static constexpr double kStepSeconds = 0.001;
    static constexpr double kPulsesPerRevolution = 10000;
    // Closer to rest than this (pulses, pulses a second), a move is over.
    static constexpr double kRestPulses = 0.5;
    static constexpr double kRestSpeed = 1.0;

    void setGains(double positionGain, double speedGain);
    void jog(double rpm);
    void moveTo(double target);
    void stop();
    // A stalled shaft stays where it is, whatever the loop asks of it.
    void setStalled(bool stalled) { stalledShaft = stalled; }

    void step();

    double position() const { return x; }
    double speedRpm() const { return v * 60 / kPulsesPerRevolution; }
    double followingError() const { return r - x; }
    double jogRpm() const { return jogSpeed; }
    // A jog runs, or a move or stop has not come to rest.
    bool isMoving() const;

private:
    double kp = 40;
    double kv = 56;
    double x = 0;
    double v = 0;
    double r = 0;
    double jogSpeed = 0;
    bool stalledShaft = false;
};

#endif // SIMDRIVER_MOTORMODEL_H

#ifndef SIMDRIVER_DRIVERMOTOR_H
#define SIMDRIVER_DRIVERMOTOR_H

#include "mapfile.h"
#include "motormodel.h"

#include <cstdint>
#include <functional>

typedef struct _modbus_mapping_t modbus_mapping_t;

// Alarm codes the motor raises in the map's role:alarm row.
constexpr int kFollowingErrorAlarm = 4;
constexpr int kCommunicationLostAlarm = 5;

// One driver's motor behind its registers: writes to the jog row, the move
// and stop commands and the gain rows drive the model; position, speed and
// following error are written back before every request is answered. While
// the motor moves, a gap between valid requests longer than the comm
// timeout row stops it and raises "communication lost". Every start and
// stop is logged with the monotonic clock's time in milliseconds, which
// tests compare with their own.
class DriverMotor
{
public:
    // stallAfterMs: the shaft stalls this long after a motion starts, for
    // the following-error alarm; -1: never.
    DriverMotor(const RegisterMap &map, int slave, int stallAfterMs, int64_t nowNs);

    // Runs the model up to nowNs in whole steps; raiseAlarm(code) for a
    // comm loss or a following error.
    void advanceTo(int64_t nowNs, modbus_mapping_t *registers, const std::function<void(int)> &raiseAlarm);
    // A request for this driver came whole at nowNs (after advanceTo).
    void noteValidRequest(int64_t nowNs) { lastValidNs = nowNs; }
    // A write of `count` words from `address` has been stored.
    void takeWrite(int address, int count, modbus_mapping_t *registers);
    // The start-move or stop command was written.
    void takeCommand(Command::Effect effect, modbus_mapping_t *registers);
    // How long the server may sleep before the model must run again; -1:
    // as long as it likes.
    int wakeWithinMs(int64_t nowNs, const modbus_mapping_t *registers) const;

private:
    void stepOnce(modbus_mapping_t *registers, const std::function<void(int)> &raiseAlarm);
    void stopFor(const char *reason, modbus_mapping_t *registers, bool onRequest = false);
    void logStart(const char *what, double value);
    void showState(modbus_mapping_t *registers) const;
    int64_t commTimeoutNs(const modbus_mapping_t *registers) const;
    double modelMs() const { return modelNs / 1e6; }

    const RegisterMap &map;
    int slave;
    int stallAfterMs;
    MotorModel model;
    int64_t modelNs;
    int64_t lastValidNs;
    int64_t startedNs = -1;
    // A jog or a move was started and has neither stopped nor come to rest:
    // only then does a comm loss stop the motor.
    bool running = false;
    // Milliseconds the shaft has stood while the loop asks it to move.
    int standingMs = 0;
};

#endif // SIMDRIVER_DRIVERMOTOR_H

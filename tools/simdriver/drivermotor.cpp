#include "drivermotor.h"

#include <modbus.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int64_t kStepNs = 1000000;
// A shaft that stands this long this far behind its reference has stalled.
constexpr double kStallErrorPulses = 100;
constexpr int kStallMs = 100;
// Used when the map has no gain rows.
constexpr double kDefaultPositionGain = 40;
constexpr double kDefaultSpeedGain = 56;

bool holds(const modbus_mapping_t *registers, int address)
{
    return address >= registers->start_registers
        && address < registers->start_registers + registers->nb_registers;
}

uint16_t wordAt(const modbus_mapping_t *registers, int address)
{
    return holds(registers, address) ? registers->tab_registers[address - registers->start_registers] : 0;
}

void setWord(modbus_mapping_t *registers, int address, uint16_t value)
{
    if (holds(registers, address))
        registers->tab_registers[address - registers->start_registers] = value;
}

// A row's value as its type reads it: 32 bits in the map's word order for a
// u32 or s32 row, a signed word for any other (the jog row is signed).
long long rowValue(const RegisterMap &map, const modbus_mapping_t *registers, int address)
{
    const auto wide = map.wideRegisters.find(static_cast<uint16_t>(address));
    if (wide == map.wideRegisters.end())
        return static_cast<int16_t>(wordAt(registers, address));
    const uint32_t first = wordAt(registers, address);
    const uint32_t second = wordAt(registers, address + 1);
    const uint32_t value = wide->second.lowWordFirst ? second << 16 | first : first << 16 | second;
    return wide->second.isSigned ? static_cast<long long>(static_cast<int32_t>(value)) : value;
}

void setRowValue(const RegisterMap &map, modbus_mapping_t *registers, int address, long long value)
{
    if (address < 0)
        return;
    const auto wide = map.wideRegisters.find(static_cast<uint16_t>(address));
    if (wide == map.wideRegisters.end())
        return setWord(registers, address, static_cast<uint16_t>(static_cast<int16_t>(value)));
    const auto bits = static_cast<uint32_t>(value);
    const auto high = static_cast<uint16_t>(bits >> 16);
    const auto low = static_cast<uint16_t>(bits & 0xFFFF);
    setWord(registers, address, wide->second.lowWordFirst ? low : high);
    setWord(registers, address + 1, wide->second.lowWordFirst ? high : low);
}

double monotonicMs(int64_t ns)
{
    return ns / 1e6;
}

} // namespace

DriverMotor::DriverMotor(const RegisterMap &map, int slave, int stallAfterMs, int64_t nowNs)
    : map(map)
    , slave(slave)
    , stallAfterMs(stallAfterMs)
    , modelNs(nowNs)
    , lastValidNs(nowNs)
{
}

void DriverMotor::advanceTo(int64_t nowNs, modbus_mapping_t *registers, const std::function<void(int)> &raiseAlarm)
{
    const MotionRows &rows = map.motion;
    model.setGains(rows.positionGain >= 0 ? rowValue(map, registers, rows.positionGain) : kDefaultPositionGain,
                   rows.speedGain >= 0 ? rowValue(map, registers, rows.speedGain) : kDefaultSpeedGain);
    while (modelNs + kStepNs <= nowNs)
        stepOnce(registers, raiseAlarm);
    showState(registers);
}

void DriverMotor::stepOnce(modbus_mapping_t *registers, const std::function<void(int)> &raiseAlarm)
{
    modelNs += kStepNs;
    if (!running)
        return;
    const int64_t timeoutNs = commTimeoutNs(registers);
    if (timeoutNs > 0 && modelNs - lastValidNs > timeoutNs) {
        fprintf(stderr, "simdriver: slave %d communication lost: no request since %.3f ms, comm timeout %lld ms\n",
                slave, monotonicMs(lastValidNs), static_cast<long long>(timeoutNs / kStepNs));
        stopFor("communication lost", registers);
        return raiseAlarm(kCommunicationLostAlarm);
    }
    if (stallAfterMs >= 0 && startedNs >= 0 && modelNs - startedNs >= int64_t(stallAfterMs) * kStepNs) {
        fprintf(stderr, "simdriver: slave %d motor stalled at %.3f ms\n", slave, modelMs());
        model.setStalled(true);
        startedNs = -1;
    }
    model.step();
    const bool standing = std::fabs(model.speedRpm()) * MotorModel::kPulsesPerRevolution / 60 < MotorModel::kRestSpeed;
    standingMs = standing && std::fabs(model.followingError()) >= kStallErrorPulses ? standingMs + 1 : 0;
    if (standingMs >= kStallMs) {
        stopFor("following error", registers);
        return raiseAlarm(kFollowingErrorAlarm);
    }
    if (!model.isMoving()) {
        running = false;
        fprintf(stderr, "simdriver: slave %d motion at rest at %.3f ms, position %.0f\n", slave, modelMs(),
                model.position());
    }
}

void DriverMotor::takeWrite(int address, int count, modbus_mapping_t *registers)
{
    const int jog = map.motion.jog;
    if (jog < 0 || jog < address || jog >= address + count)
        return;
    const long long rpm = rowValue(map, registers, jog);
    if (rpm == model.jogRpm())
        return;
    if (rpm == 0)
        return stopFor("jog speed 0", registers, true);
    if (!running)
        logStart("jog", double(rpm));
    model.jog(double(rpm));
}

void DriverMotor::takeCommand(Command::Effect effect, modbus_mapping_t *registers)
{
    if (effect == Command::Effect::Stop)
        return stopFor("stop command", registers, true);
    if (effect != Command::Effect::StartMove || map.motion.target < 0)
        return;
    const long long target = rowValue(map, registers, map.motion.target);
    logStart("move to", double(target));
    model.moveTo(double(target));
}

void DriverMotor::logStart(const char *what, double value)
{
    startedNs = modelNs;
    standingMs = 0;
    running = true;
    fprintf(stderr, "simdriver: slave %d motion start (%s %.0f) at %.3f ms\n", slave, what, value,
            monotonicMs(lastValidNs));
}

// A stop on a request is logged at the request's arrival, to the
// microsecond; one of the driver's own at the model's step.
void DriverMotor::stopFor(const char *reason, modbus_mapping_t *registers, bool onRequest)
{
    fprintf(stderr, "simdriver: slave %d motion stop (%s) at %.3f ms, position %.0f\n", slave, reason,
            onRequest ? monotonicMs(lastValidNs) : modelMs(), model.position());
    model.stop();
    model.setStalled(false);
    running = false;
    startedNs = -1;
    standingMs = 0;
    setRowValue(map, registers, map.motion.jog, 0);
}

void DriverMotor::showState(modbus_mapping_t *registers) const
{
    const MotionRows &rows = map.motion;
    setRowValue(map, registers, rows.position, std::llround(model.position()));
    setRowValue(map, registers, rows.speed, std::llround(model.speedRpm()));
    setRowValue(map, registers, rows.followingError, std::llround(model.followingError()));
}

int64_t DriverMotor::commTimeoutNs(const modbus_mapping_t *registers) const
{
    const MotionRows &rows = map.motion;
    if (rows.commTimeout < 0)
        return 0;
    const long long value = static_cast<uint16_t>(rowValue(map, registers, rows.commTimeout));
    return value * (rows.commTimeoutInSeconds ? 1000 : 1) * kStepNs;
}

int DriverMotor::wakeWithinMs(int64_t nowNs, const modbus_mapping_t *registers) const
{
    if (!running)
        return -1;
    // Often enough for the stall and rest checks; exactly at a comm loss.
    int wakeMs = 10;
    const int64_t timeoutNs = commTimeoutNs(registers);
    if (timeoutNs > 0) {
        const int64_t leftNs = lastValidNs + timeoutNs + kStepNs - nowNs;
        wakeMs = std::min<int64_t>(wakeMs, std::max<int64_t>(0, (leftNs + kStepNs - 1) / kStepNs));
    }
    return wakeMs;
}

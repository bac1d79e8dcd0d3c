#ifndef SIMDRIVER_MAPFILE_H
#define SIMDRIVER_MAPFILE_H

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// A register line of type u32 or s32: its value spans its address and the next.
struct WideRegister
{
    bool isSigned = false;
    bool lowWordFirst = false;
};

// A command a write-only row takes ("command:NAME=VALUE"), and what the
// simulated driver does on it.
struct Command
{
    enum class Effect { ClearAlarm, Save, FactoryReset, StartMove, Stop };
    std::string name;
    Effect effect = Effect::ClearAlarm;
};

// The rows the motor is driven through and shows itself in, by their
// role:NAME keys; -1: none.
struct MotionRows
{
    int jog = -1;
    int target = -1;
    int position = -1;
    int speed = -1;
    int followingError = -1;
    int commTimeout = -1;
    bool commTimeoutInSeconds = false;
    int positionGain = -1;
    int speedGain = -1;

    bool any() const { return jog >= 0 || target >= 0; }
};

// What the simulator takes from a RegisterInfo file: the slave address of
// the settings line and each register's default value.
struct RegisterMap
{
    // The settings line's slaveAddress text, when the line has one.
    std::optional<std::string> slaveAddressText;
    // Default value by register address; a later line for the same address
    // wins. A 32-bit line gives both of its addresses a word.
    std::map<uint16_t, uint16_t> defaultValues;
    // 32-bit lines by their first address.
    std::map<uint16_t, WideRegister> wideRegisters;
    // Rows a factory reset returns to their defaults (permission RW).
    std::set<uint16_t> settingRows;
    // Commands by register, then by value.
    std::map<uint16_t, std::map<uint16_t, Command>> commands;
    // The role:alarm row and the role:status row's alarmBit; -1: none.
    int alarmAddress = -1;
    int statusAddress = -1;
    int alarmBit = -1;
    MotionRows motion;
};

// Reads the map the way the tool does; nothing when the file cannot be read.
std::optional<RegisterMap> readRegisterMap(const std::string &fileName);

#endif // SIMDRIVER_MAPFILE_H

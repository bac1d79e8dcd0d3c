#include "mapfile.h"

#include <cctype>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

const char *const kWhitespace = " \t\r\n\v\f";

std::string trimmed(const std::string &text)
{
    const size_t first = text.find_first_not_of(kWhitespace);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(kWhitespace) - first + 1);
}

// A line counts up to its first NUL, if any.
std::string lineText(const std::string &line)
{
    return line.substr(0, line.find('\0'));
}

std::vector<std::string> splitAtCommas(const std::string &line)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
        parts.push_back(line.substr(start, comma - start));
    parts.push_back(line.substr(start));
    return parts;
}

// The text after the first colon (the whole part without one), trimmed.
std::string valueOf(const std::string &part)
{
    const size_t colon = part.find(':');
    return trimmed(colon == std::string::npos ? part : part.substr(colon + 1));
}

// The text before the first colon, trimmed; empty without a colon.
std::string exactKeyOf(const std::string &part)
{
    const size_t colon = part.find(':');
    return colon == std::string::npos ? std::string() : trimmed(part.substr(0, colon));
}

// The value-format keys are matched whole, so that a state named "name" in
// an enum list is no name. Any other part belongs to the first key it
// contains, in this order, so that "remarks:see name list" counts as a
// name exactly as in the tool.
std::string keyOf(const std::string &part)
{
    static const char *const formatKeys[] = {"type", "wordOrder", "scale", "unit", "enum", "bits",
                                             "role", "alarmBit", "command", "danger", "save", "confirm"};
    const std::string exact = exactKeyOf(part);
    for (const char *key : formatKeys) {
        if (exact == key)
            return key;
    }
    static const char *const keys[] = {"indexes", "permission", "defaultValue",
                                       "rangeValue", "name", "remarks"};
    for (const char *key : keys) {
        if (part.find(key) != std::string::npos)
            return key;
    }
    return std::string();
}

std::string lowerCase(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Hexadecimal with or without 0x; anything that is not a number of at most
// `bits` bits is 0.
uint32_t hexNumber(const std::string &text, int bits)
{
    char *end = nullptr;
    const long long number = std::strtoll(text.c_str(), &end, 16);
    if (text.empty() || *end != '\0' || number < 0 || number > (1LL << bits) - 1)
        return 0;
    return static_cast<uint32_t>(number);
}

uint16_t registerNumber(const std::string &text)
{
    return static_cast<uint16_t>(hexNumber(text, 16));
}

std::vector<std::string> splitAt(const std::string &text, char separator)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        pieces.push_back(trimmed(text.substr(start, at - start)));
    pieces.push_back(trimmed(text.substr(start)));
    return pieces;
}

// "NAME=VALUE;..." with VALUE decimal or 0x-hexadecimal; danger names the
// factory reset, save the save to memory, any other is the alarm reset.
void addCommands(uint16_t address, const std::string &list, const std::vector<std::string> &danger,
                 const std::string &save, const std::string &role, RegisterMap &map)
{
    for (const std::string &piece : splitAt(list, ';')) {
        const size_t equals = piece.find('=');
        if (equals == std::string::npos)
            continue;
        Command command;
        command.name = trimmed(piece.substr(0, equals));
        const uint16_t value = static_cast<uint16_t>(std::strtol(trimmed(piece.substr(equals + 1)).c_str(), nullptr, 0));
        if (role == "move" || role == "stop")
            command.effect = role == "move" ? Command::Effect::StartMove : Command::Effect::Stop;
        else if (command.name == save)
            command.effect = Command::Effect::Save;
        else if (std::find(danger.begin(), danger.end(), command.name) != danger.end())
            command.effect = Command::Effect::FactoryReset;
        map.commands[address][value] = command;
    }
}

struct Roles
{
    std::string role;
    std::string unit;
    std::string alarmBit;
    std::string command;
    std::string danger;
    std::string save;
};

void addMotionRow(uint16_t address, const Roles &roles, MotionRows &motion)
{
    const std::pair<const char *, int *> rows[] = {
        {"jog", &motion.jog},           {"target", &motion.target},
        {"position", &motion.position}, {"speed", &motion.speed},
        {"followingError", &motion.followingError}, {"commTimeout", &motion.commTimeout},
        {"positionGain", &motion.positionGain}, {"speedGain", &motion.speedGain}};
    for (const auto &[role, row] : rows) {
        if (roles.role == role)
            *row = address;
    }
    if (roles.role == "commTimeout")
        motion.commTimeoutInSeconds = roles.unit == "s";
}

void addRoles(uint16_t address, const std::string &permission, const Roles &roles, RegisterMap &map)
{
    addMotionRow(address, roles, map.motion);
    if (roles.role == "alarm")
        map.alarmAddress = address;
    if (roles.role == "status") {
        map.statusAddress = address;
        map.alarmBit = std::atoi(roles.alarmBit.c_str());
    }
    if (!roles.command.empty())
        addCommands(address, roles.command, splitAt(roles.danger, ';'), roles.save, roles.role, map);
    if (lowerCase(permission) == "rw")
        map.settingRows.insert(address);
}

struct Settings
{
    std::optional<std::string> slaveAddressText;
    bool lowWordFirst = false;
};

Settings readSettings(const std::string &settingsLine)
{
    Settings settings;
    for (const std::string &part : splitAtCommas(lineText(settingsLine))) {
        if (part.find("slaveAddress") != std::string::npos)
            settings.slaveAddressText = valueOf(part);
        else if (exactKeyOf(part) == "wordOrder")
            settings.lowWordFirst = lowerCase(valueOf(part)) == "lh";
    }
    return settings;
}

// Words of a 32-bit line at its address and the next (none past 0xFFFF).
void addWideRegister(uint16_t address, uint32_t value, const WideRegister &wide, RegisterMap &map)
{
    const auto high = static_cast<uint16_t>(value >> 16);
    const auto low = static_cast<uint16_t>(value & 0xFFFF);
    map.defaultValues[address] = wide.lowWordFirst ? low : high;
    if (address < 0xFFFF)
        map.defaultValues[static_cast<uint16_t>(address + 1)] = wide.lowWordFirst ? high : low;
    map.wideRegisters[address] = wide;
}

void addRegisterLine(const std::string &line, const Settings &settings, RegisterMap &map)
{
    const std::vector<std::string> parts = splitAtCommas(trimmed(lineText(line)));
    if (parts.size() < 5)
        return;
    uint16_t address = 0;
    std::string value;
    std::string name;
    std::string type = "u16";
    WideRegister wide;
    wide.lowWordFirst = settings.lowWordFirst;
    std::string permission;
    Roles roles;
    for (const std::string &part : parts) {
        const std::string key = keyOf(part);
        if (key == "role")
            roles.role = valueOf(part);
        else if (key == "alarmBit")
            roles.alarmBit = valueOf(part);
        else if (key == "command")
            roles.command = valueOf(part);
        else if (key == "danger")
            roles.danger = valueOf(part);
        else if (key == "save")
            roles.save = valueOf(part);
        else if (key == "permission")
            permission = valueOf(part);
        else if (key == "indexes")
            address = registerNumber(valueOf(part));
        else if (key == "defaultValue")
            value = valueOf(part);
        else if (key == "name")
            name = valueOf(part);
        else if (key == "unit")
            roles.unit = valueOf(part);
        else if (key == "type")
            type = lowerCase(valueOf(part));
        else if (key == "wordOrder")
            wide.lowWordFirst = lowerCase(valueOf(part)) == "lh";
    }
    if (name.empty())
        return;
    addRoles(address, permission, roles, map);
    wide.isSigned = type == "s32";
    if (type == "u32" || type == "s32")
        addWideRegister(address, hexNumber(value, 32), wide, map);
    else {
        map.defaultValues[address] = registerNumber(value);
        map.wideRegisters.erase(address);
    }
}

} // namespace

std::optional<RegisterMap> readRegisterMap(const std::string &fileName)
{
    std::ifstream file(fileName, std::ios::binary);
    std::string line;
    std::getline(file, line);
    // An empty file is a map without registers; only a failed read is none.
    if (file.bad() || (file.fail() && !file.eof()))
        return std::nullopt;
    RegisterMap map;
    const Settings settings = readSettings(line);
    map.slaveAddressText = settings.slaveAddressText;
    while (std::getline(file, line))
        addRegisterLine(line, settings, map);
    return map;
}

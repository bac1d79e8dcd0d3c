#include "mapfile.h"

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

// A part belongs to the first key it contains, in this order, so that
// "remarks:see name list" counts as a name exactly as in the tool.
std::string keyOf(const std::string &part)
{
    static const char *const keys[] = {"indexes", "permission", "defaultValue",
                                       "rangeValue", "name", "remarks"};
    for (const char *key : keys) {
        if (part.find(key) != std::string::npos)
            return key;
    }
    return std::string();
}

// Hexadecimal with or without 0x; anything that is not a 16-bit number is 0.
uint16_t registerNumber(const std::string &text)
{
    char *end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 16);
    if (text.empty() || *end != '\0' || number < 0 || number > 0xFFFF)
        return 0;
    return static_cast<uint16_t>(number);
}

std::optional<std::string> slaveAddressText(const std::string &settingsLine)
{
    std::optional<std::string> text;
    for (const std::string &part : splitAtCommas(lineText(settingsLine))) {
        if (part.find("slaveAddress") != std::string::npos)
            text = valueOf(part);
    }
    return text;
}

void addRegisterLine(const std::string &line, RegisterMap &map)
{
    const std::vector<std::string> parts = splitAtCommas(trimmed(lineText(line)));
    if (parts.size() < 5)
        return;
    uint16_t address = 0;
    uint16_t value = 0;
    std::string name;
    for (const std::string &part : parts) {
        const std::string key = keyOf(part);
        if (key == "indexes")
            address = registerNumber(valueOf(part));
        else if (key == "defaultValue")
            value = registerNumber(valueOf(part));
        else if (key == "name")
            name = valueOf(part);
    }
    if (!name.empty())
        map.defaultValues[address] = value;
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
    map.slaveAddressText = slaveAddressText(line);
    while (std::getline(file, line))
        addRegisterLine(line, map);
    return map;
}

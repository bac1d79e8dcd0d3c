#ifndef LINESETTINGS_H
#define LINESETTINGS_H

#include <QString>

class Serial;

// The line as someone checking a driver's settings compares them:
// "/dev/ttyUSB0 9600 8N1", "192.168.1.20:502 Modbus TCP",
// "192.168.1.20:4001 RTU over TCP".
QString lineSettingsText(const Serial &serial);

// For the command line: the silent address (the unit id on Modbus TCP),
// the line, and what to check, the cheapest first.
QString absentDriverText(const Serial &serial, int address);

#endif // LINESETTINGS_H

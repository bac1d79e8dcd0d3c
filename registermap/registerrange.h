#ifndef REGISTERRANGE_H
#define REGISTERRANGE_H

#include "registermap/registerinfo.h"

// A register whose map range has a negative bound holds a signed 16-bit
// number: 0xFFF6 is -10 there. Every range check of the program reads a
// value this way, so a value the tool read from a driver always passes the
// checks of the same map.
qint32 rangeReading(const RegisterInfo &info, quint16 value);

// True when the map gives no range or the value, read as above, lies in it.
bool isWithinRange(const RegisterInfo &info, quint16 value);

#endif // REGISTERRANGE_H

#include "registermap/registerrange.h"

qint32 rangeReading(const RegisterInfo &info, quint16 value)
{
    return info.hasRange && info.rangeMin < 0 ? qint32(qint16(value)) : qint32(value);
}

bool isWithinRange(const RegisterInfo &info, quint16 value)
{
    const qint32 reading = rangeReading(info, value);
    return !info.hasRange || (reading >= info.rangeMin && reading <= info.rangeMax);
}

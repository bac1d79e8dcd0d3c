#ifndef MODBUSCRC_H
#define MODBUSCRC_H

#include <QtGlobal>
#include <cstddef>

// CRC-16 of Modbus RTU (initial 0xFFFF, reflected polynomial 0xA001) over
// all `length` bytes; sent low byte first.
quint16 crc16(const uchar *data, std::size_t length);

#endif // MODBUSCRC_H

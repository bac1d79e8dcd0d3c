#ifndef REGISTERFRAMES_H
#define REGISTERFRAMES_H

#include <QByteArray>
#include <QList>

#include "registermap/registerinfo.h"

// The frames of a map's rows and the records a reply gives back: the
// row-level face of ModbusMaster.

QByteArray readRegisterCmd(quint8 slave, const RegisterInfo &info);
QByteArray writeRegisterCmd(quint8 slave, const RegisterInfo &info);
// The write of a row's words (value, and nextWord for a 32-bit row):
// function 16 for a 32-bit row or when the map's writeFunction is 16,
// otherwise function 6.
QByteArray writeRowCmd(quint8 slave, const RegisterInfo &info, int writeFunction);

// One record per register value of a function-3 reply (only value and
// valueText set); empty when the byte count does not fit the block.
QList<RegisterInfo> parseReadReply(const QByteArray &block);
// address, value and valueText of a function-6 echo. A block too short
// to be one gives a record whose valueText is empty; a decoded record
// always has a decimal valueText.
RegisterInfo parseWriteReply(const QByteArray &block);

#endif // REGISTERFRAMES_H

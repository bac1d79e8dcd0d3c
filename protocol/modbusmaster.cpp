#include "modbusmaster.h"

namespace {

constexpr quint8 readHoldingRegisters = 0x03;
constexpr quint8 writeSingleRegister = 0x06;
constexpr quint8 writeMultipleRegisters = 0x10;
constexpr int writeReplyLength = 8;
constexpr int maxWriteRegisters = 123;

void appendWord(QByteArray &frame, quint16 word)
{
    frame.append(char(word >> 8));
    frame.append(char(word & 0xFF));
}

quint16 wordAt(const QByteArray &block, int index)
{
    return quint16(uchar(block.at(index)) << 8 | uchar(block.at(index + 1)));
}

} // namespace

ModbusMaster *ModbusMaster::instance()
{
    static ModbusMaster *master = new ModbusMaster;
    return master;
}

void ModbusMaster::appendHeader(QByteArray &frame, quint8 slave, quint8 function, quint16 address)
{
    frame.append(char(slave));
    frame.append(char(function));
    appendWord(frame, address);
}

void ModbusMaster::appendCrc(QByteArray &frame)
{
    const quint16 crc = crc16(reinterpret_cast<const uchar *>(frame.constData()), std::size_t(frame.size()));
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
}

QByteArray ModbusMaster::readCmd(quint8 slave, quint16 address, quint16 count)
{
    QByteArray frame;
    appendHeader(frame, slave, readHoldingRegisters, address);
    appendWord(frame, count);
    appendCrc(frame);
    return frame;
}

QByteArray ModbusMaster::writeCmd(quint8 slave, quint16 address, quint16 value)
{
    QByteArray frame;
    appendHeader(frame, slave, writeSingleRegister, address);
    appendWord(frame, value);
    appendCrc(frame);
    return frame;
}

QByteArray ModbusMaster::writeMultipleCmd(quint8 slave, quint16 address, quint16 count, const quint16 *values)
{
    QByteArray frame;
    appendHeader(frame, slave, writeMultipleRegisters, address);
    appendWord(frame, count);
    frame.append(char((2 * count) & 0xFF));
    for (quint16 i = 0; i < count; ++i)
        appendWord(frame, values[i]);
    appendCrc(frame);
    return frame;
}

QByteArray ModbusMaster::writeMultipleCmd(quint8 slave, quint16 address, const QVector<quint16> &words)
{
    if (words.isEmpty() || words.size() > maxWriteRegisters)
        return QByteArray();
    return writeMultipleCmd(slave, address, quint16(words.size()), words.constData());
}

bool ModbusMaster::checkCrc(const QByteArray &block)
{
    if (block.size() < 2)
        return false;
    const int payload = block.size() - 2;
    const quint16 crc = crc16(reinterpret_cast<const uchar *>(block.constData()), std::size_t(payload));
    return uchar(block.at(payload)) == (crc & 0xFF) && uchar(block.at(payload + 1)) == (crc >> 8);
}

QList<quint16> ModbusMaster::readReplyValues(const QByteArray &block)
{
    QList<quint16> values;
    if (block.size() < 3)
        return values;
    const int byteCount = uchar(block.at(2));
    if (byteCount + 5 != block.size() || byteCount < 2)
        return values;
    // An odd byte count leaves its last data byte unread.
    values.reserve(byteCount / 2);
    for (int i = 3; i < 3 + 2 * (byteCount / 2); i += 2)
        values.append(wordAt(block, i));
    return values;
}

ModbusMaster::WriteEcho ModbusMaster::parseWriteEcho(const QByteArray &block)
{
    WriteEcho echo;
    if (block.size() < writeReplyLength)
        return echo;
    echo.valid = true;
    echo.address = wordAt(block, 2);
    echo.value = wordAt(block, 4);
    return echo;
}

ModbusMaster::WriteMultipleEcho ModbusMaster::parseWriteMultipleReply(const QByteArray &block)
{
    WriteMultipleEcho echo;
    if (block.size() != writeReplyLength || uchar(block.at(1)) != writeMultipleRegisters)
        return echo;
    echo.valid = true;
    echo.address = wordAt(block, 2);
    echo.count = wordAt(block, 4);
    return echo;
}

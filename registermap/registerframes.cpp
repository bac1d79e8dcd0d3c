#include "registermap/registerframes.h"

#include "protocol/modbusmaster.h"

namespace {
constexpr int writeMultipleRegisters = 0x10;
}

QByteArray readRegisterCmd(quint8 slave, const RegisterInfo &info)
{
    return ModbusMaster::instance()->readCmd(slave, info.address, quint16(info.format.wordCount()));
}

QByteArray writeRegisterCmd(quint8 slave, const RegisterInfo &info)
{
    return ModbusMaster::instance()->writeCmd(slave, info.address, info.value);
}

QByteArray writeRowCmd(quint8 slave, const RegisterInfo &info, int writeFunction)
{
    ModbusMaster *master = ModbusMaster::instance();
    if (info.format.wordCount() == 2)
        return master->writeMultipleCmd(slave, info.address, {info.value, info.nextWord});
    if (writeFunction == writeMultipleRegisters)
        return master->writeMultipleCmd(slave, info.address, {info.value});
    return writeRegisterCmd(slave, info);
}

QList<RegisterInfo> parseReadReply(const QByteArray &block)
{
    QList<RegisterInfo> registers;
    for (quint16 value : ModbusMaster::instance()->readReplyValues(block)) {
        RegisterInfo info;
        info.value = value;
        info.valueText = QString::number(value, 10);
        registers.append(info);
    }
    return registers;
}

RegisterInfo parseWriteReply(const QByteArray &block)
{
    RegisterInfo info;
    const ModbusMaster::WriteEcho echo = ModbusMaster::instance()->parseWriteEcho(block);
    if (!echo.valid)
        return info;
    info.address = echo.address;
    info.value = echo.value;
    info.valueText = QString::number(info.value, 10);
    return info;
}

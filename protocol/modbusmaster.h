#ifndef MODBUSMASTER_H
#define MODBUSMASTER_H

#include <QByteArray>
#include <QList>
#include <QVector>

#include "util/modbuscrc.h"

// Builds the requests of a Modbus RTU master and takes the replies apart.
// It does no input or output of its own.
class ModbusMaster
{
public:
    static ModbusMaster *instance();

    // Every request names the slave it is for: the line's session or the
    // run that sends it decides, never state kept here.
    void appendHeader(QByteArray &frame, quint8 slave, quint8 function, quint16 address);
    void appendCrc(QByteArray &frame);

    QByteArray readCmd(quint8 slave, quint16 address, quint16 count);
    QByteArray writeCmd(quint8 slave, quint16 address, quint16 value);
    // The byte-count field holds 8 bits: keep count at 123 or below.
    QByteArray writeMultipleCmd(quint8 slave, quint16 address, quint16 count, const quint16 *values);
    // Function 16 for `words` at `address` and on, in address order (a
    // 32-bit row's two words, or one word for a driver without function 6);
    // empty for no words or more than one request may carry.
    QByteArray writeMultipleCmd(quint8 slave, quint16 address, const QVector<quint16> &words);

    bool checkCrc(const QByteArray &block);
    // The register values of a function-3 reply; empty when the byte count
    // does not fit the block.
    QList<quint16> readReplyValues(const QByteArray &block);
    // Address and value of a function-6 echo; not valid unless the block
    // holds at least the 8 bytes of one.
    struct WriteEcho
    {
        bool valid = false;
        quint16 address = 0;
        quint16 value = 0;
    };
    WriteEcho parseWriteEcho(const QByteArray &block);
    // First address and register count of a function-16 echo; not valid
    // unless the block is 8 bytes with function 16.
    struct WriteMultipleEcho
    {
        bool valid = false;
        quint16 address = 0;
        quint16 count = 0;
    };
    WriteMultipleEcho parseWriteMultipleReply(const QByteArray &block);

private:
    ModbusMaster() = default;
};

#endif // MODBUSMASTER_H

#ifndef MBAPFRAME_H
#define MBAPFRAME_H

#include <QByteArray>
#include <QString>

// Modbus TCP carries a request as an MBAP header (transaction id, protocol
// 0, length, unit id) and the PDU, without a CRC. The line turns the RTU
// frames the program makes into that form and the replies back, so that
// everything above the line judges one kind of frame.

// The MBAP form of an RTU frame (unit id first): its CRC, when it holds a
// right one, gives way to the header.
QByteArray mbapFromRtu(const QByteArray &rtu, quint16 transaction);

// How many bytes the first ADU of `stream` takes: 0 while its header or
// body is incomplete, -1 when the header cannot be one (another protocol,
// a length no PDU has).
int mbapAduLength(const QByteArray &stream);

// A block from the line as the program judges it.
struct LineFrame
{
    enum class Kind {
        Whole,    // an RTU frame, as received or rebuilt from an ADU
        Foreign,  // a whole reply, but to another transaction than the one awaited
        Broken,   // bytes that do not make an ADU
    };
    Kind kind = Kind::Whole;
    QByteArray rtu;  // Whole and Foreign: the RTU form, CRC included
    QString reason;  // Foreign and Broken: why, for the log
};

// The RTU form of one ADU, judged against the transaction last sent.
LineFrame rtuFromMbap(const QByteArray &adu, quint16 awaitedTransaction);

#endif // MBAPFRAME_H

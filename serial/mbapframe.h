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
        Late,     // a whole reply to a transaction sent before, no longer awaited
        Foreign,  // a whole reply to a transaction never sent on this connection
        Broken,   // bytes that do not make an ADU
    };
    Kind kind = Kind::Whole;
    QByteArray rtu;  // Whole, Late and Foreign: the RTU form, CRC included
    QString reason;  // Late, Foreign and Broken: why, for the log
};

// The transactions of one connection as the judge of a reply needs them.
struct Transactions
{
    int awaited = -1;       // the one a reply is awaited for; -1: none
    quint16 lastSent = 0;   // ids count up from 1 on each connection
    quint32 sentCount = 0;  // how many were sent on it
};

// The RTU form of one ADU, judged by its transaction id alone.
LineFrame rtuFromMbap(const QByteArray &adu, const Transactions &transactions);

#endif // MBAPFRAME_H

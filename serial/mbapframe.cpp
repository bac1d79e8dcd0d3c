#include "mbapframe.h"

#include "util/modbuscrc.h"

namespace {

constexpr int headerLength = 7;  // up to and with the unit id
// A Modbus PDU holds at most 253 bytes; the length field counts the unit id too.
constexpr int longestLengthField = 254;

quint16 wordAt(const QByteArray &bytes, int index)
{
    return quint16(uchar(bytes.at(index)) << 8 | uchar(bytes.at(index + 1)));
}

quint16 crcOf(const QByteArray &bytes, int length)
{
    return crc16(reinterpret_cast<const uchar *>(bytes.constData()), std::size_t(length));
}

bool endsInRightCrc(const QByteArray &rtu)
{
    if (rtu.size() < 4)
        return false;
    const quint16 crc = crcOf(rtu, rtu.size() - 2);
    return uchar(rtu.at(rtu.size() - 2)) == (crc & 0xFF) && uchar(rtu.at(rtu.size() - 1)) == (crc >> 8);
}

void appendWord(QByteArray &bytes, quint16 word)
{
    bytes.append(char(word >> 8));
    bytes.append(char(word & 0xFF));
}

} // namespace

QByteArray mbapFromRtu(const QByteArray &rtu, quint16 transaction)
{
    const QByteArray body = endsInRightCrc(rtu) ? rtu.left(rtu.size() - 2) : rtu;
    QByteArray adu;
    appendWord(adu, transaction);
    appendWord(adu, 0);
    appendWord(adu, quint16(body.size()));
    adu.append(body);
    return adu;
}

int mbapAduLength(const QByteArray &stream)
{
    if (stream.size() >= 4 && wordAt(stream, 2) != 0)
        return -1;
    if (stream.size() < 6)
        return 0;
    const int lengthField = wordAt(stream, 4);
    if (lengthField < 2 || lengthField > longestLengthField)
        return -1;
    const int total = 6 + lengthField;
    return stream.size() >= total ? total : 0;
}

LineFrame rtuFromMbap(const QByteArray &adu, const Transactions &transactions)
{
    if (adu.size() < headerLength + 1 || mbapAduLength(adu) != adu.size())
        return {LineFrame::Kind::Broken, QByteArray(), QStringLiteral("not a Modbus TCP frame")};
    QByteArray rtu = adu.mid(6);
    const quint16 crc = crcOf(rtu, rtu.size());
    rtu.append(char(crc & 0xFF));
    rtu.append(char(crc >> 8));
    const quint16 transaction = wordAt(adu, 0);
    if (int(transaction) == transactions.awaited)
        return {LineFrame::Kind::Whole, rtu, QString()};
    const QString awaited = transactions.awaited < 0 ? QStringLiteral("none awaited")
                                                     : QStringLiteral("%1 awaited").arg(transactions.awaited);
    // Ids wrap at 65536: counted back from the last one sent.
    if (quint16(transactions.lastSent - transaction) < transactions.sentCount)
        return {LineFrame::Kind::Late, rtu, QStringLiteral("late reply to transaction %1, %2").arg(transaction).arg(awaited)};
    return {LineFrame::Kind::Foreign, rtu,
            QStringLiteral("transaction %1 was never sent, %2").arg(transaction).arg(awaited)};
}

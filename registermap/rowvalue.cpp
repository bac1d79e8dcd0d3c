#include "registermap/rowvalue.h"

#include "registermap/registervalue.h"

namespace {

quint16 wordAt(const QByteArray &bytes, int index)
{
    return quint16(quint8(bytes.at(index)) << 8 | quint8(bytes.at(index + 1)));
}

} // namespace

qint64 rowRaw(const RegisterInfo &info)
{
    return RegisterValue(info.format).fromWords(info.value, info.nextWord);
}

void setRowWords(RegisterInfo &info, quint16 atAddress, quint16 atNext)
{
    info.value = atAddress;
    info.nextWord = info.format.wordCount() == 2 ? atNext : 0;
    info.valueText = RegisterValue(info.format).text(rowRaw(info));
}

void setRowRaw(RegisterInfo &info, qint64 raw)
{
    const QVector<quint16> words = RegisterValue(info.format).toWords(raw);
    setRowWords(info, words.at(0), words.value(1));
}

bool isPlainRow(const RegisterInfo &info)
{
    const RegisterFormat &format = info.format;
    return format.type == ValueType::U16 && format.scaleUnits == 1 && format.decimals == 0
        && format.unit.isEmpty() && format.states.isEmpty() && format.bitNames.isEmpty();
}

QVector<quint16> writtenWords(const QByteArray &frame)
{
    if (frame.size() >= 6 && quint8(frame.at(1)) == 0x06)
        return {wordAt(frame, 4)};
    QVector<quint16> words;
    if (frame.size() < 7 || quint8(frame.at(1)) != 0x10)
        return words;
    const int count = wordAt(frame, 4);
    for (int i = 0; i < count && 7 + 2 * i + 1 < frame.size(); ++i)
        words.append(wordAt(frame, 7 + 2 * i));
    return words;
}

bool takeWrittenWords(RegisterInfo &info, quint16 firstAddress, const QVector<quint16> &words)
{
    const int offset = int(info.address) - int(firstAddress);
    const bool ownWord = offset >= 0 && offset < words.size();
    const bool nextWord = info.format.wordCount() == 2 && offset + 1 >= 0 && offset + 1 < words.size();
    if (!ownWord && !nextWord)
        return false;
    setRowWords(info, ownWord ? words.at(offset) : info.value, nextWord ? words.at(offset + 1) : info.nextWord);
    return true;
}

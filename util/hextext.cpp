#include "hextext.h"

namespace {

// A piece that is not hexadecimal becomes the byte 0: the caller sends
// whatever the user typed and the log shows what actually left.
char hexPairToByte(const QString &pair)
{
    return char(pair.toUShort(nullptr, 16) & 0xFF);
}

QByteArray prefixedHexToBytes(const QString &text)
{
    QByteArray bytes;
    if (text.size() % 4 != 0)
        return bytes;
    for (int k = 0; k < text.size() / 4; ++k)
        bytes.append(hexPairToByte(text.mid(4 * k + 2, 2)));
    return bytes;
}

QByteArray plainHexToBytes(const QString &text)
{
    QByteArray bytes;
    if (text.size() % 2 != 0)
        return bytes;
    for (int k = 0; k < text.size() / 2; ++k)
        bytes.append(hexPairToByte(text.mid(2 * k, 2)));
    return bytes;
}

} // namespace

QString byteArrayToHexString(const QByteArray &data)
{
    QString text;
    text.reserve(data.size() * 3);
    for (const char byte : data)
        text += QStringLiteral("%1 ").arg(uchar(byte), 2, 16, QLatin1Char('0'));
    return text.toUpper();
}

QByteArray hexStringToByteArray(const QString &text)
{
    QString digits = text;
    digits.replace(QLatin1Char('\n'), QLatin1Char(' '));
    digits.remove(QLatin1Char(' '));
    if (digits.startsWith(QLatin1String("0x")) || digits.startsWith(QLatin1String("0X")))
        return prefixedHexToBytes(digits);
    return plainHexToBytes(digits);
}

QString decStringToHexString(QString text)
{
    const quint32 number = quint32(text.toInt(nullptr, 10));
    const int digits = number > 0xFFFF ? 8 : 4;
    return QLatin1String("0x") + QStringLiteral("%1").arg(number, digits, 16, QLatin1Char('0')).toUpper();
}

QString hexStringToDecString(QString text)
{
    return QString::number(text.toLocal8Bit().toInt(nullptr, 16), 10);
}

// The four text conversions on arbitrary bytes and on arbitrary typed text.
#include "fuzzsupport.h"
#include "util/hextext.h"

namespace {

bool isLogHexText(const QString &text)
{
    for (const QChar c : text) {
        if (!QStringLiteral("0123456789ABCDEF ").contains(c))
            return false;
    }
    return true;
}

void checkBytesToText(const QByteArray &bytes)
{
    const QString text = byteArrayToHexString(bytes);
    FUZZ_CHECK(text.size() == 3 * bytes.size());
    FUZZ_CHECK(bytes.isEmpty() || text.endsWith(QLatin1Char(' ')));
    FUZZ_CHECK(isLogHexText(text));
    // What the log shows can be typed back into the send box unchanged.
    FUZZ_CHECK(hexStringToByteArray(text) == bytes);

    QString prefixed;
    for (const QString &pair : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        prefixed += QStringLiteral("0x") + pair + QLatin1Char(' ');
    FUZZ_CHECK(hexStringToByteArray(prefixed) == bytes);
}

void checkTypedText(const QString &typed)
{
    // Every byte takes at least two typed characters.
    FUZZ_CHECK(2 * hexStringToByteArray(typed).size() <= typed.size());

    const QString hex = decStringToHexString(typed);
    FUZZ_CHECK(hex.startsWith(QLatin1String("0x")) && (hex.size() == 6 || hex.size() == 10));
    for (const QChar c : hex.mid(2))
        FUZZ_CHECK(QStringLiteral("0123456789ABCDEF").contains(c));
    // The editor's two fields must agree on every value a register holds
    // (a negative number shows as its 32-bit complement).
    const int number = typed.toInt(nullptr, 10);
    if (number >= 0)
        FUZZ_CHECK(hexStringToDecString(hex) == QString::number(number));

    const QString decimal = hexStringToDecString(typed);
    if (!decimal.startsWith(QLatin1Char('-')))
        FUZZ_CHECK(hexStringToDecString(decStringToHexString(decimal)) == decimal);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    checkBytesToText(bytes);
    checkTypedText(QString::fromUtf8(bytes));
    return 0;
}

// The register-line parser, one input line at a time.
#include "fuzzsupport.h"
#include "registermap/registervalue.h"
#include "util/hextext.h"

namespace {

MainWindow *window = nullptr;

bool isCleanField(const QString &text)
{
    return text == text.trimmed() && !text.contains(QLatin1Char(','));
}

void checkLine(const QString &line)
{
    const RegisterInfo info = window->parseRegisterLine(line);
    if (line.trimmed().split(QLatin1Char(',')).size() <= 4) {
        FUZZ_CHECK(info.name.isEmpty() && info.addressText.isEmpty() && info.valueText.isEmpty());
        FUZZ_CHECK(info.address == 0 && info.value == 0 && info.rangeMin == 0 && info.rangeMax == 0);
        return;
    }
    for (const QString *field : {&info.addressText, &info.permission, &info.valueText,
                                 &info.rangeText, &info.name, &info.remarks})
        FUZZ_CHECK(isCleanField(*field));
    // The numbers the driver is sent must be the ones the table shows.
    FUZZ_CHECK(info.address == hexStringToDecString(info.addressText).toUShort());
    if (info.format.wordCount() == 1) {
        FUZZ_CHECK(info.value == hexStringToDecString(info.valueText).toUShort());
        FUZZ_CHECK(info.nextWord == 0);
        return;
    }
    bool ok = false;
    const qlonglong written = info.valueText.toLatin1().toLongLong(&ok, 16);
    const quint32 expected = ok && written >= 0 && written <= 0xFFFFFFFFLL ? quint32(written) : 0;
    const QVector<quint16> words = RegisterValue(info.format).toWords(qint64(expected));
    FUZZ_CHECK(info.value == words.at(0) && info.nextWord == words.at(1));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    window = makeFuzzWindow("slaveAddress:1,txTime:100,rxOutTime:1000\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const QString &line : QString::fromUtf8(fuzzBytes(data, size)).split(QLatin1Char('\n')))
        checkLine(line);
    return 0;
}

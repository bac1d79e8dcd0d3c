// A whole RegisterInfo file with value-format keys, read by the window-less
// loader, and typed values for its rows: the lines of the input itself.
#include "fuzzsupport.h"
#include "registermap/registermap.h"
#include "registermap/registervalue.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

namespace {

QString mapPath;

void writeMap(const QByteArray &bytes)
{
    QFile file(mapPath);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

// A 32-bit row that is read or written owns its next address alone.
void checkWideRows(const RegisterMap &map)
{
    QSet<int> rowAddresses;
    for (const RegisterInfo &info : map.registers) {
        if (info.addressValid)
            rowAddresses.insert(info.address);
    }
    for (const RegisterInfo &info : map.registers) {
        if (info.addressValid && info.format.wordCount() == 2)
            FUZZ_CHECK(info.address < 0xFFFF && !rowAddresses.contains(info.address + 1));
    }
}

// A shown text gives back a value that shows the same (a unit such as "(3)"
// beside a state named "1" can make two values look alike).
bool showsAlike(const RegisterValue &value, const QString &text)
{
    const RegisterValue::Input input = value.parse(text);
    return input.ok() && value.text(input.raw) == text;
}

// What a row shows converts back to the words it holds; whatever a typed
// text gives fits the row's type and shows as a text that gives it again.
void checkValues(const RegisterInfo &info, const QStringList &typedTexts)
{
    const RegisterValue value(info.format);
    const qint64 raw = value.fromWords(info.value, info.nextWord);
    FUZZ_CHECK(value.fitsType(raw));
    const QVector<quint16> words = value.toWords(raw);
    FUZZ_CHECK(words.size() == info.format.wordCount() && words.at(0) == info.value);
    FUZZ_CHECK(words.size() == 1 || words.at(1) == info.nextWord);
    FUZZ_CHECK(showsAlike(value, value.text(raw)));
    FUZZ_CHECK(value.parseHex(value.hexText(raw)).raw == raw);
    value.inRange(raw);
    value.toolTip(raw);
    for (const QString &typed : typedTexts) {
        const RegisterValue::Input input = value.parse(typed);
        if (!input.ok())
            continue;
        FUZZ_CHECK(value.fitsType(input.raw));
        FUZZ_CHECK(showsAlike(value, value.text(input.raw)));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static QTemporaryDir folder;
    mapPath = folder.filePath(QStringLiteral("RegisterInfo"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    writeMap(bytes);
    RegisterMap map;
    FUZZ_CHECK(loadRegisterMap(mapPath, &map));
    FUZZ_CHECK(map.writeFunction == 6 || map.writeFunction == 16);
    checkWideRows(map);
    const QStringList typedTexts = QString::fromUtf8(bytes).split(QLatin1Char('\n')).mid(0, 16);
    for (int row = 0; row < map.registers.size() && row < 16; ++row)
        checkValues(map.registers.at(row), typedTexts);
    return 0;
}

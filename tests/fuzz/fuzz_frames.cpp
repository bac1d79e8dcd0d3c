// The frame codec: CRC test, the two reply decoders on arbitrary blocks, and
// the request builders with parameters taken from the input.
#include "fuzzsupport.h"
#include "protocol/modbusmaster.h"
#include "registermap/registerframes.h"

namespace {

QByteArray withCrc(const QByteArray &payload)
{
    QByteArray frame = payload;
    ModbusMaster::instance()->appendCrc(frame);
    return frame;
}

void checkCrcTest(const QByteArray &block)
{
    ModbusMaster *master = ModbusMaster::instance();
    const bool expected = block.size() >= 2 && withCrc(block.left(block.size() - 2)) == block;
    FUZZ_CHECK(master->checkCrc(block) == expected);

    QByteArray framed = withCrc(block);
    FUZZ_CHECK(master->checkCrc(framed));
    // CRC-16 catches every error burst of up to 16 bits, so any one changed
    // byte must fail the test.
    const int victim = block.isEmpty() ? 0 : uchar(block.at(0)) % framed.size();
    framed[victim] = char(framed.at(victim) ^ 0x5A);
    FUZZ_CHECK(!master->checkCrc(framed));
}

void checkReadReply(const QByteArray &block)
{
    const QList<RegisterInfo> records = parseReadReply(block);
    FUZZ_CHECK(records.size() <= block.size() / 2);
    if (records.isEmpty())
        return;
    const int byteCount = uchar(block.at(2));
    FUZZ_CHECK(block.size() == byteCount + 5);
    FUZZ_CHECK(records.size() == byteCount / 2);
    for (int i = 0; i < records.size(); ++i) {
        FUZZ_CHECK(records.at(i).value == wordAt(block, 3 + 2 * i));
        FUZZ_CHECK(records.at(i).valueText == QString::number(records.at(i).value));
    }
}

void checkWriteReply(const QByteArray &block)
{
    const RegisterInfo echo = parseWriteReply(block);
    if (echo.valueText.isEmpty())
        return;
    FUZZ_CHECK(block.size() >= 6);
    FUZZ_CHECK(echo.address == wordAt(block, 2));
    FUZZ_CHECK(echo.value == wordAt(block, 4));
    FUZZ_CHECK(echo.valueText == QString::number(echo.value));
}

// Builder parameters from the first bytes of the input, zero beyond its end.
void checkBuilders(const QByteArray &input)
{
    const QByteArray p = input + QByteArray(8, '\0');
    ModbusMaster *master = ModbusMaster::instance();
    const quint8 slave = quint8(p.at(0));
    const quint16 address = wordAt(p, 1);
    const quint16 word = wordAt(p, 3);

    const QByteArray read = master->readCmd(slave, address, word);
    FUZZ_CHECK(read.size() == 8 && master->checkCrc(read));
    FUZZ_CHECK(uchar(read.at(0)) == slave && read.at(1) == 0x03);
    FUZZ_CHECK(wordAt(read, 2) == address && wordAt(read, 4) == word);

    // A driver echoes a write unchanged; the decoder must read back what
    // the builder put in.
    const QByteArray write = master->writeCmd(slave, address, word);
    FUZZ_CHECK(write.size() == 8 && master->checkCrc(write));
    const RegisterInfo echo = parseWriteReply(write);
    FUZZ_CHECK(echo.address == address && echo.value == word);

    const quint16 count = quint16(uchar(p.at(5)) % 124);
    QVector<quint16> values(count);
    for (int i = 0; i < count; ++i)
        values[i] = quint16(uchar(p.at((6 + i) % p.size())) * 257u);
    const QByteArray multiple = master->writeMultipleCmd(slave, address, count, values.constData());
    FUZZ_CHECK(multiple.size() == 9 + 2 * count && master->checkCrc(multiple));
    FUZZ_CHECK(uchar(multiple.at(6)) == 2 * count);
    for (int i = 0; i < count; ++i)
        FUZZ_CHECK(wordAt(multiple, 7 + 2 * i) == values.at(i));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray block = fuzzBytes(data, size);
    checkCrcTest(block);
    checkReadReply(block);
    checkWriteReply(block);
    checkBuilders(block);
    return 0;
}

// The main window's handling of a received block. The first input byte picks
// the row whose read was sent last (also rows that do not exist), the second
// the display switches and the pending wait; the rest is the block.
#include "fuzzsupport.h"
#include "protocol/modbusmaster.h"
#include "support/windowinternals.h"

#include <QCheckBox>
#include <QTableWidget>
#include <QTextBrowser>

using Inspect = MainWindowInspector;

namespace {

MainWindow *window = nullptr;
QTableWidget *table = nullptr;
QTextBrowser *log = nullptr;
QCheckBox *hexDisplay = nullptr;

// Three rows, the last two sharing an address: a write echo goes to both.
const QByteArray map = "slaveAddress:1,txTime:100,rxOutTime:1000\n"
                       "indexes:0x0000,permission:R,defaultValue:0x0000,rangeValue:0~65535,name:Status word,remarks:\n"
                       "indexes:0x0010,permission:RW,defaultValue:0x0064,rangeValue:0~1000,name:Run current,remarks:mA\n"
                       "indexes:0x0010,permission:RW,defaultValue:0x0064,rangeValue:0~1000,name:Twin,remarks:\n";
constexpr int rowCount = 3;
// Clearing now and then keeps the fuzzer from measuring the log's growth.
constexpr int inputsPerLogClear = 1000;

QStringList shownValues()
{
    QStringList values;
    for (int row = 0; row < rowCount; ++row)
        values << table->item(row, 1)->text();
    return values;
}

// The log's lines once those waiting for the view are written, as the
// event loop would.
int shownLogLines()
{
    Inspect::trafficLog(*window).flush();
    return log->document()->blockCount();
}

int changedRows(const QStringList &before, const QStringList &after)
{
    int changed = 0;
    for (int row = 0; row < rowCount; ++row)
        changed += before.at(row) != after.at(row);
    return changed;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    window = makeFuzzWindow(map);
    table = window->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    log = window->findChild<QTextBrowser *>(QStringLiteral("textBrowser_show"));
    hexDisplay = window->findChild<QCheckBox *>(QStringLiteral("checkBox_2"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int inputs = 0;
    if (++inputs % inputsPerLogClear == 0)
        Inspect::trafficLog(*window).clear();
    if (size < 2)
        return 0;

    const int row = int(data[0] % (rowCount + 3)) - 1;
    Inspect::awaitRow(*window, row);
    hexDisplay->setChecked(data[1] & 1);
    Inspect::isDisplayOn(*window) = data[1] & 2;
    const quint32 wait = 1 + (data[1] >> 2);
    Inspect::waitElapsed(*window) = wait;
    const QByteArray block = fuzzBytes(data + 2, size - 2);

    const QStringList before = shownValues();
    const int logBlocks = shownLogLines();
    Inspect::receive(*window, block);
    const QStringList after = shownValues();

    const QList<RegisterInfo> &registers = Inspect::registerList(*window);
    FUZZ_CHECK(registers.size() == rowCount && table->rowCount() == rowCount);
    // The table shows what the window believes the driver holds.
    for (int r = 0; r < rowCount; ++r)
        FUZZ_CHECK(after.at(r) == registers.at(r).valueText);
    // One reply is about one register: a read reply changes the awaited
    // row alone, a write echo the rows of its address, which the twins share
    // and then show alike.
    const int changed = changedRows(before, after);
    const bool twinsAlike = after.at(1) == after.at(2);
    FUZZ_CHECK(changed <= 1 || (changed == 2 && after.at(0) == before.at(0) && twinsAlike));
    const bool readReply = block.size() > 1 && block.at(1) == 0x03;
    if (readReply && changed == 1)
        FUZZ_CHECK(row >= 0 && row < rowCount && after.at(row) != before.at(row));

    if (block.isEmpty()) {
        FUZZ_CHECK(Inspect::waitElapsed(*window) == wait);
        FUZZ_CHECK(shownLogLines() == logBlocks);
        return 0;
    }
    if (!ModbusMaster::instance()->checkCrc(block))
        FUZZ_CHECK(after == before);
    if (row >= 0 && row < rowCount)
        FUZZ_CHECK(Inspect::waitElapsed(*window) == 0);
    else
        FUZZ_CHECK(Inspect::waitElapsed(*window) == 0 || Inspect::waitElapsed(*window) == wait);
    if (!Inspect::isDisplayOn(*window))
        FUZZ_CHECK(shownLogLines() == logBlocks);
    return 0;
}

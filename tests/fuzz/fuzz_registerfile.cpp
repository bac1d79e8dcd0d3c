// A whole RegisterInfo file, read by the window as it reads its map at start.
#include "fuzzsupport.h"
#include "support/windowinternals.h"

#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>

using Inspect = MainWindowInspector;

namespace {

MainWindow *window = nullptr;
QTableWidget *table = nullptr;
QString mapPath;

void writeMap(const QByteArray &bytes)
{
    QFile file(mapPath);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    window = makeFuzzWindow("slaveAddress:1,txTime:100,rxOutTime:1000\n");
    table = window->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    static QTemporaryDir folder;
    mapPath = folder.filePath(QStringLiteral("RegisterInfo"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    writeMap(bytes);
    Inspect::forgetRegisterMap(*window);
    window->readRegisterInfo(mapPath);

    const QList<RegisterInfo> &registers = Inspect::registerList(*window);
    const QList<quint16> &addresses = Inspect::registerAddrs(*window);
    // Row i, record i and address i always describe the same register.
    FUZZ_CHECK(addresses.size() == registers.size());
    FUZZ_CHECK(table->rowCount() == registers.size());
    FUZZ_CHECK(registers.size() <= bytes.count('\n'));
    for (int i = 0; i < registers.size(); ++i) {
        FUZZ_CHECK(!registers.at(i).name.isEmpty());
        FUZZ_CHECK(addresses.at(i) == registers.at(i).address);
        FUZZ_CHECK(table->item(i, 0)->text() == registers.at(i).addressText);
        FUZZ_CHECK(table->item(i, 4)->text() == registers.at(i).name);
    }
    // A zero or negative pace would stall or spin the poll timer.
    FUZZ_CHECK(Inspect::txTime(*window) >= 1);
    return 0;
}

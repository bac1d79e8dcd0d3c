// A parameter file as a restore or compare reads it, against a map with
// every value type: the file must read back as written, and a file that
// passes the restore checks puts into each row only a value of its type
// and range.
#include "fuzzsupport.h"
#include "paramsets/parametercompare.h"
#include "paramsets/parameterfile.h"
#include "registermap/registermap.h"
#include "registermap/registerrange.h"
#include "registermap/registervalue.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QString filePath;
QString copyPath;
RegisterMap map;
// The row without format keys, whose range reads its register as signed.
constexpr quint16 plainRow = 0x0020;

const QByteArray typedMap(
    "slaveAddress:1,txTime:5,rxOutTime:300\n"
    "indexes:0x0010,permission:RW,defaultValue:0x0BB8,rangeValue:0~65535,name:Current,remarks:,type:u16\n"
    "indexes:0x0011,permission:RW,defaultValue:0xFFF6,rangeValue:-100~100,name:Offset,remarks:,type:s16\n"
    "indexes:0x0012,permission:RW,defaultValue:0x0,rangeValue:0~1000000,name:Count,remarks:,type:u32\n"
    "indexes:0x0014,permission:RW,defaultValue:0x0,rangeValue:-100000~100000,name:Position,remarks:,type:s32\n"
    "indexes:0x0016,permission:RW,defaultValue:0x0,rangeValue:-5~5,name:Target,remarks:,type:s32,wordOrder:lh\n"
    "indexes:0x0018,permission:RW,defaultValue:0x01E0,rangeValue:0~60.0,name:Bus,remarks:,scale:0.1,unit:V\n"
    "indexes:0x0019,permission:RW,defaultValue:0x0,rangeValue:0~2,name:Alarm,remarks:,enum:0=a;1=b;2=c\n"
    "indexes:0x001A,permission:RW,defaultValue:0x0,rangeValue:0~65535,name:Control,remarks:,bits:0=x;1=y\n"
    "indexes:0x0020,permission:RW,defaultValue:0x0,rangeValue:-10~10,name:Plain,remarks:\n");

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

// A file whose rows are all plain u16 keeps the old columns, so "u16" may
// come back as no type, which a restore reads as u16.
QString typeOf(const ParameterEntry &entry)
{
    return entry.type.isEmpty() ? QStringLiteral("u16") : entry.type;
}

bool sameEntry(const ParameterEntry &a, const ParameterEntry &b)
{
    return a.address == b.address && a.value == b.value && typeOf(a) == typeOf(b) && a.name == b.name
           && a.permission == b.permission && a.range == b.range;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static QTemporaryDir folder;
    filePath = folder.filePath(QStringLiteral("parameters.csv"));
    copyPath = folder.filePath(QStringLiteral("copy.csv"));
    const QString mapPath = folder.filePath(QStringLiteral("RegisterInfo"));
    writeBytes(mapPath, typedMap);
    FUZZ_CHECK(loadRegisterMap(mapPath, &map) && map.problems.isEmpty());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    writeBytes(filePath, fuzzBytes(data, size));
    ParameterFile file;
    FUZZ_CHECK(readParameterFile(filePath, &file));
    for (const ParameterEntry &entry : qAsConst(file.entries))
        FUZZ_CHECK(entry.line >= 1);

    // What was read is written and read back alike.
    QString error;
    FUZZ_CHECK(writeParameterFile(copyPath, {QStringLiteral("copy")}, file.entries, &error));
    ParameterFile copy;
    FUZZ_CHECK(readParameterFile(copyPath, &copy));
    // A file with no entries is refused, its copy too.
    FUZZ_CHECK(copy.problems.isEmpty() || file.entries.isEmpty());
    FUZZ_CHECK(copy.entries.size() == file.entries.size());
    for (int i = 0; i < copy.entries.size(); ++i)
        FUZZ_CHECK(sameEntry(copy.entries.at(i), file.entries.at(i)));

    // A file the restore accepts, against a driver that holds other values
    // everywhere and with no value outside the map's range to be written,
    // writes only values of each row's type and range, and only to rows of
    // the map.
    if (!restoreProblems(file.entries, map.registers).isEmpty())
        return 0;
    RowValues driver;
    for (const ParameterEntry &entry : qAsConst(file.entries))
        driver.insert(entry.address, entry.value + 1);
    const QList<CompareRow> rows = compareParameters(file.entries, map.registers, driver);
    if (!outOfRangeLabels(rows).isEmpty())
        return 0;
    for (const CompareRow &row : rows) {
        FUZZ_CHECK(row.inMap);
        if (row.state != CompareState::Differs)
            continue;
        const RegisterValue value(row.info.format);
        FUZZ_CHECK(value.fitsType(row.entry.value));
        if (row.entry.address == plainRow)
            FUZZ_CHECK(isWithinRange(row.info, quint16(row.entry.value)));
        else
            FUZZ_CHECK(value.inRange(row.entry.value));
    }
    return 0;
}

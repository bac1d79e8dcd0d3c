#include "soakmap.h"

#include <QString>

namespace {

struct Range
{
    int min;
    int max;
};

const Range settingRanges[] = {{0, 1}, {1, 256}, {10, 100}, {100, 6000}, {0, 65535}, {1, 247}};

QString registerLine(int address, const char *permission, int value, Range range, const QString &name)
{
    return QStringLiteral("indexes:0x%1,permission:%2,defaultValue:0x%3,rangeValue:%4~%5,name:%6,remarks:\n")
        .arg(address, 4, 16, QLatin1Char('0'))
        .arg(QLatin1String(permission))
        .arg(value, 4, 16, QLatin1Char('0'))
        .arg(range.min)
        .arg(range.max)
        .arg(name);
}

} // namespace

QByteArray soakRegisterMap()
{
    QString map = QStringLiteral("slaveAddress:1,txTime:20,rxOutTime:300\n");
    for (int i = 0; i < 8; ++i)
        map += registerLine(i, "R", 7 * i, {0, 65535}, QStringLiteral("Status %1").arg(i));
    for (int i = 0; i < 24; ++i) {
        const Range range = settingRanges[i % std::size(settingRanges)];
        map += registerLine(0x0100 + i, "RW", range.min, range, QStringLiteral("Setting %1").arg(i));
    }
    return map.toUtf8();
}

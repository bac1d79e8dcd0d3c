#include "protocol/slavelist.h"

#include <QStringList>

namespace {

bool parseSlave(const QString &text, int *address)
{
    bool ok = false;
    *address = text.trimmed().toInt(&ok, 10);
    return ok && *address >= 1 && *address <= 247;
}

} // namespace

QString parseSlaveList(const QString &text, QList<int> *addresses)
{
    QList<int> parsed;
    for (const QString &piece : text.split(QLatin1Char(','))) {
        const QStringList bounds = piece.split(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        if (bounds.size() > 2 || !parseSlave(bounds.first(), &first) || !parseSlave(bounds.last(), &last)
            || first > last)
            return QStringLiteral("'%1' is no address 1..247 or range like 1-6").arg(piece.trimmed());
        for (int address = first; address <= last; ++address) {
            if (!parsed.contains(address))
                parsed.append(address);
        }
    }
    *addresses = parsed;
    return QString();
}

QString slaveListText(const QList<int> &addresses)
{
    QStringList parts;
    for (int i = 0; i < addresses.size();) {
        int j = i;
        while (j + 1 < addresses.size() && addresses.at(j + 1) == addresses.at(j) + 1)
            ++j;
        parts << (j > i + 1 ? QStringLiteral("%1-%2").arg(addresses.at(i)).arg(addresses.at(j))
                            : QString::number(addresses.at(i)));
        if (j == i + 1)
            parts << QString::number(addresses.at(j));
        i = j + 1;
    }
    return parts.join(QLatin1Char(','));
}

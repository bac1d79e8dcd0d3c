#include "scanrequest.h"

#include <QStringList>

namespace {

// A whole decimal number within [low, high].
bool parseNumber(const QString &text, int low, int high, int &number)
{
    bool ok = false;
    number = text.trimmed().toInt(&ok, 10);
    return ok && number >= low && number <= high;
}

} // namespace

QString parseBauds(const QString &text, ScanRequest &request)
{
    QList<qint64> bauds;
    for (const QString &part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const qint64 baud = part.trimmed().toLongLong(&ok, 10);
        if (!ok || !ScanRequest::offeredBauds().contains(baud))
            return QStringLiteral("baud rate \"%1\" is not one of 1200, 4800, 9600, 19200, 38400, "
                                  "57600, 115200").arg(part.trimmed());
        if (!bauds.contains(baud))
            bauds.append(baud);
    }
    request.bauds = bauds;
    return QString();
}

QString parseAddresses(const QString &text, ScanRequest &request)
{
    const QStringList bounds = text.split(QLatin1Char('-'));
    int first = 0;
    int last = 0;
    const bool valid = bounds.size() <= 2 && parseNumber(bounds.first(), 1, 247, first)
        && parseNumber(bounds.last(), 1, 247, last) && first <= last;
    if (!valid)
        return QStringLiteral("addresses \"%1\" are no range like 1-247 within 1..247").arg(text);
    request.firstAddress = first;
    request.lastAddress = last;
    return QString();
}

QString parseScanTimeout(const QString &text, ScanRequest &request)
{
    int timeout = 0;
    if (!parseNumber(text, 1, 10000, timeout))
        return QStringLiteral("scan timeout \"%1\" is no number of milliseconds 1..10000").arg(text);
    request.timeoutMs = timeout;
    return QString();
}

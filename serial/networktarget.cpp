#include "networktarget.h"

#include <algorithm>

QString NetworkTarget::name() const
{
    // An IPv6 address needs brackets before its port.
    const QString shownHost = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return shownHost + QLatin1Char(':') + QString::number(port);
}

bool NetworkTarget::operator==(const NetworkTarget &other) const
{
    return host == other.host && port == other.port && framing == other.framing
        && connectTimeoutMs == other.connectTimeoutMs;
}

QString parseNetworkAddress(const QString &text, bool portRequired, NetworkTarget &target)
{
    QString host = text.trimmed();
    QString portText;
    if (host.startsWith(QLatin1Char('['))) {
        const int close = host.indexOf(QLatin1Char(']'));
        if (close < 0)
            return QStringLiteral("'%1' lacks the closing ']'").arg(text);
        portText = host.mid(close + 1);
        host = host.mid(1, close - 1);
        if (!portText.isEmpty() && !portText.startsWith(QLatin1Char(':')))
            return QStringLiteral("'%1': expected HOST:PORT").arg(text);
        portText = portText.mid(1);
    } else if (host.count(QLatin1Char(':')) == 1) {
        portText = host.section(QLatin1Char(':'), 1);
        host = host.section(QLatin1Char(':'), 0, 0);
    }
    if (host.isEmpty() || host.contains(QLatin1Char(' ')))
        return QStringLiteral("'%1' names no host").arg(text);
    if (portText.isEmpty() && (portRequired || text.trimmed().endsWith(QLatin1Char(':'))))
        return QStringLiteral("'%1' names no port (HOST:PORT)").arg(text);
    quint16 port = target.port;
    if (!portText.isEmpty()) {
        // toUInt would take a sign or blanks too.
        const bool digitsOnly = std::all_of(portText.cbegin(), portText.cend(),
                                            [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
        bool ok = false;
        const uint value = portText.toUInt(&ok, 10);
        if (!digitsOnly || !ok || value < 1 || value > 65535)
            return QStringLiteral("'%1' is not a TCP port 1..65535").arg(portText);
        port = quint16(value);
    }
    target.host = host;
    target.port = port;
    return QString();
}

QString framingName(NetworkTarget::Framing framing)
{
    return framing == NetworkTarget::Framing::ModbusTcp ? QStringLiteral("tcp") : QStringLiteral("rtu-over-tcp");
}

bool parseFramingName(const QString &text, NetworkTarget::Framing &framing)
{
    if (text == QLatin1String("tcp"))
        framing = NetworkTarget::Framing::ModbusTcp;
    else if (text == QLatin1String("rtu-over-tcp"))
        framing = NetworkTarget::Framing::RtuOverTcp;
    else
        return false;
    return true;
}

QString addressWord(bool modbusTcp)
{
    return modbusTcp ? QStringLiteral("unit id") : QStringLiteral("address");
}

#include "lineoptions.h"

#include <QFileInfo>

QString parseParity(const QString &text, QSerialPort::Parity &parity)
{
    const QString name = text.trimmed().toLower();
    if (name == QLatin1String("none"))
        parity = QSerialPort::NoParity;
    else if (name == QLatin1String("even"))
        parity = QSerialPort::EvenParity;
    else if (name == QLatin1String("odd"))
        parity = QSerialPort::OddParity;
    else
        return QStringLiteral("parity must be none, even or odd, not \"%1\"").arg(text);
    return QString();
}

QString parseStopBits(const QString &text, QSerialPort::StopBits &stopBits)
{
    const QString bits = text.trimmed();
    if (bits == QLatin1String("1"))
        stopBits = QSerialPort::OneStop;
    else if (bits == QLatin1String("2"))
        stopBits = QSerialPort::TwoStop;
    else
        return QStringLiteral("stop bits must be 1 or 2, not \"%1\"").arg(text);
    return QString();
}

QString parityName(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::EvenParity: return QStringLiteral("even");
    case QSerialPort::OddParity: return QStringLiteral("odd");
    default: return QStringLiteral("none");
    }
}

QString portLocation(const QString &portName)
{
    if (portName.isEmpty() || portName.startsWith(QLatin1Char('/')))
        return portName;
    if (portName.startsWith(QLatin1String("./")) || portName.startsWith(QLatin1String("../")))
        return QFileInfo(portName).absoluteFilePath();
    return QLatin1String("/dev/") + portName;
}

#include "paramsets/linesettings.h"

#include "serial/serial.h"

#include <QSerialPort>

namespace {

QChar parityLetter(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::EvenParity: return QLatin1Char('E');
    case QSerialPort::OddParity: return QLatin1Char('O');
    case QSerialPort::SpaceParity: return QLatin1Char('S');
    case QSerialPort::MarkParity: return QLatin1Char('M');
    default: return QLatin1Char('N');
    }
}

QString stopBitsText(QSerialPort::StopBits stopBits)
{
    switch (stopBits) {
    case QSerialPort::TwoStop: return QStringLiteral("2");
    case QSerialPort::OneAndHalfStop: return QStringLiteral("1.5");
    default: return QStringLiteral("1");
    }
}

bool modbusTcp(const Serial &serial)
{
    const NetworkTarget target = serial.networkTarget();
    return target.isSet() && target.framing == NetworkTarget::Framing::ModbusTcp;
}

} // namespace

QString lineSettingsText(const Serial &serial)
{
    const NetworkTarget target = serial.networkTarget();
    if (target.isSet())
        return serial.lineName() + (modbusTcp(serial) ? QStringLiteral(" Modbus TCP") : QStringLiteral(" RTU over TCP"));
    const QSerialPort &port = *serial.serialPort;
    return QStringLiteral("%1 %2 %3%4%5")
        .arg(serial.lineName())
        .arg(port.baudRate())
        .arg(int(port.dataBits()))
        .arg(parityLetter(port.parity()))
        .arg(stopBitsText(port.stopBits()));
}

QString absentDriverText(const Serial &serial, int address)
{
    const QString who = modbusTcp(serial) ? QStringLiteral("unit id") : QStringLiteral("address");
    // Over the network the bus is behind a gateway, with its own serial settings.
    const QString baud = serial.networkTarget().isSet() ? QStringLiteral("the gateway's baud rate and parity")
                                                         : QStringLiteral("the baud rate and parity");
    return QStringLiteral("no driver answered at %1 %2 on %3 (asked twice); check the %1, %4, the A/B wiring, "
                          "or look for it with --scan")
        .arg(who)
        .arg(address)
        .arg(lineSettingsText(serial), baud);
}

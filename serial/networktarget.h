#ifndef NETWORKTARGET_H
#define NETWORKTARGET_H

#include <QString>

// A driver reached over TCP: directly in Modbus TCP, or through a gateway
// that carries the serial line's RTU frames unchanged.
struct NetworkTarget
{
    enum class Framing { ModbusTcp, RtuOverTcp };

    QString host;  // empty: no network line
    quint16 port = 502;
    Framing framing = Framing::ModbusTcp;
    // A host that neither accepts nor refuses within this long is taken as
    // unreachable.
    int connectTimeoutMs = 3000;

    bool isSet() const { return !host.isEmpty(); }
    bool isModbusTcp() const { return isSet() && framing == Framing::ModbusTcp; }
    QString name() const;
    bool operator==(const NetworkTarget &other) const;
};

// What a driver's number is called on the line: "unit id" on Modbus TCP,
// "address" on a serial line and for RTU frames over TCP, where it is the
// slave address itself.
QString addressWord(bool modbusTcp);

// "HOST" or "HOST:PORT" (the port 1..65535; without it `target.port` is
// kept). An error text, empty when the value was taken.
QString parseNetworkAddress(const QString &text, bool portRequired, NetworkTarget &target);
// The framing as the settings file spells it ("tcp", "rtu-over-tcp").
QString framingName(NetworkTarget::Framing framing);
bool parseFramingName(const QString &text, NetworkTarget::Framing &framing);

#endif // NETWORKTARGET_H

#include "wiretime.h"

namespace {

// How long a gateway may take between the segments of one frame.
constexpr double gatewaySegmentGapMs = 50;

} // namespace

WireTime WireTime::of(const QSerialPort &port)
{
    return WireTime{port.baudRate() > 0 ? port.baudRate() : 9600, port.parity(), port.stopBits()};
}

int WireTime::bitsPerCharacter() const
{
    const int parityBits = parity == QSerialPort::NoParity ? 0 : 1;
    const int stop = stopBits == QSerialPort::TwoStop ? 2 : 1;
    return 1 + 8 + parityBits + stop;
}

double WireTime::characterMs() const
{
    if (overNetwork)
        return 0;
    return 1000.0 * bitsPerCharacter() / double(baud > 0 ? baud : 9600);
}

double WireTime::frameMs(int bytes) const
{
    return bytes * characterMs();
}

// RTU frames over TCP tie no reply to its request: a reply sent twice (a
// second device at the address) a little after the first would be taken
// for the next request's, unless the next request waits long enough for it
// to arrive as a stray.
double WireTime::interFrameGapMs() const
{
    if (overNetwork)
        return rtuFramesOverNetwork ? gatewaySegmentGapMs : 0;
    return baud > 19200 ? 1.75 : 3.5 * characterMs();
}

double WireTime::frameEndMs() const
{
    // USB serial adapters hand bytes on in bursts a few milliseconds apart.
    constexpr double adapterLatencyMs = 12;
    if (overNetwork)
        return gatewaySegmentGapMs;
    return qMax(adapterLatencyMs, 4.5 * characterMs());
}

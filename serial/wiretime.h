#ifndef WIRETIME_H
#define WIRETIME_H

#include <QSerialPort>

// How long bytes take on a serial line: a start bit, eight data bits, the
// parity bit if any and the stop bits, at the line's baud rate.
struct WireTime
{
    qint64 baud = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    // A TCP connection: bytes take no time of their own and frames need no
    // gap; a gateway keeps its serial line's times itself.
    bool overNetwork = false;
    // Over a network, RTU frames (a gateway's) carry no transaction id.
    bool rtuFramesOverNetwork = false;

    static WireTime of(const QSerialPort &port);
    static WireTime network(bool rtuFrames)
    {
        return WireTime{0, QSerialPort::NoParity, QSerialPort::OneStop, true, rtuFrames};
    }

    int bitsPerCharacter() const;
    double characterMs() const;
    double frameMs(int bytes) const;
    // The silence that separates two Modbus RTU frames: 3.5 character times,
    // and a fixed 1.75 ms above 19200 baud. Over a network, none between
    // numbered frames; between a gateway's RTU frames, a segment gap.
    double interFrameGapMs() const;
    // How long after a byte's arrival the line must stay quiet to end a
    // frame: 3.5 characters of silence and the next byte's own time, but no
    // less than a USB adapter may hold bytes back before handing them on;
    // on a network, as long as a gateway may take between the segments of one frame.
    double frameEndMs() const;
};

#endif // WIRETIME_H

#ifndef STARTOPTIONS_H
#define STARTOPTIONS_H

#include <QSerialPort>
#include <QString>

#include <optional>

#include "serial/networktarget.h"

// What the command line asks of the window at start; what is left unset
// keeps the remembered settings and the map's values.
struct StartOptions
{
    QString port;
    NetworkTarget network;           // unset: the port, or the remembered line
    qint64 baud = 0;                 // 0: unset
    std::optional<QSerialPort::Parity> parity;
    std::optional<QSerialPort::StopBits> stopBits;
    int address = -1;                // -1: the map's slaveAddress
    QString mapFile;                 // empty: the RegisterInfo of the working folder
    bool open = false;               // open the port once the window shows
};

#endif // STARTOPTIONS_H

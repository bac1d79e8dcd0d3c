#ifndef LINEOPTIONS_H
#define LINEOPTIONS_H

#include <QSerialPort>
#include <QString>

// Parity and stop bits as the command line and the settings file spell them
// ("none", "even", "odd"; "1", "2"). Each parse function returns an error
// text, empty when the value was taken.
QString parseParity(const QString &text, QSerialPort::Parity &parity);
QString parseStopBits(const QString &text, QSerialPort::StopBits &stopBits);
QString parityName(QSerialPort::Parity parity);

// The full path of a port, as QSerialPort resolves the name it is given:
// "ttyUSB0" and "pts/3" live in /dev, a relative path is made absolute.
// Files and notices name a port this way whoever opened it.
QString portLocation(const QString &portName);

#endif // LINEOPTIONS_H

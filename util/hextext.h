#ifndef HEXTEXT_H
#define HEXTEXT_H

#include <QByteArray>
#include <QString>

// "01 03 FF " style text: two upper-case digits and one blank per byte.
QString byteArrayToHexString(const QByteArray &data);

// Typed hexadecimal ("01 03", "0103", "0x01 0x03") to bytes; an empty
// array when the digit count does not fit the form.
QByteArray hexStringToByteArray(const QString &text);

// Register value text in one base to the other; text that does not
// convert counts as 0. Hexadecimal is written as the window shows values:
// "0x0BB8", with eight digits once the number needs more than four.
QString decStringToHexString(QString text);
QString hexStringToDecString(QString text);

#endif // HEXTEXT_H

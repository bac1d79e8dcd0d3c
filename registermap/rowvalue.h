#ifndef ROWVALUE_H
#define ROWVALUE_H

#include <QVector>

#include "registermap/registerinfo.h"

// A map row's value through its format: what the window shows, plots and
// confirms. Widget-free, so the table, the editor and the monitor agree.

// The raw value of the row's word(s) in its type.
qint64 rowRaw(const RegisterInfo &info);
// Sets the row's word(s) and its shown text ("48.0 V", "过流 (1)").
void setRowWords(RegisterInfo &info, quint16 atAddress, quint16 atNext = 0);
void setRowRaw(RegisterInfo &info, qint64 raw);
// True for a row without type, scale, unit, states or bits: it shows and
// takes plain register numbers, as maps did before these keys.
bool isPlainRow(const RegisterInfo &info);
// The words a function-6 or function-16 request frame writes, in address
// order; empty for any other frame.
QVector<quint16> writtenWords(const QByteArray &frame);
// Applies words written from `firstAddress` on to the row's word(s); false
// when none of them is the row's.
bool takeWrittenWords(RegisterInfo &info, quint16 firstAddress, const QVector<quint16> &words);

#endif // ROWVALUE_H

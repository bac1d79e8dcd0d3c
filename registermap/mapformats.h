#ifndef MAPFORMATS_H
#define MAPFORMATS_H

#include <QString>
#include <QStringList>
#include <QVector>

struct RegisterInfo;
struct RegisterMap;

// The map loader's share of the value-format keys: line 1's wordOrder and
// writeFunction, the map's word order on rows without their own, 32-bit
// defaults and 32-bit rows that overlap another row.

// A key's value, never null: a key given without a value is still given.
QString givenValue(const QStringRef &value);

// A 32-bit row's defaultValue is one hexadecimal number of up to 32 bits,
// spread over its two words; anything else gives 0, as for a 16-bit row.
void setWideDefault(RegisterInfo &info);

// wordOrder and writeFunction of line 1 (null when absent), with a fault in
// `faults` for each that is faulty; false when the word order is.
bool readFormatSettings(const QString &wordOrder, const QString &writeFunction, RegisterMap *map,
                        QStringList *faults);

// Rows without their own word order take the map's.
void useMapWordOrder(RegisterInfo &info, const RegisterMap &map, bool mapOrderValid, QStringList *faults);

// Each 32-bit row (its index in wideRows) whose next address is a row of its
// own is reported once, and neither it nor that row is read or written; so
// is a 32-bit row that has no next address.
void checkWideRows(RegisterMap *map, const QVector<int> &lineNumbers, const QVector<int> &wideRows);

#endif // MAPFORMATS_H

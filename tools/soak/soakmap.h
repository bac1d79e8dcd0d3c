#ifndef SOAKMAP_H
#define SOAKMAP_H

#include <QByteArray>

// A register map shaped like a real driver's, but larger and faster paced
// (20 ms between requests) so that a soak goes through many cycles: eight
// read-only status words and 24 writable settings with assorted ranges.
QByteArray soakRegisterMap();

#endif // SOAKMAP_H

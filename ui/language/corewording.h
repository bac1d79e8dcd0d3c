#ifndef COREWORDING_H
#define COREWORDING_H

#include <QString>

// The register map's reader and the line's reply handling word what they
// find in English, as the command line prints it. The window shows it in
// its own language: a text is read back into its wording and the values in
// it, and worded again through the translation. A text with no known
// wording stays as it was, so that nothing of it is lost.
QString wordMapProblem(const QString &problem);

// Why a request to the driver came to nothing ("no answer", "Modbus
// exception 02: illegal data address"), worded likewise.
QString wordRequestReason(const QString &reason);

#endif // COREWORDING_H

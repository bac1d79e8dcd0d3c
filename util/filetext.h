#ifndef FILETEXT_H
#define FILETEXT_H

#include <QString>

// Text written by hand or by a spreadsheet: UTF-8 when it is valid UTF-8,
// otherwise GB18030, which contains the GBK that drive makers' maps and
// Excel on a Chinese Windows save.
QString utf8OrGb18030(const char *bytes, int size);

#endif // FILETEXT_H

#ifndef CSVTEXT_H
#define CSVTEXT_H

#include <QString>

// One field of a CSV line as RFC 4180 writes it: quoted, its quotes
// doubled, when it holds a separator, a quote or a line break.
QString csvField(const QString &text);

#endif // CSVTEXT_H

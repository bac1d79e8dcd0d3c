#ifndef MESSAGEWORDS_H
#define MESSAGEWORDS_H

// Words of messages: why a file cannot be read, and counts in English.

#include <QString>

// Why `path` cannot be read, in the system's words ("No such file or
// directory", "Permission denied", "Is a directory"); empty when it can.
QString unreadableReason(const QString &path);

// "1 register", "3 registers": a count with its noun, for messages in
// English; `plural` only where adding "s" is wrong.
QString countOf(qint64 count, const QString &singular, const QString &plural = QString());

#endif // MESSAGEWORDS_H

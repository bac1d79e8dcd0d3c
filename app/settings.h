#ifndef SETTINGS_H
#define SETTINGS_H

#include <QString>

// The folder last used for a kind of file ("export", "parameters", "map"),
// remembered across runs in the application's settings; the home folder
// until one was used.
QString lastFolder(const QString &purpose);
// Remembers the folder of `path` (a file or a folder) for `purpose`.
void rememberFolder(const QString &purpose, const QString &path);

#endif // SETTINGS_H

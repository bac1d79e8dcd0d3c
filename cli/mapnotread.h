#ifndef MAPNOTREAD_H
#define MAPNOTREAD_H

#include <QString>

// "cannot read the register map RegisterInfo: No such file or directory;
// give one with --map FILE, e.g. the sample map /usr/share/steppertool/
// RegisterInfo": without a word of --map, a run started outside the map's
// folder leaves the user guessing.
QString mapNotReadText(const QString &path);

#endif // MAPNOTREAD_H

#ifndef MAPPROBLEMWORDING_H
#define MAPPROBLEMWORDING_H

#include <QString>

// The register map's reader words its problems in English, as the command
// line prints them. The window shows them in its own language: a problem
// is read back into its wording and the values in it, and worded again
// through the translation. A problem with no known wording stays as it was,
// so that nothing of it is lost.
QString wordMapProblem(const QString &problem);

#endif // MAPPROBLEMWORDING_H

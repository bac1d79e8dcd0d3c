#ifndef STYLES_H
#define STYLES_H

#include <QString>

// Text styles shared by every window, so a value shown in black in one place
// turns the same red everywhere when it falls out of range.
inline const QString normalStyle = QStringLiteral("font-size: 18px; color: rgb(0,0,0);");
inline const QString warningStyle = QStringLiteral("font-size: 18px; color: rgb(255, 0, 0);");

#endif // STYLES_H

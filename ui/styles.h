#ifndef STYLES_H
#define STYLES_H

#include <QString>

// Text styles shared by every window, so a value shown in black in one place
// turns the same red everywhere when it falls out of range.
inline const QString normalStyle = QStringLiteral("font-size: 18px; color: rgb(0,0,0);");
inline const QString warningStyle = QStringLiteral("font-size: 18px; color: rgb(255, 0, 0);");
// The alarm banner in the same red: filled while a live value shows the
// alarm, outlined once the values are no longer live.
inline const QString alarmBannerStyle = QStringLiteral(
    "QFrame#AlarmBanner { background-color: rgb(255, 0, 0); }"
    "QFrame#AlarmBanner QLabel { font-size: 16px; font-weight: bold; color: rgb(255, 255, 255); }");
inline const QString staleAlarmBannerStyle = QStringLiteral(
    "QFrame#AlarmBanner { background-color: rgb(255, 232, 232); border: 2px solid rgb(255, 0, 0); }"
    "QFrame#AlarmBanner QLabel { font-size: 16px; font-weight: bold; color: rgb(255, 0, 0); }");

#endif // STYLES_H

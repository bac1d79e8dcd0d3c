#ifndef TRANSLATION_H
#define TRANSLATION_H

#include <QString>

QT_BEGIN_NAMESPACE
class QCoreApplication;
class QLocale;
QT_END_NAMESPACE

// The program's texts are written in Chinese; English is the one translation.
// requested is "" (follow the system language), "zh" or "en".
bool wantsEnglish(const QLocale &system, const QString &requested);

// Installs the English translation into app when wantsEnglish() says so for
// the system locale, and Qt's own Chinese texts otherwise; returns whether
// it installed English.
bool installTranslation(QCoreApplication &app, const QString &requested);

// Whether the English translation is the one installed.
bool showsEnglish(const QCoreApplication &app);

// Replaces the translations installed in app by those for `language` ("zh"
// or "en") while the program runs; returns whether it installed English.
bool switchLanguage(QCoreApplication &app, const QString &language);

// The window's language the user last chose ("zh", "en"), in the settings;
// empty when none was chosen, so that the system's language decides.
QString rememberedLanguage();
void rememberLanguage(const QString &language);

// The window's language at start: --lang's `requested` when given, else the
// one remembered, else empty for the system's.
QString startLanguage(const QString &requested);

#endif // TRANSLATION_H

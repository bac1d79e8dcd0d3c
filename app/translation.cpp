#include "translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

bool wantsEnglish(const QLocale &system, const QString &requested)
{
    if (requested == QLatin1String("en"))
        return true;
    if (requested == QLatin1String("zh"))
        return false;
    // The C/POSIX locale is what a bare system or a service reports; the
    // workshop's machines without a language set have always shown Chinese.
    if (system.language() == QLocale::C)
        return false;
    // LANGUAGE, when set, comes first in uiLanguages.
    const QStringList languages = system.uiLanguages();
    const QString first = languages.isEmpty() ? system.name() : languages.first();
    return !first.startsWith(QLatin1String("zh")) && first != QLatin1String("C")
        && first != QLatin1String("POSIX");
}

namespace {

const char englishName[] = "steppertool_en";

QString languageKey()
{
    return QStringLiteral("window/language");
}

// Qt's own texts (standard buttons, file dialogs) are English unless the
// system's Qt translation is loaded beside the program's Chinese.
void installQtChinese(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
    else
        delete translator;
}

} // namespace

bool installTranslation(QCoreApplication &app, const QString &requested)
{
    if (!wantsEnglish(QLocale::system(), requested)) {
        installQtChinese(app);
        return false;
    }
    auto *translator = new QTranslator(&app);
    translator->setObjectName(QLatin1String(englishName));
    if (!translator->load(QStringLiteral(":/translations/steppertool_en.qm"))) {
        delete translator;
        return false;
    }
    return app.installTranslator(translator);
}

bool showsEnglish(const QCoreApplication &app)
{
    return app.findChild<QTranslator *>(QLatin1String(englishName), Qt::FindDirectChildrenOnly) != nullptr;
}

// A translator removes itself from the application when deleted; each
// change tells every window, which then re-translates.
bool switchLanguage(QCoreApplication &app, const QString &language)
{
    qDeleteAll(app.findChildren<QTranslator *>(QString(), Qt::FindDirectChildrenOnly));
    return installTranslation(app, language);
}

QString rememberedLanguage()
{
    const QString language = QSettings().value(languageKey()).toString();
    return language == QLatin1String("en") || language == QLatin1String("zh") ? language : QString();
}

void rememberLanguage(const QString &language)
{
    QSettings().setValue(languageKey(), language);
}

QString startLanguage(const QString &requested)
{
    return requested.isEmpty() ? rememberedLanguage() : requested;
}

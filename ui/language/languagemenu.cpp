#include "ui/language/languagemenu.h"

#include "app/translation.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QEvent>

LanguageMenu::LanguageMenu(QWidget *parent)
    : QMenu(parent)
{
    setObjectName(QStringLiteral("languageMenu"));
    auto *group = new QActionGroup(this);
    // Each language is named in itself, whichever is shown.
    chinese = group->addAction(addLanguage(QStringLiteral("中文"), QStringLiteral("zh")));
    english = group->addAction(addLanguage(QStringLiteral("English"), QStringLiteral("en")));
    retranslate();
}

QAction *LanguageMenu::addLanguage(const QString &name, const QString &language)
{
    QAction *action = addAction(name);
    action->setObjectName(QStringLiteral("language_") + language);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, language] { choose(language); });
    return action;
}

void LanguageMenu::choose(const QString &language)
{
    rememberLanguage(language);
    if ((language == QLatin1String("en")) != showsEnglish(*QCoreApplication::instance()))
        switchLanguage(*QCoreApplication::instance(), language);
}

void LanguageMenu::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QMenu::changeEvent(event);
}

// The tick follows the translation installed, also when a start option or
// the system chose it.
void LanguageMenu::retranslate()
{
    setTitle(tr("语言(&L)"));
    const bool inEnglish = showsEnglish(*QCoreApplication::instance());
    english->setChecked(inEnglish);
    chinese->setChecked(!inEnglish);
}

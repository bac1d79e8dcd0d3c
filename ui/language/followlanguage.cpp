#include "ui/language/followlanguage.h"

#include <QEvent>
#include <QObject>

namespace {

class LanguageListener : public QObject
{
public:
    LanguageListener(QObject *watched, std::function<void()> setTexts)
        : QObject(watched)
        , setTexts(std::move(setTexts))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::LanguageChange)
            QMetaObject::invokeMethod(this, setTexts, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> setTexts;
};

} // namespace

void followLanguage(QObject *watched, std::function<void()> setTexts)
{
    new LanguageListener(watched, std::move(setTexts));
}

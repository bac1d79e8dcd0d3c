#include "ui/log/logpaneaction.h"

#include "ui/language/followlanguage.h"

#include <QAction>
#include <QCoreApplication>
#include <QLayout>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace {

// The widgets shown in `layout` and the layouts inside it; one hidden on
// purpose before the tick was made stays hidden when the column returns.
QList<QPointer<QWidget>> shownWidgets(QLayout *layout)
{
    QList<QPointer<QWidget>> widgets;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (QWidget *widget = item->widget(); widget && !widget->isHidden())
            widgets.append(widget);
        else if (QLayout *inner = item->layout())
            widgets += shownWidgets(inner);
    }
    return widgets;
}

} // namespace

QAction *logPaneAction(QLayout *column, QObject *parent)
{
    auto *action = new QAction(QCoreApplication::translate("LogPaneAction", "通讯日志"), parent);
    action->setObjectName(QStringLiteral("logPaneAction"));
    action->setCheckable(true);
    action->setChecked(true);
    const QList<QPointer<QWidget>> widgets = shownWidgets(column);
    QObject::connect(action, &QAction::toggled, action, [widgets](bool shown) {
        for (const QPointer<QWidget> &widget : widgets) {
            if (widget)
                widget->setVisible(shown);
        }
    });
    if (auto *widget = qobject_cast<QWidget *>(parent))
        followLanguage(widget, [action] { action->setText(QCoreApplication::translate("LogPaneAction", "通讯日志")); });
    return action;
}

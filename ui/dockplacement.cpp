#include "ui/dockplacement.h"

#include <QDockWidget>
#include <QAction>
#include <QMainWindow>
#include <QMenu>

namespace {

constexpr int dockHeight = 160;

// `dock` has just been shown.
void placeUnderTable(QMainWindow *window, QDockWidget *dock)
{
    if (dock->isFloating() || window->dockWidgetArea(dock) != Qt::BottomDockWidgetArea
        || !window->tabifiedDockWidgets(dock).isEmpty())
        return;
    for (QDockWidget *other : window->findChildren<QDockWidget *>()) {
        if (other != dock && !other->isHidden() && !other->isFloating()
            && window->dockWidgetArea(other) == Qt::BottomDockWidgetArea) {
            window->tabifyDockWidget(other, dock);
            dock->raise();
            return;
        }
    }
    window->resizeDocks({dock}, {dockHeight}, Qt::Vertical);
}

} // namespace

// Before the window shows, nothing is visible yet: hidden is what counts.
void showUnderTable(QMainWindow *window, QDockWidget *dock)
{
    if (!dock->isHidden())
        return;
    dock->show();
    placeUnderTable(window, dock);
}

void offerInMenu(QMainWindow *window, QDockWidget *dock, QMenu *menu)
{
    menu->addAction(dock->toggleViewAction());
    QObject::connect(dock->toggleViewAction(), &QAction::triggered, dock, [window, dock](bool shown) {
        if (shown)
            placeUnderTable(window, dock);
    });
}

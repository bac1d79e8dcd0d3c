#include "ui/dockplacement.h"

#include <QDockWidget>
#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QTabBar>

namespace {

constexpr int dockHeight = 160;

// A tab bar under the docks takes its height from the dock's own room.
int tabBarHeight(const QDockWidget *dock)
{
    QTabBar probe;
    probe.setFont(dock->font());
    probe.addTab(dock->windowTitle());
    return probe.sizeHint().height();
}

// `dock` has just been shown.
void placeUnderTable(QMainWindow *window, QDockWidget *dock)
{
    if (dock->isFloating() || window->dockWidgetArea(dock) != Qt::BottomDockWidgetArea)
        return;
    QList<QDockWidget *> tabs = window->tabifiedDockWidgets(dock);
    if (tabs.isEmpty()) {
        for (QDockWidget *other : window->findChildren<QDockWidget *>()) {
            if (other != dock && !other->isHidden() && !other->isFloating()
                && window->dockWidgetArea(other) == Qt::BottomDockWidgetArea) {
                window->tabifyDockWidget(other, dock);
                tabs << other;
                break;
            }
        }
    }
    if (tabs.isEmpty()) {
        window->resizeDocks({dock}, {dockHeight}, Qt::Vertical);
        return;
    }
    // As a tab it keeps the room it has alone, or the more the user gave.
    dock->raise();
    int height = dockHeight + tabBarHeight(dock);
    for (const QDockWidget *other : qAsConst(tabs))
        height = qMax(height, other->height());
    window->resizeDocks({dock}, {height}, Qt::Vertical);
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

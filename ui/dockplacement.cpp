#include "ui/dockplacement.h"

#include <QDockWidget>
#include <QMainWindow>

namespace {

constexpr int dockHeight = 170;

} // namespace

void showUnderTable(QMainWindow *window, QDockWidget *dock)
{
    // Before the window shows, nothing is visible yet: hidden is what counts.
    if (!dock->isHidden())
        return;
    if (dock->isFloating() || window->dockWidgetArea(dock) != Qt::BottomDockWidgetArea) {
        dock->show();
        return;
    }
    for (QDockWidget *other : window->findChildren<QDockWidget *>()) {
        if (other != dock && !other->isHidden() && !other->isFloating()
            && window->dockWidgetArea(other) == Qt::BottomDockWidgetArea) {
            window->tabifyDockWidget(other, dock);
            dock->show();
            dock->raise();
            return;
        }
    }
    dock->show();
    window->resizeDocks({dock}, {dockHeight}, Qt::Vertical);
}

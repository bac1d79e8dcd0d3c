#ifndef DOCKPLACEMENT_H
#define DOCKPLACEMENT_H

class QDockWidget;
class QMainWindow;
class QMenu;

// Shows `dock` under the register table without taking the table's rows
// (at 1366x768 the table keeps eight): beside another dock shown there it
// becomes a tab of it, with room for the tab bar; alone it takes a few rows'
// height. A dock the user has moved elsewhere, or floated, is only shown.
void showUnderTable(QMainWindow *window, QDockWidget *dock);
// The dock's show/hide entry goes into `menu`; shown from there, it is
// placed as showUnderTable places it.
void offerInMenu(QMainWindow *window, QDockWidget *dock, QMenu *menu);

#endif // DOCKPLACEMENT_H

#ifndef WINDOWMENUS_H
#define WINDOWMENUS_H

#include <QObject>

class QMainWindow;
class QMenu;

// The menu bar (View, Language, Help) and the window's title, which carries
// the program's one version number.
class WindowMenus : public QObject
{
    Q_OBJECT

public:
    explicit WindowMenus(QMainWindow *window);

    // The parts add their show/hide entries here.
    QMenu *viewMenu() const { return view; }
    // "开闭环步进驱动器-上位机调试软件 v1.1.0" in the window's language.
    static QString title();

private:
    QMenu *view;
};

#endif // WINDOWMENUS_H

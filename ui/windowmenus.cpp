#include "ui/windowmenus.h"

#include "ui/aboutbox.h"
#include "ui/language/followlanguage.h"
#include "ui/language/languagemenu.h"

#include <QMainWindow>
#include <QMenuBar>

WindowMenus::WindowMenus(QMainWindow *window)
    : QObject(window)
{
    QMenuBar *bar = window->menuBar();
    view = bar->addMenu(tr("视图(&V)"));
    bar->addMenu(new LanguageMenu(bar));
    QMenu *help = bar->addMenu(tr("帮助(&H)"));
    QAction *about = help->addAction(tr("关于(&A)…"), window, [window] { showAboutBox(window); });
    followLanguage(bar, [this, help, about] {
        view->setTitle(tr("视图(&V)"));
        help->setTitle(tr("帮助(&H)"));
        about->setText(tr("关于(&A)…"));
    });
}

QString WindowMenus::title()
{
    return tr("开闭环步进驱动器-上位机调试软件 v%1").arg(QStringLiteral(STEPPERTOOL_VERSION));
}

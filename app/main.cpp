#include "mainwindow.h"
#include "translation.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    installTranslation(app, QString());
    MainWindow window;
    window.show();
    return app.exec();
}

// The tool as app/main.cpp starts it, stopped at its first frame. It reads
// RegisterInfo from the working directory its launcher gives it.
#include "ui/mainwindow.h"
#include "firstpaint.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MainWindow window;
    new FirstPaint(&window);
    window.show();
    return app.exec();
}

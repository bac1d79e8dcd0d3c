// The yardstick for the tool's start-up: the least a Qt Widgets program
// with a main window and a table does before its first frame.
#include "firstpaint.h"

#include <QApplication>
#include <QMainWindow>
#include <QTableWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QTableWidget(&window));
    new FirstPaint(&window);
    window.show();
    return app.exec();
}

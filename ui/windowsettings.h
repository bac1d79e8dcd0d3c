#ifndef WINDOWSETTINGS_H
#define WINDOWSETTINGS_H

class QMainWindow;
namespace Ui { class MainWindow; }

// What the window remembers between runs: the port panel's port, baud
// rate, parity and stop bits, the window's geometry and splitters, and the
// two Hex boxes. The device address is not among them: it comes from the
// map. A remembered port that is gone is still put in the field.
class WindowSettings
{
public:
    static void restore(QMainWindow *window, Ui::MainWindow *ui);
    static void save(const QMainWindow *window, const Ui::MainWindow *ui);
};

#endif // WINDOWSETTINGS_H

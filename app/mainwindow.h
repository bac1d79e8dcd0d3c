#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QList>
#include <QMainWindow>
#include <QTimer>

#include "registermap/registerinfo.h"

QT_BEGIN_NAMESPACE
namespace Ui { class MainWindow; }
class QLabel;
QT_END_NAMESPACE

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void showToast(QWidget *parent, QString text, QString fontSize,
                   QString textColor, QString backgroundColor);
    void readRegisterInfo(const QString &fileName);
    RegisterInfo parseRegisterLine(const QString &line);
    void setTableRow(RegisterInfo info, int row);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void initUi();
    void adjustColumnWidths();
    void fillRegisterTable();

    Ui::MainWindow *ui;
    QList<RegisterInfo> registerList;
    QList<quint16> registerAddrs;
    bool isDisplayOn = true;
    QTimer pollTimer;
    quint32 slaveAddress = 1;
    int txTime = 100;
    quint32 rxOutTime = 1000;
    quint32 waitElapsed = 0;
    int currentRow = 0;
    QLabel *portStateLabel = nullptr;
    QLabel *refreshCountLabel = nullptr;

    // Lets the tests look at the state that the window keeps to itself.
    friend struct MainWindowInspector;
};

#endif // MAINWINDOW_H

#ifndef TESTRUNDOCK_H
#define TESTRUNDOCK_H

#include <QDockWidget>

QT_BEGIN_NAMESPACE
namespace Ui { class TestRunDock; }
class QMainWindow;
class QMenu;
class QShortcut;
QT_END_NAMESPACE

class PortSession;
class RegisterStore;
class RequestScheduler;
class TestRun;
struct RegisterInfo;

// The window's Test run dock: jog buttons that run while held, moves to a
// position (absolute, relative, back and forth), and the large Stop, also
// on Esc and the space bar. It stops the motor whenever the technician may
// no longer be watching or in control: a released button, the window losing
// focus, the line closing or lost, another driver or map, another language.
// The first move after the line opens waits for the tick that the machine
// is clear.
class TestRunDock : public QDockWidget
{
    Q_OBJECT

public:
    struct Parts
    {
        QMainWindow *window;
        RequestScheduler *scheduler;
        RegisterStore *store;
        PortSession *session;
        QMenu *viewMenu;
    };

    explicit TestRunDock(const Parts &parts);
    ~TestRunDock() override;

    // Its moveStarted() is the trigger for a capture.
    TestRun *testRun() const { return run; }

signals:
    void notice(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void connectButtons();
    void connectStops();
    void useMap();
    void setLineOpen(bool open);
    void showState();
    bool readyToMove();
    qint64 fieldRaw(const RegisterInfo *row, double shown) const;
    void startMove();
    void refuseCommTimeout(const QString &rowName, const QString &valueText);

    Ui::TestRunDock *ui;
    Parts parts;
    TestRun *run;
    QShortcut *spaceStop;
    bool lineOpen = false;
};

#endif // TESTRUNDOCK_H

#ifndef CAPTUREVIEW_H
#define CAPTUREVIEW_H

#include <QObject>

class CaptureDock;
class CaptureRun;
class QMainWindow;
class QMenu;
class RegisterStore;
class RequestScheduler;

// The window's capture: its run on the window's line and map, and its
// dock, built when the View menu first asks for it and put beside the trend
// dock, as a tab, so the table keeps its height.
class CaptureView : public QObject
{
    Q_OBJECT

public:
    CaptureView(QMainWindow *window, QMenu *viewMenu, RequestScheduler *scheduler, RegisterStore *store);

    // What a test move's start is wired to: run()->triggerNow().
    CaptureRun *run() const { return capture; }
    CaptureDock *dock();

private:
    QMainWindow *window;
    RegisterStore *store;
    CaptureRun *capture;
    CaptureDock *shownDock = nullptr;
};

#endif // CAPTUREVIEW_H

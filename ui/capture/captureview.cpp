#include "ui/capture/captureview.h"
#include "ui/capture/capturedock.h"
#include "ui/language/followlanguage.h"

#include "monitor/capturerun.h"
#include "registermap/registerstore.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>

CaptureView::CaptureView(QMainWindow *window, QMenu *viewMenu, RequestScheduler *scheduler, RegisterStore *store)
    : QObject(window)
    , window(window)
    , store(store)
    , capture(new CaptureRun(scheduler, this))
{
    auto *show = viewMenu->addAction(tr("采集"));
    show->setObjectName(QStringLiteral("captureAction"));
    followLanguage(show, [show] { show->setText(tr("采集")); });
    connect(show, &QAction::triggered, this, [this] {
        dock()->show();
        dock()->raise();
    });
    connect(store, &RegisterStore::rowsReplaced, this, [this] {
        capture->setMap(this->store->rows(), this->store->fileName());
        if (shownDock)
            shownDock->setRows(this->store->rows());
    });
    capture->setMap(store->rows(), store->fileName());
}

// Built on first use: most sessions never capture, and the window shows
// sooner without it.
CaptureDock *CaptureView::dock()
{
    if (shownDock)
        return shownDock;
    shownDock = new CaptureDock(capture, window);
    shownDock->setObjectName(QStringLiteral("captureDock"));
    shownDock->setRows(store->rows());
    auto *trend = window->findChild<QDockWidget *>(QStringLiteral("monitorDock"));
    window->addDockWidget(Qt::BottomDockWidgetArea, shownDock, Qt::Vertical);
    if (trend)
        window->tabifyDockWidget(trend, shownDock);
    else
        window->resizeDocks({shownDock}, {shownDock->minimumSizeHint().height()}, Qt::Vertical);
    return shownDock;
}

#ifndef STATUSCOUNTS_H
#define STATUSCOUNTS_H

#include <QObject>

class QLabel;
class QStatusBar;
class RefreshController;
class RequestScheduler;

// The status bar's counts: the refreshes done and the line's statistics,
// zeroed together from the statistics' menu.
class StatusCounts : public QObject
{
    Q_OBJECT

public:
    StatusCounts(QStatusBar *bar, RefreshController *refresh, RequestScheduler *scheduler);

    QLabel *refreshCountLabel() const { return refreshCount; }

private:
    void showRefreshCount(int count);

    QLabel *refreshCount;
};

#endif // STATUSCOUNTS_H

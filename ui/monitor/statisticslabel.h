#ifndef STATISTICSLABEL_H
#define STATISTICSLABEL_H

#include <QLabel>
#include <QTimer>

class RequestScheduler;
struct LineStatistics;

// The status-bar text of the line's counts: requests, valid replies,
// timeouts, CRC errors and the last round trip. Its context menu zeroes
// them. The text follows the counts at most a few times a second, so a busy
// line does not spend its time relaying out the status bar.
class StatisticsLabel : public QLabel
{
    Q_OBJECT

public:
    explicit StatisticsLabel(RequestScheduler *scheduler, QWidget *parent = nullptr);

    static QString text(const LineStatistics &statistics);

signals:
    // The user zeroed the counts; the window zeroes its own with them.
    void countsReset();

private:
    static QString toolTipText();
    void showMenu(const QPoint &position);
    void showCounts();

    RequestScheduler *scheduler;
    QTimer coalesce;
};

#endif // STATISTICSLABEL_H

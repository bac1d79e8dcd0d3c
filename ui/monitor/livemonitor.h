#ifndef LIVEMONITOR_H
#define LIVEMONITOR_H

#include <QList>
#include <QObject>
#include <QSet>

#include "registermap/registerinfo.h"

class MonitorDock;
class QCheckBox;
class QMainWindow;
class QMenu;

// Which table rows are watched, and the dock that plots and records them:
// the window reports each value that arrives and each refresh that ends,
// and asks which rows a narrowed continuous refresh reads.
class LiveMonitor : public QObject
{
    Q_OBJECT

public:
    // The trend dock's show/hide entry goes into `viewMenu`.
    LiveMonitor(QMainWindow *window, QMenu *viewMenu);
    // The continuous refresh's switch: the dock tells when nothing samples
    // its curves, and its offer to start the refresh turns the switch on.
    void setSamplingSwitch(QCheckBox *continuous);

    // Adds the rows not yet watched, or, when all of them are, removes them.
    void toggleRows(const QList<int> &rows, const QList<RegisterInfo> &registers);
    void clear();
    const QList<int> &watchedRows() const { return rows; }
    bool isWatched(int row) const { return rows.contains(row); }

    // `raw` is the row's value in its type (RegisterValue).
    void valueArrived(int row, qint64 raw);
    // A watched row that got no value in the refresh breaks its curve.
    void refreshFinished();
    // Refreshes stop (no continuous refresh) or the line is gone: every
    // curve breaks, and a recording ends with what it has.
    void refreshesStopped();
    void lineClosed();

signals:
    void recordingFailed(const QString &reason);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watch(const QList<int> &watched, const QList<RegisterInfo> &registers);
    void showSampling();

    QMainWindow *window;
    MonitorDock *dock;
    QCheckBox *samplingSwitch = nullptr;
    QList<int> rows;
    QSet<int> answeredRows;
    // The alarm row, recorded with the plotted rows without a curve of its
    // own; -1 when the map has none or it is plotted.
    int alarmRow = -1;
};

#endif // LIVEMONITOR_H

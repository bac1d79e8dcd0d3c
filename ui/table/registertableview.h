#ifndef REGISTERTABLEVIEW_H
#define REGISTERTABLEVIEW_H

#include <QList>
#include <QObject>

#include "registermap/registerinfo.h"

class LiveMonitor;
class QPoint;
class QTableWidget;
class RegisterStore;

// The register table: one row per register of the map, its lamp, its cell
// texts, the column widths, Enter and F2 on a value, and the menu that
// puts rows on the trend plot. It shows the store's registers and follows
// its changes.
class RegisterTableView : public QObject
{
    Q_OBJECT

public:
    RegisterTableView(QTableWidget *table, const RegisterStore *store, LiveMonitor *monitor);

    void fill();
    void setRow(const RegisterInfo &info, int row);
    // colour is "white", "red", "green" or "stale", the names of the lamp
    // pictures.
    void setLamp(int row, const QString &colour);
    void markValuesStale();
    // The value as the row's valueText shows it (in its type and unit); the
    // lamp turns green only when the shown text changes.
    void showReadValue(int row);
    void showConfirmedValue(int row);
    void adjustColumnWidths();
    // A double click, Enter or F2 on a cell: a writable value opens the
    // editor.
    void activate(int row, int column);

signals:
    void editRequested(int row);
    void refused(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showMenu(const QPoint &position);

    QTableWidget *table;
    const QList<RegisterInfo> &registers;
    LiveMonitor *monitor;
    // The widest text a row with value keys may show, so that named states
    // and bits are not cut off when they arrive.
    int widestTypedValue = 0;
};

#endif // REGISTERTABLEVIEW_H

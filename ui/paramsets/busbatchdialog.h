#ifndef BUSBATCHDIALOG_H
#define BUSBATCHDIALOG_H

#include <QDialog>

#include "paramsets/busparameterrun.h"

QT_BEGIN_NAMESPACE
namespace Ui { class BusBatchDialog; }
QT_END_NAMESPACE

// One backup or restore over several drivers: which driver of how many is
// under way and its rows, then one line per driver saying what became of
// it. Its Cancel stops the run; once the run ends it only closes.
class BusBatchDialog : public QDialog
{
    Q_OBJECT

public:
    explicit BusBatchDialog(QWidget *parent = nullptr);
    ~BusBatchDialog() override;

    void begin(const QString &task);
    void showDriver(int index, int count, int address);
    void showRows(int done, int total, bool writing);
    void addResult(const BusDriverResult &result);
    void showFinished(const QList<BusDriverResult> &results);
    // "地址 2：失败：…", as the list shows it.
    static QString resultText(const BusDriverResult &result);

signals:
    void cancelRequested();

protected:
    void reject() override;

private:
    static QString writeDetails(const BusDriverResult &result);

    bool running = false;
    int driverIndex = 0;
    int driverCount = 1;
    Ui::BusBatchDialog *ui;
};

#endif // BUSBATCHDIALOG_H

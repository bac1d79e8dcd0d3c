#ifndef SCANDIALOG_H
#define SCANDIALOG_H

#include <QDialog>
#include <QList>

#include "scan/scanrequest.h"

class QCheckBox;
class RequestScheduler;
class ScanRun;
struct ScanHit;

namespace Ui { class ScanDialog; }

// The bus scan in the window: what to try, a progress bar, the list of
// what answered, and 使用 to take a hit over into the port panel.
class ScanDialog : public QDialog
{
    Q_OBJECT

public:
    ScanDialog(RequestScheduler *scheduler, QWidget *parent = nullptr);
    ~ScanDialog() override;

    // Fills the fields from a request (the port panel's port and framing).
    void setRequest(const ScanRequest &request);
    ScanRequest request() const;
    ScanRun *run() const { return scan; }

signals:
    void hitChosen(const ScanHit &hit);

protected:
    void changeEvent(QEvent *event) override;
    void reject() override;

private:
    // In the order of the parity choices.
    static QStringList parityTexts();
    void startScan();
    void addHit(const ScanHit &hit);
    void showFinished(bool cancelled);
    void setEditing(bool enabled);
    void useSelectedHit();

    void showLineKind();

    Ui::ScanDialog *ui;
    ScanRun *scan;
    QList<QCheckBox *> baudBoxes;
    NetworkTarget network;
    quint16 registerAddress = 0;
};

#endif // SCANDIALOG_H

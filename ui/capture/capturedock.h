#ifndef CAPTUREDOCK_H
#define CAPTUREDOCK_H

#include <QDockWidget>
#include <QList>
#include <QStringList>

#include "monitor/capture.h"
#include "monitor/capturerun.h"
#include "registermap/registerinfo.h"

QT_BEGIN_NAMESPACE
namespace Ui { class CaptureDock; }
class QMenu;
QT_END_NAMESPACE

// The capture's controls and result: rows, trigger, window, Arm and Stop,
// the frozen plot, the step figures, Save, and earlier captures laid over
// the current one with their figures beside its own. Runs the CaptureRun
// it is given; widgets only.
class CaptureDock : public QDockWidget
{
    Q_OBJECT

public:
    CaptureDock(CaptureRun *run, QWidget *parent = nullptr);
    ~CaptureDock() override;

    // The map's rows that can be captured; a new map clears the choice.
    void setRows(const QList<RegisterInfo> &rows);
    void choose(const QStringList &names);
    // What the controls ask for.
    CaptureSettings settings() const;
    const Capture &current() const { return shown; }
    // Save and Compare without their file dialogs; empty, or why not.
    QString saveTo(const QString &path);
    QString compareWith(const QString &path);

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_armButton_clicked();
    void on_stopButton_clicked();
    void on_saveButton_clicked();
    void on_compareButton_clicked();
    void on_clearCompareButton_clicked();
    void on_triggerBox_currentIndexChanged(int index);

private:
    void onFinished(const Capture &capture);
    void onFailed(CaptureRun::Failure failure);
    void showRunning(bool running);
    void showState(const QString &text, bool problem = false);
    void fillRowChoices();
    void showResult();
    void showFigures();
    QStringList chosenNames() const;

    Ui::CaptureDock *ui;
    CaptureRun *run;
    QMenu *rowsMenu;
    QList<RegisterInfo> rows;
    Capture shown;
    QList<Capture> compared;
    QStringList comparedLabels;
};

#endif // CAPTUREDOCK_H

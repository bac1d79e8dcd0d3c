#ifndef MONITORDOCK_H
#define MONITORDOCK_H

#include <QDockWidget>
#include <QElapsedTimer>
#include <QList>

#include "registermap/registerinfo.h"

QT_BEGIN_NAMESPACE
namespace Ui { class MonitorDock; }
QT_END_NAMESPACE

class TrendPlot;
class ValueRecorder;

// The live monitor: the trend of the watched registers with pause, span and
// cursor readout, and recording of their values to a CSV file. The window
// feeds it the values of each refresh; time counts from setWatched().
class MonitorDock : public QDockWidget
{
    Q_OBJECT

public:
    explicit MonitorDock(QWidget *parent = nullptr);
    ~MonitorDock() override;

    // Replaces the curves with one per register, all empty; a recording in
    // progress ends, as its columns no longer match. `recordedOnly` are
    // recorded after them without a curve (the alarm code).
    void setWatched(const QList<RegisterInfo> &registers, const QList<RegisterInfo> &recordedOnly = {});
    const QList<RegisterInfo> &watched() const { return registers; }
    // The value of watched register `index` arrived now, raw in its type;
    // the curve shows it in shown units. Indexes past the curves are the
    // recorded-only registers.
    void addValue(int index, qint64 raw);
    // No value of these watched registers arrived when one was due: their
    // curves are not drawn across the gap.
    void markGap(const QList<int> &indexes);
    // The refresh is over: the recording gets its row.
    void finishRefresh();
    // Records to the file at `path`, from the refresh under way on (with the
    // values it has brought so far); false, with recordingFailed(), when it
    // cannot be opened.
    bool startRecording(const QString &path);
    // Ends a recording, leaving the file complete (port closed, device gone).
    void stopRecording();
    bool isRecording() const;
    // Whether anything reads the watched registers (the continuous refresh),
    // and whether the user could start it now: a curve nothing samples says
    // so, and offers the start.
    void showSampling(bool sampled, bool canStart);

protected:
    void changeEvent(QEvent *event) override;

signals:
    // A recording could not start or has stopped because its file could not
    // be written; the text is the system's reason.
    void recordingFailed(const QString &reason);
    // The user asks for the continuous refresh from the hint.
    void samplingAsked();

private slots:
    void on_pauseButton_toggled(bool paused);
    void on_spanBox_currentIndexChanged(int index);
    void on_recordButton_clicked();
    void on_ownRangesBox_toggled(bool on);

private:
    static QStringList spanTexts();
    void showRecordingState(const char *state, const QString &subject);
    void showOwnRanges();
    void onRecorderFailed(const QString &reason);
    void showSamplingHint();

    Ui::MonitorDock *ui;
    ValueRecorder *recorder;
    QList<RegisterInfo> registers;
    QList<RegisterInfo> recordedOnly;
    QElapsedTimer clock;
    const char *recordingState = nullptr;
    QString recordingSubject;
    bool sampled = false;
    bool canStartSampling = false;
};

#endif // MONITORDOCK_H

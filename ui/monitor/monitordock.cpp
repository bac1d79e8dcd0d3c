#include "monitordock.h"
#include "ui_monitordock.h"

#include "trendplot.h"
#include "monitor/valuerecorder.h"
#include "registermap/registervalue.h"

#include <QFileDialog>

MonitorDock::MonitorDock(QWidget *parent)
    : QDockWidget(parent), ui(new Ui::MonitorDock), recorder(new ValueRecorder(this))
{
    ui->setupUi(this);
    // Filled before the automatic connections would see the items arrive.
    const QSignalBlocker blocker(ui->spanBox);
    const QStringList spans = spanTexts();
    ui->spanBox->addItem(spans.at(0), 10.0);
    ui->spanBox->addItem(spans.at(1), 60.0);
    ui->spanBox->addItem(spans.at(2), 600.0);
    ui->spanBox->addItem(spans.at(3), TrendPlot::wholeSpan);
    ui->spanBox->setCurrentIndex(ui->spanBox->findData(ui->plot->span()));
    ui->recordButton->setEnabled(false);
    connect(recorder, &ValueRecorder::failed, this, &MonitorDock::onRecorderFailed);
    connect(ui->startSamplingButton, &QPushButton::clicked, this, &MonitorDock::samplingAsked);
    showSamplingHint();
}

void MonitorDock::showSampling(bool isSampled, bool canStart)
{
    sampled = isSampled;
    canStartSampling = canStart;
    showSamplingHint();
}

void MonitorDock::showSamplingHint()
{
    QString hint;
    if (registers.isEmpty())
        hint = tr("还没有曲线：在寄存器表中选中行，右键选择“加入曲线”。");
    else if (!sampled)
        hint = canStartSampling ? tr("连续刷新未开启：曲线不会更新。") : tr("串口未打开：曲线不会更新。");
    ui->samplingLabel->setText(hint);
    ui->samplingLabel->setVisible(!hint.isEmpty());
    ui->startSamplingButton->setVisible(!registers.isEmpty() && !sampled && canStartSampling);
}

MonitorDock::~MonitorDock()
{
    delete ui;
}

QStringList MonitorDock::spanTexts()
{
    return {tr("10 秒"), tr("60 秒"), tr("600 秒"), tr("全部")};
}

// The form resets its texts; what the dock shows of its state is put back.
void MonitorDock::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        const QStringList spans = spanTexts();
        for (int index = 0; index < spans.size(); ++index)
            ui->spanBox->setItemText(index, spans.at(index));
        ui->recordButton->setText(recorder->isRecording() ? tr("停止录制") : tr("录制…"));
        ui->pauseButton->setText(ui->pauseButton->isChecked() ? tr("继续") : tr("暂停"));
        if (recordingState)
            showRecordingState(recordingState, recordingSubject);
        showSamplingHint();
    }
    QDockWidget::changeEvent(event);
}

void MonitorDock::setWatched(const QList<RegisterInfo> &watchedRegisters, const QList<RegisterInfo> &recordedOnlyRegisters)
{
    stopRecording();
    registers = watchedRegisters;
    recordedOnly = recordedOnlyRegisters;
    recorder->setColumnCount(registers.size() + recordedOnly.size());
    QStringList names;
    QStringList units;
    for (const RegisterInfo &info : registers) {
        names << info.name;
        units << info.format.unit;
    }
    ui->plot->setCurves(names, units);
    showOwnRanges();
    ui->recordButton->setEnabled(!registers.isEmpty());
    showSamplingHint();
    clock.start();
}

void MonitorDock::on_ownRangesBox_toggled(bool on)
{
    ui->plot->setOwnRanges(on);
    showOwnRanges();
}

// More units than axes leave no choice: the box says so.
void MonitorDock::showOwnRanges()
{
    const QSignalBlocker blocker(ui->ownRangesBox);
    ui->ownRangesBox->setChecked(ui->plot->ownRanges());
}

void MonitorDock::addValue(int index, qint64 raw)
{
    if (index < 0 || index >= registers.size() + recordedOnly.size())
        return;
    recorder->addValue(index, raw);
    if (index < registers.size())
        ui->plot->addSample(index, clock.elapsed() / 1000.0, RegisterValue(registers.at(index).format).shown(raw));
}

void MonitorDock::markGap(const QList<int> &indexes)
{
    for (int index : indexes)
        ui->plot->breakCurve(index, clock.elapsed() / 1000.0);
}

void MonitorDock::finishRefresh()
{
    recorder->finishRefresh();
}

bool MonitorDock::startRecording(const QString &path)
{
    if (!recorder->start(path, registers + recordedOnly)) {
        showRecordingState(QT_TR_NOOP("录制失败：%1"), recorder->errorString());
        emit recordingFailed(recorder->errorString());
        return false;
    }
    ui->recordButton->setText(tr("停止录制"));
    showRecordingState(QT_TR_NOOP("录制中：%1"), path);
    return true;
}

void MonitorDock::stopRecording()
{
    if (!recorder->isRecording())
        return;
    recorder->stop();
    // A failed last write has already said so.
    if (!recorder->isRecording() && recorder->errorString().isEmpty())
        showRecordingState(QT_TR_NOOP("已录制到：%1"), recorder->fileName());
    ui->recordButton->setText(tr("录制…"));
}

bool MonitorDock::isRecording() const
{
    return recorder->isRecording();
}

void MonitorDock::on_pauseButton_toggled(bool paused)
{
    ui->plot->setPaused(paused);
    ui->pauseButton->setText(paused ? tr("继续") : tr("暂停"));
}

void MonitorDock::on_spanBox_currentIndexChanged(int index)
{
    ui->plot->setSpan(ui->spanBox->itemData(index).toDouble());
}

void MonitorDock::on_recordButton_clicked()
{
    if (recorder->isRecording()) {
        stopRecording();
        return;
    }
    const QString path = QFileDialog::getSaveFileName(this, tr("录制数值"), QString(),
                                                      tr("CSV 文件 (*.csv)"));
    if (!path.isEmpty())
        startRecording(path);
}

// `state` is the untranslated wording, kept to be worded again in another
// language.
void MonitorDock::showRecordingState(const char *state, const QString &subject)
{
    recordingState = state;
    recordingSubject = subject;
    const QString text = tr(state).arg(subject);
    ui->recordingLabel->setText(text);
    ui->recordingLabel->setToolTip(text);
}

void MonitorDock::onRecorderFailed(const QString &reason)
{
    ui->recordButton->setText(tr("录制…"));
    showRecordingState(QT_TR_NOOP("录制已停止：%1"), reason);
    emit recordingFailed(reason);
}

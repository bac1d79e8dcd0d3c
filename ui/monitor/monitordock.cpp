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
    ui->spanBox->addItem(tr("10 秒"), 10.0);
    ui->spanBox->addItem(tr("60 秒"), 60.0);
    ui->spanBox->addItem(tr("600 秒"), 600.0);
    ui->spanBox->addItem(tr("全部"), TrendPlot::wholeSpan);
    ui->spanBox->setCurrentIndex(ui->spanBox->findData(ui->plot->span()));
    ui->recordButton->setEnabled(false);
    connect(recorder, &ValueRecorder::failed, this, &MonitorDock::onRecorderFailed);
}

MonitorDock::~MonitorDock()
{
    delete ui;
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
        showRecordingState(tr("录制失败：%1").arg(recorder->errorString()));
        emit recordingFailed(recorder->errorString());
        return false;
    }
    ui->recordButton->setText(tr("停止录制"));
    showRecordingState(tr("录制中：%1").arg(path));
    return true;
}

void MonitorDock::stopRecording()
{
    if (!recorder->isRecording())
        return;
    recorder->stop();
    // A failed last write has already said so.
    if (!recorder->isRecording() && recorder->errorString().isEmpty())
        showRecordingState(tr("已录制到：%1").arg(recorder->fileName()));
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

void MonitorDock::showRecordingState(const QString &text)
{
    ui->recordingLabel->setText(text);
    ui->recordingLabel->setToolTip(text);
}

void MonitorDock::onRecorderFailed(const QString &reason)
{
    ui->recordButton->setText(tr("录制…"));
    showRecordingState(tr("录制已停止：%1").arg(reason));
    emit recordingFailed(reason);
}

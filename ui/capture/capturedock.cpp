#include "ui/capture/capturedock.h"
#include "ui_capturedock.h"

#include "ui/language/followlanguage.h"
#include "monitor/stepfigures.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

#include <cmath>

namespace {

enum FigureRow { RiseRow, OvershootRow, SettlingRow, FollowingErrorRow };

QString numberText(double value, const QString &suffix)
{
    return std::isnan(value) ? QStringLiteral("–") : QString::number(value, 'f', 1) + suffix;
}

} // namespace

CaptureDock::CaptureDock(CaptureRun *run, QWidget *parent)
    : QDockWidget(parent)
    , ui(new Ui::CaptureDock)
    , run(run)
    , rowsMenu(new QMenu(this))
{
    ui->setupUi(this);
    ui->rowsButton->setMenu(rowsMenu);
    // Four figures a capture in few pixels: the dock stays low beside the
    // table. Long file names are elided; their tooltips give them whole.
    QHeaderView *columns = ui->figuresTable->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Stretch);
    columns->setFixedHeight(fontMetrics().height() + 4);
    ui->figuresTable->setFrameShape(QFrame::NoFrame);
    ui->figuresTable->verticalHeader()->setMinimumSectionSize(fontMetrics().height());
    ui->figuresTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 1);
    ui->figuresTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->figuresTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(rowsMenu, &QMenu::triggered, this, [this] { fillRowChoices(); });
    connect(run, &CaptureRun::sampling, this, [this] { showState(tr("已布防，等待触发…")); });
    connect(run, &CaptureRun::triggered, this, [this] { showState(tr("已触发，采集中…")); });
    connect(run, &CaptureRun::finished, this, &CaptureDock::onFinished);
    connect(run, &CaptureRun::failed, this, &CaptureDock::onFailed);
    for (QComboBox *box : {ui->figuresRowBox, ui->followingErrorBox})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &CaptureDock::showFigures);
    followLanguage(this, [this] {
        fillRowChoices();
        showFigures();
    });
    on_triggerBox_currentIndexChanged(ui->triggerBox->currentIndex());
    showFigures();
}

CaptureDock::~CaptureDock()
{
    delete ui;
}

void CaptureDock::setRows(const QList<RegisterInfo> &mapRows)
{
    run->stop();
    showRunning(false);
    rows.clear();
    for (const RegisterInfo &row : mapRows) {
        if (row.addressValid && !isWriteOnly(row.permission))
            rows.append(row);
    }
    rowsMenu->clear();
    ui->triggerRowBox->clear();
    for (const RegisterInfo &row : qAsConst(rows)) {
        rowsMenu->addAction(row.name)->setCheckable(true);
        ui->triggerRowBox->addItem(row.name);
    }
    fillRowChoices();
}

void CaptureDock::choose(const QStringList &names)
{
    for (QAction *action : rowsMenu->actions())
        action->setChecked(names.contains(action->text()));
    fillRowChoices();
}

void CaptureDock::fillRowChoices()
{
    ui->rowsButton->setText(tr("行 (%1)").arg(chosenNames().size()));
}

QStringList CaptureDock::chosenNames() const
{
    QStringList names;
    for (const QAction *action : rowsMenu->actions()) {
        if (action->isChecked())
            names << action->text();
    }
    return names;
}

CaptureSettings CaptureDock::settings() const
{
    CaptureSettings chosen;
    chosen.rows = chosenNames();
    chosen.preMs = ui->preBox->value();
    chosen.lengthMs = ui->lengthBox->value();
    const CaptureTrigger::Kind kinds[] = {CaptureTrigger::Kind::Immediate, CaptureTrigger::Kind::Level,
                                          CaptureTrigger::Kind::MoveStart};
    chosen.trigger.kind = kinds[qBound(0, ui->triggerBox->currentIndex(), 2)];
    if (chosen.trigger.kind == CaptureTrigger::Kind::Level) {
        const CaptureTrigger::Edge edges[] = {CaptureTrigger::Edge::Rising, CaptureTrigger::Edge::Falling,
                                              CaptureTrigger::Edge::Either};
        chosen.trigger.row = ui->triggerRowBox->currentText();
        chosen.trigger.level = ui->levelBox->value();
        chosen.trigger.edge = edges[qBound(0, ui->edgeBox->currentIndex(), 2)];
    }
    return chosen;
}

void CaptureDock::on_triggerBox_currentIndexChanged(int index)
{
    for (QWidget *levelPart : {static_cast<QWidget *>(ui->triggerRowBox), static_cast<QWidget *>(ui->edgeBox),
                               static_cast<QWidget *>(ui->levelBox)})
        levelPart->setEnabled(index == 1);
}

void CaptureDock::on_armButton_clicked()
{
    if (chosenNames().isEmpty())
        return showState(tr("未布防：请先在“行”中选择要采集的行"), true);
    if (!run->isLineOpen())
        return showState(tr("未布防：串口未打开"), true);
    if (!run->arm(settings()))
        return showState(tr("未布防：%1").arg(run->error()), true);
    showRunning(true);
}

void CaptureDock::on_stopButton_clicked()
{
    run->stop();
    showRunning(false);
    showState(tr("已停止"));
}

void CaptureDock::onFinished(const Capture &capture)
{
    shown = capture;
    showRunning(false);
    int samples = 0;
    for (const CaptureCurve &curve : capture.curves)
        samples = qMax(samples, curve.points.size());
    showState(tr("已采集 %1 个样本").arg(samples));
    showResult();
}

// In the window's language; the run words its reasons for the command line.
void CaptureDock::onFailed(CaptureRun::Failure failure)
{
    QString reason;
    switch (failure) {
    case CaptureRun::Failure::TriggerNeverCame: reason = tr("触发没有到来"); break;
    case CaptureRun::Failure::LineClosed: reason = tr("线路已关闭"); break;
    case CaptureRun::Failure::NoAnswer: reason = tr("驱动器连续几次没有应答"); break;
    case CaptureRun::Failure::UnaskedReply: reason = tr("收到没有请求的应答，样本可能属于别的读取"); break;
    }
    showRunning(false);
    showState(tr("采集未完成：%1").arg(reason), true);
}

void CaptureDock::showRunning(bool running)
{
    ui->armButton->setEnabled(!running);
    ui->stopButton->setEnabled(running);
    ui->saveButton->setEnabled(!running && !shown.isEmpty());
}

// Light red, as the log's problem lines. Under the figures, wrapped: a long
// one never widens the window.
void CaptureDock::showState(const QString &text, bool problem)
{
    ui->stateLabel->setText(text);
    ui->stateLabel->setStyleSheet(problem ? QStringLiteral("background-color: rgb(255, 215, 215);") : QString());
}

QString CaptureDock::saveTo(const QString &path)
{
    if (shown.isEmpty())
        return tr("还没有采集");
    return CaptureFile::save(shown, path);
}

QString CaptureDock::compareWith(const QString &path)
{
    Capture earlier;
    const QString why = CaptureFile::load(path, &earlier);
    if (!why.isEmpty())
        return why;
    compared.append(earlier);
    comparedLabels.append(QFileInfo(path).completeBaseName());
    showResult();
    return QString();
}

void CaptureDock::on_saveButton_clicked()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("保存采集"), QString(), tr("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    const QString why = saveTo(path);
    showState(why.isEmpty() ? tr("已保存到 %1").arg(path) : tr("无法保存 %1：%2").arg(path, why), !why.isEmpty());
}

void CaptureDock::on_compareButton_clicked()
{
    const QStringList paths = QFileDialog::getOpenFileNames(this, tr("载入采集以对比"), QString(),
                                                            tr("CSV 文件 (*.csv)"));
    for (const QString &path : paths) {
        const QString why = compareWith(path);
        if (!why.isEmpty())
            return showState(tr("无法载入 %1：%2").arg(path, why), true);
    }
}

void CaptureDock::on_clearCompareButton_clicked()
{
    compared.clear();
    comparedLabels.clear();
    showResult();
}

// The figure choices are the rows of every capture shown, kept across
// captures when the row is still there.
void CaptureDock::showResult()
{
    QStringList names;
    for (const Capture &capture : QList<Capture>{shown} + compared) {
        for (const CaptureCurve &curve : capture.curves) {
            if (!names.contains(curve.name))
                names << curve.name;
        }
    }
    const QString step = ui->figuresRowBox->currentText();
    const QString followingError = ui->followingErrorBox->currentText();
    const QSignalBlocker stepBlock(ui->figuresRowBox);
    const QSignalBlocker errorBlock(ui->followingErrorBox);
    ui->figuresRowBox->clear();
    ui->figuresRowBox->addItems(names);
    ui->figuresRowBox->setCurrentIndex(qMax(0, names.indexOf(step)));
    ui->followingErrorBox->clear();
    ui->followingErrorBox->addItem(tr("无"));
    ui->followingErrorBox->addItems(names);
    ui->followingErrorBox->setCurrentIndex(qMax(0, ui->followingErrorBox->findText(followingError)));
    ui->plot->showCaptures(shown, compared, comparedLabels);
    showFigures();
}

void CaptureDock::showFigures()
{
    const QList<Capture> captures = QList<Capture>{shown} + compared;
    ui->figuresTable->setColumnCount(captures.size());
    ui->figuresTable->setHorizontalHeaderLabels(QStringList{tr("当前")} + comparedLabels);
    for (int column = 1; column < captures.size(); ++column)
        ui->figuresTable->horizontalHeaderItem(column)->setToolTip(comparedLabels.at(column - 1));
    const QString step = ui->figuresRowBox->currentText();
    const QString followingError = ui->followingErrorBox->currentIndex() > 0 ? ui->followingErrorBox->currentText()
                                                                              : QString();
    for (int column = 0; column < captures.size(); ++column) {
        const Capture &capture = captures.at(column);
        const int stepCurve = capture.indexOf(step);
        const int errorCurve = capture.indexOf(followingError);
        const StepFigures figures = StepFigures::measure(
            stepCurve < 0 ? QVector<QPointF>() : capture.curves.at(stepCurve).points,
            errorCurve < 0 ? QVector<QPointF>() : capture.curves.at(errorCurve).points);
        const QString ms = QStringLiteral(" ms");
        const QStringList cells = {
            figures.valid ? numberText(figures.riseMs, ms) : QStringLiteral("–"),
            figures.valid ? numberText(figures.overshootPercent, QStringLiteral(" %")) : QStringLiteral("–"),
            figures.valid ? numberText(figures.settlingMs, ms) : QStringLiteral("–"),
            numberText(figures.peakFollowingError,
                       errorCurve < 0 || capture.curves.at(errorCurve).unit.isEmpty()
                           ? QString() : QLatin1Char(' ') + capture.curves.at(errorCurve).unit),
        };
        for (int row = RiseRow; row <= FollowingErrorRow; ++row)
            ui->figuresTable->setItem(row, column, new QTableWidgetItem(cells.at(row)));
    }
}

void CaptureDock::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDockWidget::changeEvent(event);
}

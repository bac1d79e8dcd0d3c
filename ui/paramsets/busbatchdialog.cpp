#include "ui/paramsets/busbatchdialog.h"
#include "ui_busbatchdialog.h"

#include "paramsets/linesettings.h"
#include "serial/serial.h"

#include <QFileInfo>
#include <QPushButton>

namespace {

const QColor goodBackground(200, 240, 200);
const QColor doubtBackground(255, 220, 150);
const QColor badBackground(255, 180, 180);

QString listed(const QString &heading, const QStringList &items)
{
    return items.isEmpty() ? QString() : heading + items.join(QLatin1String(", "));
}

} // namespace

BusBatchDialog::BusBatchDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::BusBatchDialog)
{
    ui->setupUi(this);
    setWindowModality(Qt::WindowModal);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &BusBatchDialog::reject);
}

BusBatchDialog::~BusBatchDialog()
{
    delete ui;
}

void BusBatchDialog::begin(const QString &task)
{
    running = true;
    setWindowTitle(task);
    ui->label_task->setText(task);
    ui->listWidget_results->clear();
    ui->progressBar_rows->setValue(0);
    ui->buttonBox->setStandardButtons(QDialogButtonBox::Cancel);
    show();
    raise();
}

void BusBatchDialog::showDriver(int index, int count, int address)
{
    ui->label_step->setText(tr("驱动器 %1 / %2（地址 %3）：读取").arg(index + 1).arg(count).arg(address));
    driverIndex = index;
    driverCount = qMax(count, 1);
    showRows(0, 1, false);
}

void BusBatchDialog::showRows(int done, int total, bool writing)
{
    if (writing) {
        QString text = ui->label_step->text();
        text.replace(tr("读取"), tr("写入"));
        ui->label_step->setText(text);
    }
    // The whole run in one bar, full only once the run is over: the last
    // driver's rows read are not yet its writes.
    const int run = 1000;
    const int value = (driverIndex * run + run * done / qMax(total, 1)) / driverCount;
    ui->progressBar_rows->setMaximum(run);
    ui->progressBar_rows->setValue(qMin(value, run - 1));
}

void BusBatchDialog::addResult(const BusDriverResult &result)
{
    auto *line = new QListWidgetItem(resultText(result), ui->listWidget_results);
    switch (result.end) {
    case BusDriverResult::End::Done: line->setBackground(goodBackground); break;
    case BusDriverResult::End::NotBegun:
    case BusDriverResult::End::Cancelled: break;
    case BusDriverResult::End::Partial:
    case BusDriverResult::End::Doubtful:
    case BusDriverResult::End::OtherModel: line->setBackground(doubtBackground); break;
    default: line->setBackground(badBackground);
    }
}

void BusBatchDialog::showFinished(const QList<BusDriverResult> &results)
{
    running = false;
    int done = 0;
    for (const BusDriverResult &result : results)
        done += result.end == BusDriverResult::End::Done;
    ui->label_step->setText(tr("完成 %1 / %2 台驱动器").arg(done).arg(results.size()));
    ui->progressBar_rows->setValue(ui->progressBar_rows->maximum());
    ui->buttonBox->setStandardButtons(QDialogButtonBox::Close);
}

// While the run goes on, closing the dialog is a cancel: the run stops
// after the request in flight and the dialog shows how it ended.
void BusBatchDialog::reject()
{
    if (!running)
        return QDialog::reject();
    ui->label_step->setText(tr("正在取消…"));
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setEnabled(false);
    emit cancelRequested();
}

QString BusBatchDialog::resultText(const BusDriverResult &result)
{
    using End = BusDriverResult::End;
    const QString file = QFileInfo(result.path).fileName();
    const QString nothingDone = result.restore ? tr("，未写入") : tr("，未保存");
    QString text = tr("地址 %1：").arg(result.address);
    switch (result.end) {
    case End::Done:
        if (result.writes == 0 && result.saved == 0)
            return text + tr("与文件相同，未写入");
        text += result.saved ? tr("已保存 %1（%2 个参数）").arg(file).arg(result.saved)
                             : tr("%1 个参数已写入并确认；撤销文件 %2").arg(result.confirmed).arg(file);
        return text;
    case End::Partial:
        if (result.saved)
            return text + tr("已保存 %1（%2 个参数），不完整").arg(file).arg(result.saved)
                   + listed(tr("；未读取，未保存: "), result.unread);
        text += tr("未完成");
        break;
    case End::Failed:
        if (!result.error.isEmpty())
            return text + (result.writes ? tr("失败：撤销文件未能保存，未写入: ") : tr("失败：文件未能保存: "))
                   + result.error;
        if (!result.outOfRange.isEmpty())
            return text + listed(tr("失败：有写入需要确认（超出范围或危险命令），未写入任何参数: "), result.outOfRange);
        text += result.stoppedAnswering ? tr("失败：驱动器不再应答") : tr("失败");
        break;
    case End::OtherModel:
        return text + tr("已跳过：文件与驱动器身份不符或未记录身份，未写入（%1）").arg(result.identity.join(QLatin1String("; ")));
    case End::NoAnswer: return text + tr("无应答");
    case End::Absent:
        return text + tr("无应答（询问两次，%1）：请检查地址、波特率与校验位、A/B 接线，或扫描总线")
                          .arg(lineSettingsText(*Serial::instance()));
    case End::Doubtful:
        text += tr("存疑：收到无人请求的应答，读到的值均不可信");
        if (!result.writes)
            return text + nothingDone;
        break;
    case End::Cancelled:
        text += tr("已取消");
        if (!result.writes)
            return text + nothingDone;
        break;
    case End::LineLost:
        text += tr("串口已关闭");
        if (!result.writes)
            return text + nothingDone;
        break;
    case End::NotBegun: return text + tr("未开始");
    }
    return text + writeDetails(result);
}

// How far a restore got with a driver, and where its undo file is.
QString BusBatchDialog::writeDetails(const BusDriverResult &result)
{
    QString text;
    if (result.writes)
        text += tr("；%1 / %2 个参数已写入并确认").arg(result.confirmed).arg(result.writes);
    text += listed(tr("；写入失败: "), result.failed) + listed(tr("；未确认（可能已写入）: "), result.unconfirmed)
            + listed(tr("；未写入: "), result.notSent) + listed(tr("；无应答: "), result.unread);
    if (!result.path.isEmpty())
        text += tr("；撤销文件 %1").arg(QFileInfo(result.path).fileName());
    return text;
}

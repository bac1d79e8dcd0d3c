#include "ui/paramsets/comparedialog.h"
#include "ui_comparedialog.h"
#include "ui/language/corewording.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>

namespace {

enum Column { TickColumn, AddressColumn, NameColumn, FileColumn, DriverColumn, PermissionColumn, StateColumn };
// Marks a state cell that a write has reported on.
const int reportedRole = Qt::UserRole;

// A cell whose whole text shows when the mouse rests on it, whatever its
// column's width; the text may change as writes report back.
class TextItem : public QTableWidgetItem
{
public:
    explicit TextItem(const QString &text) : QTableWidgetItem(text) {}

    QVariant data(int role) const override
    {
        return QTableWidgetItem::data(role == Qt::ToolTipRole ? int(Qt::DisplayRole) : role);
    }
};

QTableWidgetItem *textItem(const QString &text)
{
    auto *item = new TextItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

CompareDialog::CompareDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::CompareDialog)
{
    ui->setupUi(this);
    ui->tableWidget_compare->verticalHeader()->setHidden(true);
    // Values such as "使能|报警 (0x0005)" are read whole: every column but
    // the name takes the width of its texts, the name the rest.
    ui->tableWidget_compare->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->tableWidget_compare->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    connect(ui->checkBox_differencesOnly, &QCheckBox::toggled, this, &CompareDialog::applyFilter);
    connect(ui->pushButton_write, &QPushButton::clicked, this, [this] {
        const QList<ParameterEntry> writes = tickedWrites();
        if (writes.isEmpty())
            return showRefusal(tr("没有选中要写入的参数"));
        if (!identityAgreed() || !outOfRangeAgreed() || !dangerAgreed(writes))
            return showRefusal(tr("未写入任何参数"));
        WriteConsent consent;
        consent.outOfRange = true;
        consent.writeOnly = true;
        consent.danger = true;
        emit writeRequested(writes, consent);
    });
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &CompareDialog::cancelRequested);
    connect(ui->pushButton_close, &QPushButton::clicked, this, &QDialog::close);
    setWriting(false);
}

CompareDialog::~CompareDialog()
{
    delete ui;
}

// The comparison's own words follow the language; what a run reported
// stays as it was worded.
void CompareDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        for (int r = 0; r < rows.size(); ++r) {
            QTableWidgetItem *state = ui->tableWidget_compare->item(r, StateColumn);
            if (state && !state->data(reportedRole).toBool())
                state->setText(rows.at(r).stateText());
        }
        showIdentityLines();
    }
    QDialog::changeEvent(event);
}

void CompareDialog::showComparison(const QString &fileName, const QList<CompareRow> &compared,
                                   const QStringList &problems, bool undoFile)
{
    rows = compared;
    identity = IdentityCheck();
    ui->widget_identity->hide();
    fromUndoFile = undoFile;
    writable = problems.isEmpty();
    ui->label_file->setText(fileName);
    // A new comparison has written nothing yet.
    ui->progressBar->setValue(0);
    QTableWidget *table = ui->tableWidget_compare;
    table->setRowCount(rows.size());
    for (int r = 0; r < rows.size(); ++r) {
        const CompareRow &row = rows.at(r);
        auto *tick = new QTableWidgetItem;
        tick->setFlags(Qt::ItemIsEnabled);
        // Commands are sent only when ticked by hand.
        const bool command = row.state == CompareState::WriteOnly;
        if ((row.state == CompareState::Differs || row.outsideMapRange || command) && writable) {
            tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            tick->setCheckState(command ? Qt::Unchecked : Qt::Checked);
        }
        table->setItem(r, TickColumn, tick);
        table->setItem(r, AddressColumn, textItem(addressText(row.entry.address)));
        table->setItem(r, NameColumn, textItem(row.name()));
        table->setItem(r, FileColumn, textItem(row.fileText()));
        table->setItem(r, DriverColumn, textItem(row.answered ? row.driverText() : QStringLiteral("-")));
        table->setItem(r, PermissionColumn, textItem(row.info.permission));
        table->setItem(r, StateColumn, textItem(row.stateText()));
        if (row.state != CompareState::Same)
            table->item(r, StateColumn)->setBackground(QColor(255, 230, 180));
    }
    ui->label_status->setText(writable ? QString()
                                       : tr("文件有错误，不能写入:\n") + problems.join(QLatin1Char('\n')));
    applyFilter();
    setWriting(false);
}

void CompareDialog::showIdentity(const IdentityCheck &check, const QString &unrecorded)
{
    identity = check;
    unrecordedRows = unrecorded;
    ui->widget_identity->setVisible(check.shown);
    showIdentityLines();
    const QString marked = check.differs() ? QStringLiteral("background-color: rgb(255, 200, 200);") : QString();
    ui->label_fileIdentity->setStyleSheet(marked);
    ui->label_driverIdentity->setStyleSheet(marked);
    if (check.differs() && writable)
        ui->label_status->setText(tr("文件来自另一型号或固件的驱动器：") + check.differences.join(QStringLiteral("；")));
}

void CompareDialog::showIdentityLines()
{
    ui->label_fileIdentity->setText(tr("文件：%1").arg(identity.fileText.isEmpty() ? tr("未记录身份") : identity.fileText));
    ui->label_driverIdentity->setText(tr("驱动器：%1").arg(identity.driverText));
}

// Another model's or firmware's values can damage a driver: the question
// names the difference on the only button that writes, and not writing is
// the default.
bool CompareDialog::identityAgreed()
{
    if (!unrecordedRows.isEmpty()) {
        QMessageBox question(QMessageBox::Warning, tr("未记录驱动器身份"),
                             tr("文件没有记录它来自哪种驱动器（%1），无法与此驱动器比对。\n仍然写入吗？").arg(unrecordedRows),
                             QMessageBox::NoButton, this);
        question.setObjectName(QStringLiteral("identityQuestion"));
        QPushButton *writeAnyway = question.addButton(tr("仍然写入（未记录身份）"), QMessageBox::AcceptRole);
        QPushButton *dontWrite = question.addButton(tr("不写入"), QMessageBox::RejectRole);
        question.setDefaultButton(dontWrite);
        question.setEscapeButton(dontWrite);
        question.exec();
        return question.clickedButton() == writeAnyway;
    }
    if (!identity.differs())
        return true;
    QMessageBox question(QMessageBox::Warning, tr("驱动器身份不同"),
                         tr("文件：%1\n驱动器：%2\n仍然写入吗？").arg(identity.fileText, identity.driverText),
                         QMessageBox::NoButton, this);
    question.setObjectName(QStringLiteral("identityQuestion"));
    QPushButton *writeAnyway =
        question.addButton(tr("仍然写入（%1）").arg(identity.differences.join(QStringLiteral("；"))), QMessageBox::AcceptRole);
    QPushButton *dontWrite = question.addButton(tr("不写入"), QMessageBox::RejectRole);
    question.setDefaultButton(dontWrite);
    question.setEscapeButton(dontWrite);
    question.exec();
    return question.clickedButton() == writeAnyway;
}

// Values outside the map's range are written only once the user has seen
// them named; an undo file puts back what the driver had, and is not asked
// about.
bool CompareDialog::outOfRangeAgreed()
{
    QList<CompareRow> ticked;
    for (int r = 0; r < rows.size(); ++r) {
        if (isTicked(r) && rows.at(r).outsideMapRange)
            ticked.append(rows.at(r));
    }
    if (ticked.isEmpty() || fromUndoFile)
        return true;
    QMessageBox question(QMessageBox::Question, tr("超出范围"),
                         tr("以下参数的值超出映射表的范围，仍然写入吗？\n") + outOfRangeLabels(ticked).join(QLatin1Char('\n')),
                         QMessageBox::Yes | QMessageBox::No, this);
    question.setObjectName(QStringLiteral("outOfRangeQuestion"));
    question.setDefaultButton(QMessageBox::No);
    return question.exec() == QMessageBox::Yes;
}

// A danger command's value (a factory reset) is named on its own, whatever
// was said about the rest; not writing is the default.
bool CompareDialog::dangerAgreed(const QList<ParameterEntry> &writes)
{
    WriteConsent rest;
    rest.outOfRange = true;
    rest.writeOnly = true;
    QStringList danger;
    for (const ParameterEntry &write : writes) {
        const GateAnswer answer = gate.judge(WriteOrigin::Compare, write.address, write.value, rest);
        if (answer.confirmation == Confirmation::Danger)
            danger << wordRequestReason(answer.reason);
    }
    if (danger.isEmpty())
        return true;
    QMessageBox question(QMessageBox::Warning, tr("危险命令"),
                         tr("以下写入是改变驱动器设置的危险命令，仍然发送吗？\n") + danger.join(QLatin1Char('\n')),
                         QMessageBox::Yes | QMessageBox::No, this);
    question.setObjectName(QStringLiteral("dangerQuestion"));
    question.setDefaultButton(QMessageBox::No);
    question.setEscapeButton(QMessageBox::No);
    return question.exec() == QMessageBox::Yes;
}

bool CompareDialog::isTicked(int row) const
{
    const QTableWidgetItem *tick = ui->tableWidget_compare->item(row, TickColumn);
    return (tick->flags() & Qt::ItemIsUserCheckable) && tick->checkState() == Qt::Checked;
}

QList<ParameterEntry> CompareDialog::tickedWrites() const
{
    QList<ParameterEntry> writes;
    if (!writable)
        return writes;
    for (int r = 0; r < rows.size(); ++r) {
        if (isTicked(r)) {
            ParameterEntry write = rows.at(r).entry;
            write.name = rows.at(r).name();
            writes.append(write);
        }
    }
    return writes;
}

void CompareDialog::applyFilter()
{
    const bool differencesOnly = ui->checkBox_differencesOnly->isChecked();
    for (int r = 0; r < rows.size(); ++r)
        ui->tableWidget_compare->setRowHidden(r, differencesOnly && rows.at(r).state == CompareState::Same);
}

void CompareDialog::setWriting(bool writing)
{
    ui->pushButton_write->setEnabled(!writing && writable);
    ui->pushButton_cancel->setEnabled(writing);
    ui->pushButton_close->setEnabled(!writing);
    ui->tableWidget_compare->setEnabled(!writing);
}

int CompareDialog::rowOf(quint16 address) const
{
    for (int r = 0; r < rows.size(); ++r) {
        if (rows.at(r).entry.address == address)
            return r;
    }
    return -1;
}

void CompareDialog::showWriteStarted(const QString &undoPath)
{
    undoFile = undoPath;
    confirmed = 0;
    failed.clear();
    unconfirmed.clear();
    ui->progressBar->setValue(0);
    ui->label_status->setText(tr("写入前的参数已保存到 %1").arg(undoPath));
    setWriting(true);
}

void CompareDialog::showOutcome(const ParameterEntry &write, WriteResult result, const QString &reason)
{
    const int r = rowOf(write.address);
    if (r < 0 || result == WriteResult::NotSent)
        return;
    QTableWidgetItem *state = ui->tableWidget_compare->item(r, StateColumn);
    state->setData(reportedRole, true);
    switch (result) {
    case WriteResult::Confirmed:
        ++confirmed;
        ui->tableWidget_compare->item(r, DriverColumn)->setText(rows.at(r).fileText());
        // Written once is enough: a second press must not send it again.
        ui->tableWidget_compare->item(r, TickColumn)->setFlags(Qt::ItemIsEnabled);
        ui->tableWidget_compare->item(r, TickColumn)->setData(Qt::CheckStateRole, QVariant());
        state->setText(tr("已写入"));
        state->setBackground(QColor(200, 240, 200));
        return;
    case WriteResult::Unconfirmed:
        unconfirmed.append(addressText(write.address));
        state->setText(tr("未确认（可能已写入）: ") + wordRequestReason(reason));
        state->setBackground(QColor(255, 220, 150));
        return;
    default:
        failed.append(addressText(write.address));
        state->setText(tr("写入失败: ") + wordRequestReason(reason));
        state->setBackground(QColor(255, 180, 180));
    }
}

void CompareDialog::showProgress(int done, int total)
{
    ui->progressBar->setMaximum(total);
    ui->progressBar->setValue(done);
}

void CompareDialog::showWritesFinished(RunEnd end)
{
    setWriting(false);
    QString text = tr("已写入并确认 %1 个参数").arg(confirmed);
    if (end == RunEnd::UnaskedReply) {
        text = tr("收到无人请求的应答（另一主站，或同一地址上的第二台设备？）：所有写入均未确认，可能已写入");
        withdrawConfirmations();
    }
    else if (end == RunEnd::Cancelled)
        text += tr("，已取消");
    else if (end == RunEnd::Stopped)
        text += tr("，连接已断开，其余未写入");
    else if (end == RunEnd::DriverSilent)
        text += tr("，驱动器不再应答，其余未写入");
    if (!unconfirmed.isEmpty())
        text += tr("；未确认（可能已写入）: ") + unconfirmed.join(QLatin1String(", "));
    if (!failed.isEmpty())
        text += tr("；失败: ") + failed.join(QLatin1String(", "));
    text += tr("\n撤销文件: ") + undoFile;
    ui->label_status->setText(text);
}

// A read back may have been another request's reply: no row stays
// written, each may have been applied.
void CompareDialog::withdrawConfirmations()
{
    QTableWidget *table = ui->tableWidget_compare;
    for (int r = 0; r < table->rowCount(); ++r) {
        QTableWidgetItem *state = table->item(r, StateColumn);
        if (state->text() != tr("已写入"))
            continue;
        state->setText(tr("未确认（可能已写入）: ") + tr("收到无人请求的应答"));
        state->setBackground(QColor(255, 220, 150));
    }
    confirmed = 0;
}

void CompareDialog::showSessionEnded()
{
    endWriting(tr("\n串口已关闭：请重新打开串口并重新载入参数后再写入"));
}

void CompareDialog::showDriverChanged()
{
    endWriting(tr("\n站地址已改变：此比较属于原来的驱动器，请重新载入参数后再写入"));
}

void CompareDialog::endWriting(const QString &why)
{
    writable = false;
    setWriting(false);
    ui->label_status->setText(ui->label_status->text() + why);
}

void CompareDialog::showRefusal(const QString &text)
{
    ui->label_status->setText(text);
}

#include "ui/commands/savebeforeleave.h"

#include "ui/commands/drivercommands.h"
#include "paramsets/unsavedwrites.h"

#include <QMessageBox>

SaveBeforeLeave::SaveBeforeLeave(DriverCommands *commands, QWidget *window)
    : QObject(window)
    , commands(commands)
    , window(window)
{
    connect(commands, &DriverCommands::finished, this, &SaveBeforeLeave::onFinished);
}

bool SaveBeforeLeave::allowsLeaving(std::function<void()> leave)
{
    const DriverCommand *save = commands->saveCommand();
    if (!save || !commands->isPortOpen() || !commands->unsavedWrites().any())
        return true;
    // A second close while the save is on its way waits for it too.
    if (pendingLeave)
        return false;
    QMessageBox box(QMessageBox::Question, tr("保存到驱动器"),
                    tr("本次连接写入驱动器的参数尚未存入其非易失存储器，断电后将丢失。\n"
                       "先发送“%1”保存吗？").arg(save->name),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, window);
    box.setInformativeText(tr("是：保存，确认后再关闭；否：不保存，直接关闭；取消：不关闭"));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::No: return true;
    case QMessageBox::Yes: break;
    default: return false;
    }
    if (commands->send(*save))
        pendingLeave = std::move(leave);
    return false;
}

void SaveBeforeLeave::onFinished(const DriverCommand &command, CommandResult result, const QString &)
{
    if (!command.save || !pendingLeave)
        return;
    const std::function<void()> leave = std::move(pendingLeave);
    pendingLeave = nullptr;
    if (result == CommandResult::Confirmed)
        return leave();
    emit notice(commands->isPortOpen() ? tr("保存未得到确认，串口保持打开：请检查驱动器后重试")
                                       : tr("保存未得到确认"));
}

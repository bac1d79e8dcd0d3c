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

bool SaveBeforeLeave::wouldAsk() const
{
    return commands->saveCommand() && commands->isPortOpen() && commands->unsavedWrites().any();
}

bool SaveBeforeLeave::allowsLeaving(std::function<void()> leave)
{
    if (!wouldAsk())
        return true;
    const DriverCommand *save = commands->saveCommand();
    // A second close while the saves are on their way waits for them too.
    if (pendingLeave)
        return false;
    switch (askToSave(*save)) {
    case QMessageBox::No: return true;
    case QMessageBox::Yes: break;
    default: return false;
    }
    toSave = commands->unsavedWrites().drivers();
    pendingLeave = std::move(leave);
    saveNext();
    return false;
}

int SaveBeforeLeave::askToSave(const DriverCommand &save)
{
    QStringList drivers;
    for (quint8 slave : commands->unsavedWrites().drivers())
        drivers << QString::number(slave);
    QMessageBox box(QMessageBox::Question, tr("保存到驱动器"),
                    tr("本次连接写入驱动器（地址 %1）的参数尚未存入其非易失存储器，断电后将丢失。\n"
                       "先发送“%2”保存吗？").arg(drivers.join(QLatin1String(", ")), save.name),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, window);
    box.setInformativeText(tr("是：保存，确认后再关闭；否：不保存，直接关闭；取消：不关闭"));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec();
}

// One driver after the other; the last confirmation lets the caller leave.
void SaveBeforeLeave::saveNext()
{
    if (toSave.isEmpty()) {
        const std::function<void()> leave = std::move(pendingLeave);
        pendingLeave = nullptr;
        return leave();
    }
    if (!commands->send(*commands->saveCommand(), toSave.first(), WriteOrigin::SaveQuestion)) {
        pendingLeave = nullptr;
        toSave.clear();
    }
}

void SaveBeforeLeave::onFinished(const DriverCommand &command, CommandResult result, const QString &)
{
    if (!command.save || !pendingLeave)
        return;
    if (result == CommandResult::Confirmed) {
        toSave.removeFirst();
        return saveNext();
    }
    pendingLeave = nullptr;
    toSave.clear();
    emit notice(commands->isPortOpen() ? tr("保存未得到确认，串口保持打开：请检查驱动器后重试")
                                       : tr("保存未得到确认"));
}

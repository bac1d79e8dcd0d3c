#include "ui/commands/commandpanel.h"
#include "ui_commandpanel.h"

#include <QPushButton>

CommandPanel::CommandPanel(QWidget *parent)
    : QFrame(parent)
    , ui(new Ui::CommandPanel)
{
    ui->setupUi(this);
    connect(ui->dangerTick, &QCheckBox::toggled, this, &CommandPanel::showEnabled);
    hide();
}

CommandPanel::~CommandPanel()
{
    delete ui;
}

void CommandPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
    }
    QFrame::changeEvent(event);
}

void CommandPanel::setCommands(const QList<DriverCommand> &newCommands)
{
    qDeleteAll(buttons);
    buttons.clear();
    commands = newCommands;
    bool anyDanger = false;
    for (const DriverCommand &command : qAsConst(commands)) {
        // Marked, so that the tick's meaning is plain.
        auto *button = new QPushButton(command.danger ? QStringLiteral("⚠ ") + command.name : command.name, this);
        button->setObjectName(QStringLiteral("commandButton"));
        button->setToolTip(command.confirm);
        connect(button, &QPushButton::clicked, this, [this, command] { emit commandPressed(command); });
        ui->buttonLayout->addWidget(button);
        buttons << button;
        anyDanger |= command.danger;
    }
    ui->dangerTick->setVisible(anyDanger);
    clearTick();
    setVisible(!commands.isEmpty());
}

void CommandPanel::setLineFree(bool free)
{
    lineFree = free;
    showEnabled();
}

void CommandPanel::clearTick()
{
    ui->dangerTick->setChecked(false);
    showEnabled();
}

void CommandPanel::showEnabled()
{
    ui->dangerTick->setEnabled(lineFree);
    for (int i = 0; i < buttons.size(); ++i)
        buttons.at(i)->setEnabled(lineFree && (!commands.at(i).danger || ui->dangerTick->isChecked()));
}

#ifndef COMMANDPANEL_H
#define COMMANDPANEL_H

#include <QFrame>
#include <QList>

#include "registermap/driverroles.h"

QT_BEGIN_NAMESPACE
namespace Ui { class CommandPanel; }
class QPushButton;
QT_END_NAMESPACE

// The 命令 row: a button for each command of the map, and the tick that
// a command changing the driver's settings for good needs before each
// send. Hidden when the map has no commands. Says which command was
// pressed; sending is for its owner.
class CommandPanel : public QFrame
{
    Q_OBJECT

public:
    explicit CommandPanel(QWidget *parent = nullptr);
    ~CommandPanel() override;

    void setCommands(const QList<DriverCommand> &commands);
    // False while the port is closed, a run or a scan holds the line, or a
    // command is under way: no button can be pressed.
    void setLineFree(bool free);
    // After each send and when the line closes, the tick must be given
    // anew.
    void clearTick();

signals:
    void commandPressed(const DriverCommand &command);

protected:
    void changeEvent(QEvent *event) override;

private:
    void showEnabled();

    Ui::CommandPanel *ui;
    QList<DriverCommand> commands;
    QList<QPushButton *> buttons;
    bool lineFree = false;
};

#endif // COMMANDPANEL_H

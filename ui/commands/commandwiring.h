#ifndef COMMANDWIRING_H
#define COMMANDWIRING_H

#include <QObject>

#include <functional>

class DriverCommands;
class ManualSendBox;
class ParameterSetsPanel;
class QAbstractButton;
class PortSession;
class QBoxLayout;
class QWidget;
class RefreshController;
class RegisterStore;
class RequestScheduler;
class SaveBeforeLeave;
class TrafficLogView;

// What the map's commands and the save before leaving follow.
struct CommandWiringParts
{
    QWidget *window;
    RequestScheduler *scheduler;
    RegisterStore *store;
    TrafficLogView *log;
    PortSession *session;
    ParameterSetsPanel *parameterSets;
    ManualSendBox *sendBox;
    RefreshController *refresh;
    // Read all: a command's outcome is read back when it could be pressed.
    QAbstractButton *readAll;
    // The command panel goes right above `table` in it.
    QBoxLayout *tableColumn;
    QWidget *table;
};

// The map's commands under the parameter buttons, and the question whether
// to save before the port, the map or the window goes: both follow the port
// and the runs that hold the line.
class CommandWiring : public QObject
{
    Q_OBJECT

public:
    explicit CommandWiring(const CommandWiringParts &parts);

    SaveBeforeLeave *saveBeforeLeave() const { return leaving; }

signals:
    void notice(const QString &text);

private:
    bool leaveWhenSaved(std::function<void()> leave);

    QWidget *window;
    SaveBeforeLeave *leaving;
};

#endif // COMMANDWIRING_H

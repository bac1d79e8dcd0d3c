#include "ui/commands/commandwiring.h"

#include "ui/commands/commandpanel.h"
#include "ui/commands/drivercommands.h"
#include "ui/commands/savebeforeleave.h"
#include "ui/log/manualsendbox.h"
#include "ui/paramsets/parametersetspanel.h"
#include "ui/port/portsession.h"
#include "registermap/refreshcontroller.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QTimer>

CommandWiring::CommandWiring(const CommandWiringParts &parts)
    : QObject(parts.window)
    , window(parts.window)
{
    auto *commands = new DriverCommands({parts.window, parts.scheduler, parts.store, parts.log});
    parts.tableColumn->insertWidget(parts.tableColumn->indexOf(parts.table), commands->panel());
    connect(commands, &DriverCommands::notice, this, &CommandWiring::notice);
    connect(parts.session, &PortSession::portStateShown, commands, &DriverCommands::setPortOpen);
    connect(parts.session, &PortSession::lineTakenByScan, commands, &DriverCommands::setLineTaken);
    // The tick was given for the driver shown then.
    connect(parts.session, &PortSession::driverChanged, commands->panel(), &CommandPanel::clearTick);
    connect(parts.parameterSets, &ParameterSetsPanel::busyChanged, commands, &DriverCommands::setRunBusy);
    connect(parts.sendBox, &ManualSendBox::sent, commands, &DriverCommands::noteHandSent);
    // An alarm reset or a factory reset changes what the table should show.
    RefreshController *refresh = parts.refresh;
    QAbstractButton *readAll = parts.readAll;
    connect(commands, &DriverCommands::finished, refresh, [refresh, readAll] {
        if (readAll->isEnabled())
            refresh->refreshAll();
    });
    leaving = new SaveBeforeLeave(commands, parts.window);
    connect(leaving, &SaveBeforeLeave::notice, this, &CommandWiring::notice);
    parts.session->setLeaveGate([this](std::function<void()> leave) { return leaveWhenSaved(std::move(leave)); });
}

// A scan's hit reopens the port; the question waits until the scan has given
// the line back, so that a save can go over it first.
bool CommandWiring::leaveWhenSaved(std::function<void()> leave)
{
    if (!leaving->wouldAsk())
        return true;
    QTimer::singleShot(0, window, [this, leave] {
        if (leaving->allowsLeaving(leave))
            leave();
    });
    return false;
}

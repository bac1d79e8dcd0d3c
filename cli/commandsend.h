#ifndef COMMANDSEND_H
#define COMMANDSEND_H

#include "cli/lineholdingrun.h"

#include "cli/commandline.h"
#include "paramsets/commandrun.h"
#include "registermap/driverroles.h"
#include "registermap/registermap.h"


// --command: one command of the map sent to the driver over its own serial
// connection, its outcome on stdout, problems on stderr. finished() carries
// the exit status: 0 when the driver's echo confirmed it; 1 for a map that
// cannot be read, a name it lacks, or a danger command without --yes
// (nothing sent); 2 when the port would not open or the command was not
// confirmed (no answer, refused, a reply that no request asked for).
class CommandSend : public LineHoldingRun
{
    Q_OBJECT

public:
    enum Status { Confirmed = 0, BadInput = 1, NotConfirmed = 2 };

    explicit CommandSend(const CommandLine &options, QObject *parent = nullptr);
    ~CommandSend() override { releaseLine(); }

    void start();
    // Ctrl+C: the command ends now, and says whether it had left.
    void interrupt();


private:
    bool chooseCommand();
    // ""A", "B" (needs --yes)"
    static QString commandList(const QList<DriverCommand> &commands);
    bool openLine();
    void onFinished(const DriverCommand &command, CommandResult result, const QString &reason);
    void onLineLost(const QString &reason);

    const CommandLine &options;
    RegisterMap map;
    DriverProfile profile;
    DriverCommand command;
    CommandRun *run = nullptr;
    bool interrupted = false;
};

#endif // COMMANDSEND_H

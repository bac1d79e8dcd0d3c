#ifndef CAPTURECOMMAND_H
#define CAPTURECOMMAND_H

#include "cli/lineholdingrun.h"

#include "cli/commandline.h"
#include "registermap/registermap.h"

class CaptureRun;
struct Capture;

// --capture: rows of the map captured around a trigger over a serial
// connection of its own and saved as CSV, with the step figures of the
// first row on stdout and problems on stderr. It only reads. finished()
// carries the exit status: 0 captured and saved; 1 a map, a row, an option
// or a file that cannot be used; 2 the port would not open, the driver did
// not answer, the line was lost, a reply came that no request asked for, or
// Ctrl+C; 4 the trigger did not come within --wait.
class CaptureCommand : public LineHoldingRun
{
    Q_OBJECT

public:
    enum Status { Saved = 0, BadInput = 1, NoDriver = 2, NoTrigger = 4 };

    explicit CaptureCommand(const CommandLine &options, QObject *parent = nullptr);
    ~CaptureCommand() override { releaseLine(); }

    void start();
    void interrupt();


private:
    bool openLine();
    void onFinished(const Capture &capture);
    void printFigures(const Capture &capture);

    const CommandLine &options;
    RegisterMap map;
    CaptureRun *run = nullptr;
};

#endif // CAPTURECOMMAND_H

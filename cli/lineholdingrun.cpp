#include "cli/lineholdingrun.h"

#include "protocol/requestscheduler.h"
#include "serial/serial.h"

LineHoldingRun::LineHoldingRun(QObject *parent)
    : QObject(parent)
    , out(stdout)
    , err(stderr)
{
    out.setCodec("UTF-8");
    err.setCodec("UTF-8");
}

void LineHoldingRun::releaseLine()
{
    if (scheduler)
        scheduler->stop();
    if (Serial::instance()->isOpen())
        Serial::instance()->closeLine();
}

void LineHoldingRun::finish(int status)
{
    if (finishedOnce)
        return;
    finishedOnce = true;
    out.flush();
    err.flush();
    if (scheduler)
        scheduler->stop();
    emit finished(status);
}

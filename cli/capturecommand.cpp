#include "cli/capturecommand.h"
#include "cli/mapnotread.h"
#include "util/messagewords.h"

#include "monitor/capturerun.h"
#include "monitor/stepfigures.h"
#include "protocol/requestscheduler.h"
#include "serial/serial.h"

#include <QFileInfo>

#include <cmath>

namespace {

QString msText(double ms)
{
    return std::isnan(ms) ? QStringLiteral("not reached") : QStringLiteral("%1 ms").arg(ms, 0, 'f', 1);
}

} // namespace

CaptureCommand::CaptureCommand(const CommandLine &options, QObject *parent)
    : LineHoldingRun(parent)
    , options(options)
{
}

void CaptureCommand::start()
{
    if (!loadRegisterMap(options.mapPath, &map)) {
        err << "steppertool: " << mapNotReadText(options.mapPath) << Qt::endl;
        return finish(BadInput);
    }
    if (!map.slaveAddressValid && options.slaveAddress == 0) {
        err << "steppertool: the register map's slaveAddress is faulty; give the driver's address with --address"
            << Qt::endl;
        return finish(BadInput);
    }
    // Found out before waiting for a trigger, not after.
    const QFileInfo target(options.captureFile);
    if (target.isDir() || !QFileInfo(target.absolutePath()).isWritable()) {
        err << "steppertool: --capture: cannot write " << options.captureFile << Qt::endl;
        return finish(BadInput);
    }
    if (!openLine())
        return finish(NoDriver);
    run->setMap(map.registers, QFileInfo(options.mapPath).absoluteFilePath());
    if (!run->arm(options.capture)) {
        err << "steppertool: --capture: " << run->error() << Qt::endl;
        return finish(BadInput);
    }
    out << "capture: waiting for the trigger (" << options.capture.trigger.text() << ")" << Qt::endl;
}

bool CaptureCommand::openLine()
{
    Serial *serial = Serial::instance();
    if (!options.openLine(serial)) {
        err << "steppertool: cannot open " << options.lineName() << ": " << serial->openFailure().text() << Qt::endl;
        return false;
    }
    scheduler = new RequestScheduler(serial, this);
    scheduler->setSlaveAddress(quint8(options.slaveAddress ? quint32(options.slaveAddress) : map.slaveAddress));
    scheduler->setTiming(map.txTime, map.rxOutTime);
    scheduler->setGap(options.gapMs);
    connect(serial, &Serial::haveReceive, scheduler, &RequestScheduler::takeBlock);
    connect(serial, &Serial::portLost, this, [this](const QString &reason) {
        err << "steppertool: the line to " << options.lineName() << " failed: " << reason << Qt::endl;
        scheduler->stop();
    });
    run = new CaptureRun(scheduler, this);
    connect(run, &CaptureRun::triggered, this, [this] { out << "capture: triggered" << Qt::endl; });
    connect(run, &CaptureRun::finished, this, &CaptureCommand::onFinished);
    connect(run, &CaptureRun::failed, this, [this](CaptureRun::Failure failure, const QString &reason) {
        err << "steppertool: capture: " << reason << "; nothing was saved" << Qt::endl;
        finish(failure == CaptureRun::Failure::TriggerNeverCame ? NoTrigger : NoDriver);
    });
    scheduler->start();
    return true;
}

void CaptureCommand::onFinished(const Capture &capture)
{
    const QString why = CaptureFile::save(capture, options.captureFile);
    if (!why.isEmpty()) {
        err << "steppertool: cannot save " << options.captureFile << ": " << why << Qt::endl;
        return finish(BadInput);
    }
    int samples = 0;
    for (const CaptureCurve &curve : capture.curves)
        samples = qMax(samples, curve.points.size());
    out << "capture: " << countOf(samples, QStringLiteral("sample")) << " of "
        << countOf(capture.curves.size(), QStringLiteral("row")) << " saved to " << options.captureFile << Qt::endl;
    printFigures(capture);
    finish(Saved);
}

void CaptureCommand::printFigures(const Capture &capture)
{
    const CaptureCurve &first = capture.curves.first();
    const StepFigures figures = StepFigures::measure(first.points);
    if (!figures.valid) {
        out << "step of \"" << first.name << "\": none (no change after the trigger)" << Qt::endl;
        return;
    }
    out << "step of \"" << first.name << "\": " << figures.initial << " -> " << figures.final << ' ' << first.unit
        << ", rise 10-90 % " << msText(figures.riseMs) << ", overshoot "
        << QString::number(figures.overshootPercent, 'f', 1) << " %, settling to 2 % " << msText(figures.settlingMs)
        << Qt::endl;
}

// The capture only reads: an interrupt ends it at once, saving nothing.
void CaptureCommand::interrupt()
{
    if (finishedOnce)
        return;
    if (!run) {
        Serial::instance()->abandonOpening();
        return;
    }
    err << "steppertool: interrupted; nothing was saved" << Qt::endl;
    run->stop();
    finish(NoDriver);
}

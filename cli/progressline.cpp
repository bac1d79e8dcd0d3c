#include "cli/progressline.h"

#include "paramsets/parameterrun.h"

#include <QByteArray>

#include <unistd.h>

namespace {

// Written past stderr's buffer, so the line never waits behind it.
void writeToTerminal(const QByteArray &bytes)
{
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t count = ::write(STDERR_FILENO, bytes.constData() + written, size_t(bytes.size() - written));
        if (count <= 0)
            return;
        written += count;
    }
}

const QByteArray eraseLine("\r\033[K");

} // namespace

ProgressLine::ProgressLine(ParameterRun *run, QObject *parent)
    : QObject(parent)
{
    if (!isatty(STDERR_FILENO))
        return;
    connect(run, &ParameterRun::readProgress, this, [this](int done, int total) { show("reading", done, total); });
    connect(run, &ParameterRun::writeProgress, this, [this](int done, int total) { show("writing", done, total); });
    connect(run, &ParameterRun::readFinished, this, &ProgressLine::erase);
    connect(run, &ParameterRun::writeOutcome, this, &ProgressLine::erase);
    connect(run, &ParameterRun::writeFinished, this, &ProgressLine::erase);
}

void ProgressLine::show(const char *doing, int done, int total)
{
    shown = true;
    writeToTerminal(eraseLine + doing + ' ' + QByteArray::number(done) + '/' + QByteArray::number(total) + '\r');
}

void ProgressLine::erase()
{
    if (shown)
        writeToTerminal(eraseLine);
    shown = false;
}

#include "util/interruptwatch.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

// The newest watch's pipe.
int writeEnd = -1;

void noteInterrupt(int)
{
    const char byte = 1;
    // Nothing to do about a full pipe: an interrupt is already pending.
    [[maybe_unused]] const ssize_t written = write(writeEnd, &byte, 1);
}

} // namespace

InterruptWatch::InterruptWatch(QObject *parent, Also also)
    : QObject(parent)
    , also(also)
{
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (read(pipeEnds[0], bytes, sizeof bytes) > 0) {}
        emit interrupted();
    });
    writeEnd = pipeEnds[1];
    struct sigaction action = {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    if (also == Also::Terminate)
        sigaction(SIGTERM, &action, nullptr);
}

InterruptWatch::~InterruptWatch()
{
    if (writeEnd >= 0 && writeEnd == pipeEnds[1]) {
        signal(SIGINT, SIG_DFL);
        if (also == Also::Terminate)
            signal(SIGTERM, SIG_DFL);
        writeEnd = -1;
    }
    delete notifier;
    for (int &end : pipeEnds) {
        if (end >= 0)
            close(end);
        end = -1;
    }
}

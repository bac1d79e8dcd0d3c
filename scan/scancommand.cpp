#include "scancommand.h"

#include "scan/scanrun.h"
#include "serial/serial.h"
#include "util/messagewords.h"
#include "util/interruptwatch.h"

#include <QEventLoop>
#include <QTextStream>

namespace {

// What a shell reports for a program ended by SIGINT.
constexpr int interruptedStatus = 130;
// The port would not open, or was lost: as for every other run.
constexpr int lineFailedStatus = 2;
// Drivers answered, but replies that no request asked for mean the list may
// lack one.
constexpr int incompleteStatus = 3;

} // namespace

int runScanCommand(const ScanRequest &request, QTextStream &out, QTextStream &err)
{
    ScanRun scan(Serial::instance());
    const bool network = request.network.isSet();
    const QString word = addressWord(request.network.isModbusTcp());
    // A network line is asked once, at no baud rate of ours.
    const char *asked = !network ? " addresses and baud rates" : request.network.isModbusTcp() ? " unit ids" : " addresses";
    QObject::connect(&scan, &ScanRun::hitFound, [&out, network, word](const ScanHit &hit) {
        out << "found: " << word << ' ' << hit.address;
        if (!network)
            out << ", " << hit.baud << " baud";
        out << Qt::endl;
    });
    bool unasked = false;
    QObject::connect(&scan, &ScanRun::unaskedReplies, [&err, &unasked, word](qint64 baud, int count, int from) {
        unasked = true;
        err << "scan: " << (baud ? QStringLiteral("at %1 baud ").arg(baud) : QString()) << countOf(count, QStringLiteral("reply"), QStringLiteral("replies")) << " came that no request asked for (the first from "
            << word << ' ' << from << "): a driver slower than the scan timeout, or another master; a driver may "
            << "have been missed: raise --scan-timeout" << Qt::endl;
    });
    QObject::connect(&scan, &ScanRun::lateReplies, [&err, &unasked, word](qint64, int count, int from) {
        unasked = true;
        err << "scan: " << countOf(count, QStringLiteral("reply"), QStringLiteral("replies")) << " came after the scan timeout (the first from " << word << ' ' << from
            << "): a driver may have been missed: raise --scan-timeout" << Qt::endl;
    });
    QEventLoop loop;
    bool interrupted = false;
    QObject::connect(&scan, &ScanRun::finished, &loop, [&loop, &interrupted](bool cancelled) {
        interrupted = cancelled;
        loop.quit();
    });
    InterruptWatch interrupts;
    QObject::connect(&interrupts, &InterruptWatch::interrupted, &scan, &ScanRun::cancel);
    if (!scan.start(request)) {
        err << "scan: " << scan.errorText() << Qt::endl;
        return lineFailedStatus;
    }
    loop.exec();
    if (!scan.errorText().isEmpty()) {
        err << "scan: " << scan.errorText() << Qt::endl;
        return lineFailedStatus;
    }
    if (interrupted) {
        out << "scan: interrupted; " << scan.hits().size() << " found, " << scan.asked() << " of " << scan.total()
            << asked << " asked on " << request.lineName() << Qt::endl;
        return interruptedStatus;
    }
    out << "scan: " << scan.hits().size() << " found, " << scan.total()
        << asked << " asked on " << request.lineName() << Qt::endl;
    if (scan.hits().isEmpty())
        return 2;
    return unasked ? incompleteStatus : 0;
}

// Bus scan: 247 addresses at one baud rate with the default reply timeout,
// headless as the command line runs it, against tools/simdriver at address 7,
// against 247 x (timeout + the request's wire time).
#include "benchsupport.h"
#include "scan/scancommand.h"
#include "scan/scanrequest.h"
#include "simulatedline.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int baud = 115200;
// Eight bytes of ten bits.
constexpr double perAddressMs = 50 + 8 * 10 * 1000.0 / baud;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString mapFile = dir.filePath(QStringLiteral("RegisterInfo"));
    QFile::copy(QStringLiteral(SOURCE_DIR "/RegisterInfo"), mapFile);
    SimulatedLine line;
    if (!line.start(mapFile, baud, QStringList{QStringLiteral("--address"), QStringLiteral("7")})) {
        std::fprintf(stderr, "bench_scan: the simulator did not start\n");
        return 1;
    }
    ScanRequest request;
    request.port = line.path();
    request.bauds = {baud};
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const qint64 before = bench::monotonicNs();
    const int status = runScanCommand(request, outStream, errStream);
    const double seconds = double(bench::monotonicNs() - before) / 1e9;
    const bool foundIt = status == 0 && out.contains(QStringLiteral("found: address 7, 115200 baud"));
    const double limit = 1.1 * 247 * perAddressMs / 1000.0;
    bench::printResult(QStringLiteral("scan, 247 addresses at 115200 baud, timeout 50 ms"),
                       QStringLiteral("%1 s%2").arg(seconds, 0, 'f', 2).arg(foundIt ? "" : " (driver not found)"),
                       QStringLiteral("<= %1 s").arg(limit, 0, 'f', 2), foundIt && seconds <= limit);
    return 0;
}

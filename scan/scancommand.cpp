#include "scancommand.h"

#include "scan/scanrun.h"
#include "serial/serial.h"

#include <QEventLoop>
#include <QTextStream>

int runScanCommand(const ScanRequest &request, QTextStream &out, QTextStream &err)
{
    ScanRun scan(Serial::instance());
    QObject::connect(&scan, &ScanRun::hitFound, [&out](const ScanHit &hit) {
        out << "found: address " << hit.address << ", " << hit.baud << " baud" << Qt::endl;
    });
    QEventLoop loop;
    QObject::connect(&scan, &ScanRun::finished, &loop, &QEventLoop::quit);
    if (!scan.start(request)) {
        err << "scan: " << scan.errorText() << Qt::endl;
        return 1;
    }
    loop.exec();
    if (!scan.errorText().isEmpty()) {
        err << "scan: " << scan.errorText() << Qt::endl;
        return 1;
    }
    out << "scan: " << scan.hits().size() << " found, " << scan.total() << " addresses and baud rates asked on "
        << request.port << Qt::endl;
    return scan.hits().isEmpty() ? 2 : 0;
}

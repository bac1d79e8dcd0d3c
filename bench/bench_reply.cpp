// Reply handling: the scheduler's handling of good read replies with
// 10,000 rows in the table and the log display off. Each reply goes to
// another row and changes its value, so every call rewrites a cell and a
// lamp, as during the first refresh after opening a port.
#include "ui/mainwindow.h"
#include "benchsupport.h"
#include "protocol/modbusmaster.h"
#include "tests/support/windowinternals.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

namespace {

constexpr int rowCount = 10000;
constexpr int repliesPerBatch = 2000;

QByteArray readReply(quint16 value)
{
    QByteArray reply("\x01\x03\x02", 3);
    reply.append(char(value >> 8));
    reply.append(char(value & 0xFF));
    const quint16 crc = crc16(reinterpret_cast<const uchar *>(reply.constData()), std::size_t(reply.size()));
    reply.append(char(crc & 0xFF));
    reply.append(char(crc >> 8));
    return reply;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    bench::writeFile(dir.filePath(QStringLiteral("RegisterInfo")), bench::generatedMap(rowCount));
    QDir::setCurrent(dir.path());
    MainWindow window;
    window.show();
    QCoreApplication::processEvents();
    MainWindowInspector::isDisplayOn(window) = false;

    // Two values per row, alternating, so each reply changes what it shows.
    const QByteArray replies[] = {readReply(1234), readReply(4321)};
    // The requests that the replies answer, built before the clock runs.
    QVector<PendingCommand> requests;
    for (int row = 0; row < rowCount; ++row)
        requests << MainWindowInspector::tableRead(window, row);
    QVector<double> perReply;
    int row = 0;
    for (int batch = 0; batch < 9; ++batch) {
        const qint64 start = bench::monotonicNs();
        for (int i = 0; i < repliesPerBatch; ++i, ++row) {
            MainWindowInspector::awaitRequest(window, requests.at(row % rowCount));
            MainWindowInspector::receive(window, replies[(row / rowCount) % 2]);
        }
        perReply << (bench::monotonicNs() - start) / 1e3 / repliesPerBatch;
        // Let the window repaint between batches, as it would between replies.
        QCoreApplication::processEvents();
    }
    // A fast slot that stored nothing would be no result.
    const bool stored = MainWindowInspector::registerList(window).at(0).valueText == QLatin1String("4321");
    if (!stored)
        std::fprintf(stderr, "bench_reply: the replies did not reach the table\n");
    const double cost = bench::median(perReply);
    bench::printResult(QStringLiteral("read reply, 10,000 rows, log off"),
                       QStringLiteral("%1 us").arg(cost, 0, 'f', 2),
                       QStringLiteral("< 3.8 us (1.5 x 2.55 us before the scheduler, same machine)"),
                       stored && cost < 3.8);
    return 0;
}

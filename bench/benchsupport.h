#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include <QEventLoop>
#include <QTimer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <ctime>

// What every benchmark program shares: clocks, medians, the process's own
// memory figures, generated register maps and the result lines that
// scripts/bench.sh gathers into one table.
namespace bench {

// CLOCK_MONOTONIC is one clock for all processes, so a launcher's reading
// and its child's can be subtracted.
inline qint64 monotonicNs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

inline qint64 processCpuNs()
{
    timespec used;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return qint64(used.tv_sec) * 1000000000 + used.tv_nsec;
}

// CPU time of the calling thread alone: the GUI thread when called from it.
inline qint64 threadCpuNs()
{
    timespec used;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    return qint64(used.tv_sec) * 1000000000 + used.tv_nsec;
}

inline double median(QVector<double> samples)
{
    if (samples.isEmpty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const int middle = samples.size() / 2;
    return samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

// A field of /proc/self/status in KiB, such as "VmHWM" (peak resident
// memory) or "VmRSS"; -1 when it cannot be read.
inline qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// A map of the shape a real driver has: every register with all six parts,
// a third of them writable, names and remarks of ordinary length. Beyond
// 65,536 registers the addresses start again, as no address is wider than
// 16 bits.
inline QByteArray generatedMap(int registers, int txTime = 100)
{
    QByteArray map = "slaveAddress:1,txTime:" + QByteArray::number(txTime) + ",rxOutTime:1000\n";
    map.reserve(registers * 110);
    for (int i = 0; i < registers; ++i) {
        const QByteArray address = QByteArray::number(i % 0x10000, 16).rightJustified(4, '0').toUpper();
        map += "indexes:0x" + address + ",permission:" + (i % 3 == 0 ? "RW" : "R")
            + ",defaultValue:0x" + QByteArray::number(i % 4096, 16).rightJustified(4, '0')
            + ",rangeValue:0~" + QByteArray::number(1000 + i % 60000)
            + ",name:Parameter " + QByteArray::number(i) + " 参数"
            + ",remarks:unit " + QByteArray::number(i % 10) + " 备注\n";
    }
    return map;
}

// Runs the event loop for ms milliseconds.
inline void spinEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Share of one core this process uses while the event loop runs for ms.
inline double cpuShare(int ms)
{
    const qint64 cpuBefore = processCpuNs();
    const qint64 wallBefore = monotonicNs();
    spinEventLoop(ms);
    return double(processCpuNs() - cpuBefore) / double(monotonicNs() - wallBefore);
}

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// One row of the results table: figure, measured value, target, met.
// scripts/bench.sh collects every line that starts with RESULT.
inline void printResult(const QString &figure, const QString &measured, const QString &target,
                        bool met)
{
    std::printf("RESULT\t%s\t%s\t%s\t%s\n", qPrintable(figure), qPrintable(measured),
                qPrintable(target), met ? "yes" : "NO");
    std::fflush(stdout);
}

// A row that is measured for information and has no target.
inline void printFigure(const QString &figure, const QString &measured)
{
    std::printf("RESULT\t%s\t%s\t-\t-\n", qPrintable(figure), qPrintable(measured));
    std::fflush(stdout);
}

} // namespace bench

#endif // BENCHSUPPORT_H

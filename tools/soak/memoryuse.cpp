#include "memoryuse.h"

#include <QFile>

#include <malloc.h>

namespace {

// VmRSS of /proc/self/status, in kB; 0 when it cannot be read.
qint64 residentKb()
{
    // A /proc file has no size, so it is read whole rather than line by line.
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified().split(' ').value(0).toLongLong();
    }
    return 0;
}

} // namespace

MemoryUse currentMemoryUse()
{
    MemoryUse use;
    use.rssKb = residentKb();
    // Large blocks are mapped rather than carved from the arena; both count.
    const struct mallinfo2 heap = mallinfo2();
    use.heapKb = qint64((heap.uordblks + heap.hblkhd) / 1024);
    return use;
}

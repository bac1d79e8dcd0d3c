#ifndef MEMORYUSE_H
#define MEMORYUSE_H

#include <QtGlobal>

// What this process holds at one moment: resident pages as the kernel
// counts them, and heap bytes handed out by malloc (from its arena or
// mapped on their own) and not yet freed.
struct MemoryUse
{
    qint64 rssKb = 0;
    qint64 heapKb = 0;
};

MemoryUse currentMemoryUse();

#endif // MEMORYUSE_H

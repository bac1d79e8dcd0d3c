#ifndef RUNMARK_H
#define RUNMARK_H

#include <QtGlobal>

// Where the line stood when a run began: what the line has counted since
// tells whether that run was clean.
struct RunMark
{
    quint64 irregular = 0;
    quint64 answers = 0;
};

#endif

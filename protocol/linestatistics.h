#ifndef LINESTATISTICS_H
#define LINESTATISTICS_H

#include <QtGlobal>

// What the line has done since the port was opened (or the counts were
// reset). Hand-sent frames are not requests; a CRC error is any received
// block that fails its check, awaited or not; an unmatched block passed its
// check but answered nothing: a stray, another slave's, a reply of the wrong
// kind or length.
struct LineStatistics
{
    quint64 requests = 0;
    quint64 validReplies = 0;
    quint64 timeouts = 0;
    quint64 crcErrors = 0;
    quint64 unmatched = 0;
    qint64 lastRoundTripMs = -1;  // -1 until a reply has been timed
};

#endif // LINESTATISTICS_H

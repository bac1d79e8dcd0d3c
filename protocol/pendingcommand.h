#ifndef PENDINGCOMMAND_H
#define PENDINGCOMMAND_H

#include <QByteArray>
#include <QtGlobal>

class QObject;

// One request waiting in the send queue, and who asked for it: its outcome
// goes back to its owner, which finds its own context (a table row, a step
// of a restore) through the tag.
struct PendingCommand
{
    QByteArray frame;
    quint16 address = 0;  // the first register the request is for
    quint16 count = 1;    // registers a read asks for
    const QObject *owner = nullptr;
    int tag = -1;
    // Batch work leaves as soon as the line allows (the previous outcome and
    // the inter-frame gap), not on the next tick of txTime.
    bool lineSpeed = false;
    // A write does not leave once the scheduler's doubt count has grown past
    // this mark (a reply that fits no request came since): -1, none yet;
    // enqueueing a write without one gives it the count of that moment.
    qint64 doubtMark = -1;
    // The request that just timed out, sent again at once: a late reply to
    // the first would answer it as well, so it need not wait for the quiet
    // after a timeout; once answered, the next request waits that quiet
    // instead, and the second reply comes as a stray.
    bool repeat = false;
    // A stop of a moving motor: it leaves before anything queued, as soon
    // as the request in flight has its outcome, without the quiet after a
    // timeout, whatever doubt or hold; a stop must always go.
    bool stop = false;

    quint8 slave() const { return frame.isEmpty() ? 0 : quint8(frame.at(0)); }
    quint8 function() const { return frame.size() > 1 ? quint8(frame.at(1)) : 0; }
    bool isWrite() const { return function() == 0x06 || function() == 0x10; }
};

#endif // PENDINGCOMMAND_H

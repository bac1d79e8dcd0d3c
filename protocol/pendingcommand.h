#ifndef PENDINGCOMMAND_H
#define PENDINGCOMMAND_H

#include <QByteArray>
#include <QtGlobal>

class QObject;

// One request waiting in the send queue, and who asked for it: replies and
// failures go back to its owner, which finds its own context (a table row,
// a step of a restore) through the tag.
struct PendingCommand
{
    QByteArray frame;
    quint16 address = 0;  // the first register the request is for
    quint16 count = 1;    // registers a read asks for
    const QObject *owner = nullptr;
    int tag = -1;

    bool isWrite() const { return frame.size() > 1 && frame.at(1) == 0x06; }
};

#endif // PENDINGCOMMAND_H

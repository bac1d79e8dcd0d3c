#ifndef PENDINGCOMMAND_H
#define PENDINGCOMMAND_H

#include <QByteArray>
#include <QtGlobal>

// One request waiting in the send queue. It keeps the register address, not
// the table row: the row is looked up again when the frame is sent.
struct PendingCommand
{
    QByteArray frame;
    quint16 address = 0;
};

#endif // PENDINGCOMMAND_H

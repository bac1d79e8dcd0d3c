#ifndef REPLYFIT_H
#define REPLYFIT_H

#include <QByteArray>
#include <QString>

#include "protocol/pendingcommand.h"
#include "protocol/requestoutcome.h"

// Whether a block answers the request awaited: from its slave, with its
// function, a read reply with 2 bytes a register asked for, a write echo of
// its own address and value (or count), an exception to its function (a
// gateway's 0A or 0B is TimedOut: the driver did not answer). Anything
// else, a failed CRC included, is Garbled. `logText` gets what the
// traffic log should say about the block, empty when it answers.
RequestOutcome judgeReply(const PendingCommand &request, const QByteArray &block, QString *logText);

#endif // REPLYFIT_H

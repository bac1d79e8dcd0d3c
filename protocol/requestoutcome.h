#ifndef REQUESTOUTCOME_H
#define REQUESTOUTCOME_H

#include <QList>
#include <QString>

// What became of one request. Every request gets exactly one.
enum class OutcomeKind {
    Answered,   // a reply that fits it
    Refused,    // an exception reply from its slave to its function
    Garbled,    // a block that failed its CRC or did not fit, while it was awaited
    // Nothing came within the reply wait, or a gateway answered for its
    // driver that it did not (exceptionCode 0A or 0B: driverUnreached()).
    TimedOut,
    Cancelled,  // the session ended (port closed, scan) or its owner withdrew it
};

struct RequestOutcome
{
    OutcomeKind kind = OutcomeKind::Cancelled;
    // Answered: the registers a read asked for, in order, or a write's value.
    QList<quint16> values;
    quint8 exceptionCode = 0;  // Refused, and TimedOut as a gateway said it
    // Whether the frame had left when the outcome came: a cancelled write
    // that had left may have been applied.
    bool frameSent = false;
    // Cancelled, not sent: a write held back because a reply that fits no
    // request came after its doubt mark.
    bool heldForDoubt = false;
    // When the request's frame went onto the line, on the scheduler's clock
    // (RequestScheduler::clockMs()); meaningful when frameSent.
    double sentAtMs = 0;

    bool answered() const { return kind == OutcomeKind::Answered; }
    // A gateway's exception: 0A, it has no path to the driver; 0B, the
    // driver did not answer it.
    bool driverUnreached() const
    {
        return kind == OutcomeKind::TimedOut && (exceptionCode == 0x0A || exceptionCode == 0x0B);
    }
    // An exception that says nothing was done: not 04 (the device failed
    // midway) nor 05 (acknowledge: taken, still working), nor 0B (the
    // driver may have acted without its answer reaching the gateway); 0A
    // (the request never left the gateway) is.
    bool refusedUndone() const
    {
        if (kind == OutcomeKind::TimedOut)
            return exceptionCode == 0x0A;
        return kind == OutcomeKind::Refused && exceptionCode != 0x04 && exceptionCode != 0x05;
    }
    // "no answer", "Modbus exception 02: illegal data address", ...
    QString reason() const;
};

// "Modbus exception 02: illegal data address"
QString exceptionText(quint8 code);

#endif // REQUESTOUTCOME_H

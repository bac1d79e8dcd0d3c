#include "requestoutcome.h"

QString exceptionText(quint8 code)
{
    static const char *const meanings[] = {
        "unknown exception", "illegal function", "illegal data address", "illegal data value",
        "server device failure", "acknowledge", "server device busy", "unknown exception",
        "memory parity error", "unknown exception", "gateway path unavailable",
        "gateway target device failed to respond"};
    const char *meaning = code < sizeof(meanings) / sizeof(meanings[0]) ? meanings[code] : meanings[0];
    const QString number = QString::number(code, 16).rightJustified(2, QLatin1Char('0')).toUpper();
    return QStringLiteral("Modbus exception %1: %2").arg(number, QLatin1String(meaning));
}

QString RequestOutcome::reason() const
{
    switch (kind) {
    case OutcomeKind::Answered: return QString();
    case OutcomeKind::Refused: return exceptionText(exceptionCode);
    case OutcomeKind::Garbled: return QStringLiteral("no valid reply");
    case OutcomeKind::TimedOut:
        return driverUnreached() ? exceptionText(exceptionCode) : QStringLiteral("no answer");
    case OutcomeKind::Cancelled: break;
    }
    if (heldForDoubt)
        return QStringLiteral("held back: a reply that fits no request came first");
    return QStringLiteral("cancelled");
}

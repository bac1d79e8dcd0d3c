#include "monitor/capturetrigger.h"

#include <QRegularExpression>

#include <cmath>

QString CaptureTrigger::parse(const QString &text, CaptureTrigger *trigger)
{
    *trigger = CaptureTrigger();
    if (text.trimmed().isEmpty())
        return QString();
    static const QRegularExpression form(QStringLiteral("^(.+?)\\s*(<>|>|<)\\s*(\\S+)\\s*$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return QStringLiteral("'%1' is not NAME>VALUE, NAME<VALUE or NAME<>VALUE").arg(text);
    bool ok = false;
    const double level = match.captured(3).toDouble(&ok);
    if (!ok || !std::isfinite(level))
        return QStringLiteral("'%1' is not a number").arg(match.captured(3));
    const QString sign = match.captured(2);
    trigger->kind = Kind::Level;
    trigger->row = match.captured(1).trimmed();
    trigger->level = level;
    trigger->edge = sign == QLatin1String(">") ? Edge::Rising : sign == QLatin1String("<") ? Edge::Falling : Edge::Either;
    return QString();
}

QString CaptureTrigger::text() const
{
    switch (kind) {
    case Kind::Immediate: return QStringLiteral("at once");
    case Kind::MoveStart: return QStringLiteral("test move start");
    case Kind::Level: break;
    }
    const char *sign = edge == Edge::Rising ? ">" : edge == Edge::Falling ? "<" : "<>";
    return row + QLatin1String(sign) + QString::number(level, 'g', 12);
}

bool CaptureTrigger::crosses(double before, double after) const
{
    const bool rises = before <= level && after > level;
    const bool falls = before >= level && after < level;
    switch (edge) {
    case Edge::Rising: return rises;
    case Edge::Falling: return falls;
    case Edge::Either: break;
    }
    return rises || falls;
}

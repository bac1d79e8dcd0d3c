#ifndef CAPTURETRIGGER_H
#define CAPTURETRIGGER_H

#include <QString>

// What starts a capture: at once, a row's value crossing a level, or the
// start of a test move (whoever starts the move calls the capture's
// triggerNow()).
struct CaptureTrigger
{
    enum class Kind { Immediate, Level, MoveStart };
    enum class Edge { Rising, Falling, Either };

    Kind kind = Kind::Immediate;
    QString row;  // Level: the row's name
    double level = 0;  // in the row's shown units
    Edge edge = Edge::Rising;

    // "NAME>VALUE" rising above VALUE, "NAME<VALUE" falling below it,
    // "NAME<>VALUE" crossing it either way; an empty text is at once.
    // Returns why the text is refused, or an empty string.
    static QString parse(const QString &text, CaptureTrigger *trigger);
    // As parse() reads it, or "at once", "test move start".
    QString text() const;
    // Whether a value going from `before` to `after` crosses the level in
    // the trigger's direction: rising leaves at or below for above,
    // falling at or above for below.
    bool crosses(double before, double after) const;
};

#endif // CAPTURETRIGGER_H

#pragma once

#include <QColor>

class QPalette;

// The kinds of line the traffic log shows, each in a colour of its own.
enum class LogColour {
    Normal,     // sent frames and notes: the palette's text colour
    SendFailed, // a frame that could not be sent: red
    Received,   // a received frame: grey
    Error,      // timeouts, CRC and port errors: light red
};

// The colour for a kind of log line on the palette's Base background: the
// kind's usual hue, made darker or lighter as little as needed to stay
// readable on that background, light theme or dark.
QColor logColour(LogColour role, const QPalette &palette);

#ifndef WRITEGATE_H
#define WRITEGATE_H

#include <QByteArray>
#include <QList>
#include <QString>

#include "registermap/registerinfo.h"

// Where a write comes from. A file's values (restore, undo, comparison, a
// run over several drivers) never name the driver; a person's (the editor,
// a command, a hand-typed frame, a test move) are asked about what a file
// is refused.
enum class WriteOrigin { Editor, Restore, Undo, Compare, BusRestore, Command, SaveQuestion, HandFrame, TestMove };

// The confirmation a write still needs.
enum class Confirmation { None, Danger, OutOfRange, WriteOnly, Identity };

// What the user has said yes to for this write: the tick and Yes (or
// --yes) for a danger command's value, the range question (or
// --allow-out-of-range), a write-only row named for a restore
// (--include-write-only).
struct WriteConsent
{
    bool danger = false;
    bool outOfRange = false;
    bool writeOnly = false;
    // A hand-typed frame to a row that names the driver.
    bool identity = false;

    void give(Confirmation confirmation);
};

struct GateAnswer
{
    enum class Kind { Allowed, NeedsConfirmation, Refused };
    Kind kind = Kind::Allowed;
    Confirmation confirmation = Confirmation::None;
    // Why, in words: "0x0022 Command: 23205 (0x5AA5) is the danger command
    // \"Factory reset\"".
    QString reason;

    bool allowed() const { return kind == Kind::Allowed; }
};

// The one place that decides whether a write may go to a driver, whatever
// asked for it. It knows the map (every line of an address, the strictest
// reading) and whether the line has been in doubt since the run began; it is
// told where a write comes from and what the user has confirmed. Every frame
// that writes a driver is judged here before it is queued. Widget-free.
class WriteGate
{
public:
    WriteGate() = default;
    explicit WriteGate(const QList<RegisterInfo> &registers) : registers(registers) {}

    void setMap(const QList<RegisterInfo> &map) { registers = map; }
    const QList<RegisterInfo> &map() const { return registers; }

    // A value for one row, raw in the type of the map's first line there.
    GateAnswer judge(WriteOrigin origin, quint16 address, qint64 raw, const WriteConsent &consent = {}) const;
    // A frame as it will leave: each register it writes (function 6, 16,
    // 22 mask write, 23 read and write; the second word of a 32-bit row
    // is that row), in each of the frames typed one after another.
    // Anything else writes nothing and is allowed.
    GateAnswer judgeFrame(WriteOrigin origin, const QByteArray &bytes, const WriteConsent &consent = {}) const;
    // The frame that writes a row's words (value, and nextWord for a 32-bit
    // row) to `slave`: what the editor hands on, and what the gate judges
    // before it is queued.
    static QByteArray rowFrame(quint8 slave, const RegisterInfo &row, int writeFunction);
    // After doubt on the line (a reply that fits no request) nothing more
    // is written in that run.
    static GateAnswer afterDoubt();

private:
    GateAnswer judgeOneFrame(WriteOrigin origin, const QByteArray &frame, const WriteConsent &consent) const;
    quint16 maskedWord(quint16 address, quint16 andMask, quint16 orMask) const;
    GateAnswer judgeWord(WriteOrigin origin, quint16 address, qint64 raw, bool typed,
                         const WriteConsent &consent) const;

    QList<RegisterInfo> registers;
};

// "confirm with --yes" and the like: what the command line says a refusal
// needs.
QString confirmationOption(Confirmation confirmation);

#endif // WRITEGATE_H

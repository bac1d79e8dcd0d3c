#ifndef DRIVERROLES_H
#define DRIVERROLES_H

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

struct RegisterInfo;
struct RegisterMap;

// What a map line says a register is for, beyond its value: part of the
// driver's identity, its alarm, or a register that takes commands; or a part
// in moving the motor: the signed jog speed, the move target, the actual
// position, speed and following error, the driver's own comm timeout, the
// loop gains, and the command lines that start a move and stop the motor.
enum class RowRole : quint8 {
    None, Identity, Serial, Alarm, Status,
    Jog, Target, Position, Speed, FollowingError, CommTimeout, PositionGain, SpeedGain, Move, Stop
};

// One value a command register takes, as "command:NAME=VALUE".
struct RowCommand
{
    QString name;
    quint16 value = 0;
};

struct RowRoles
{
    RowRole role = RowRole::None;
    // The status word's bit that says the driver is in alarm; -1: none.
    int alarmBit = -1;
    QList<RowCommand> commands;
    QString confirm;
    // Command names of this line that change the driver's settings for
    // good, and the one that saves them to non-volatile memory.
    QStringList danger;
    QString save;
};

// The raw texts of a line's role keys; null when the line lacks the key.
struct RoleKeys
{
    QString role;
    QString alarmBit;
    QString command;
    QString confirm;
    QString danger;
    QString save;

    bool take(const QStringRef &key, const QString &value);
};

const QStringList &roleKeyNames();

// Reads the keys against the line's row (its permission, range and bits);
// a problem for each key that cannot be used.
RowRoles parseRowRoles(const RoleKeys &keys, const RegisterInfo &info, QStringList *problems);

// A command as the window and the command line offer it.
struct DriverCommand
{
    QString name;
    quint16 address = 0;
    quint16 value = 0;
    QString confirm;
    bool danger = false;
    bool save = false;
};

// What the map says about the driver as a whole, from its usable rows.
struct DriverProfile
{
    // Addresses in map order.
    QList<quint16> identity;
    // Identity rows that differ from unit to unit: shown and stamped,
    // never compared.
    QList<quint16> serial;
    int alarmAddress = -1;
    int statusAddress = -1;
    int alarmBit = -1;
    // The commands the window and --command offer. The move and stop
    // commands are not among them: only the test run sends those.
    QList<DriverCommand> commands;
    // The motion rows by role (Jog ... SpeedGain); the move and stop
    // commands (an empty name: none).
    QMap<RowRole, quint16> motionRows;
    DriverCommand moveCommand;
    DriverCommand stopCommand;

    int motionAddress(RowRole role) const { return motionRows.contains(role) ? motionRows.value(role) : -1; }
    bool hasAlarm() const { return alarmAddress >= 0 || statusAddress >= 0; }
    const DriverCommand *command(const QString &name) const;
    // The commands a typed name may mean, ignoring case: the one whose whole
    // name it is, else every one whose name holds it ("alarm" for
    // "报警清除 Alarm reset"). More than one means it is ambiguous.
    QList<const DriverCommand *> commandsMatching(const QString &typed) const;
    const DriverCommand *saveCommand() const;
};

// Also notes in `problems` (when given) what only the whole map shows:
// a second alarm or status row, a command name used twice, a second save.
DriverProfile driverProfile(const QList<RegisterInfo> &rows, QStringList *problems = nullptr);

// The identity a driver gave or a file records: raw values by address.
struct DriverIdentity
{
    QMap<quint16, qint64> values;

    bool isEmpty() const { return values.isEmpty(); }
    // "identity 0x0040=8964 0x0041=112", as parameter files carry it.
    QString comment() const;
    static bool fromComment(const QString &comment, DriverIdentity *identity);
};

// "型号 Model 0x2304 · 固件版本 Firmware 1.12", each value in its row's form.
QString identityText(const DriverIdentity &identity, const QList<RegisterInfo> &rows);

// The compared rows (not serial numbers) whose values differ where both
// identities have them, as "型号 Model 0x2304 ≠ 0x2305"; empty when they
// match or either has none of them.
QStringList identityDifferences(const DriverIdentity &file, const DriverIdentity &driver,
                                const QList<RegisterInfo> &rows);

#endif // DRIVERROLES_H

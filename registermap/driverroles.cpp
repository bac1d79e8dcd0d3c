#include "registermap/driverroles.h"
#include "registermap/addressrules.h"

#include "registermap/registerinfo.h"
#include "registermap/registerrange.h"
#include "registermap/registervalue.h"

#include <QSet>

namespace {

// "1" or "0x5AA5": command values are often magic numbers given in hex.
bool parseCommandValue(const QString &text, qint64 *value)
{
    bool ok = false;
    const QString trimmed = text.trimmed();
    *value = trimmed.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? trimmed.mid(2).toLongLong(&ok, 16)
                                                                            : trimmed.toLongLong(&ok, 10);
    return ok && !trimmed.isEmpty();
}

// In the order a problem lists them.
const QList<QPair<QString, RowRole>> &roleNames()
{
    static const QList<QPair<QString, RowRole>> roles = {
        {QStringLiteral("identity"), RowRole::Identity},   {QStringLiteral("serial"), RowRole::Serial},
        {QStringLiteral("alarm"), RowRole::Alarm},         {QStringLiteral("status"), RowRole::Status},
        {QStringLiteral("jog"), RowRole::Jog},             {QStringLiteral("target"), RowRole::Target},
        {QStringLiteral("position"), RowRole::Position},   {QStringLiteral("speed"), RowRole::Speed},
        {QStringLiteral("followingError"), RowRole::FollowingError},
        {QStringLiteral("commTimeout"), RowRole::CommTimeout},
        {QStringLiteral("positionGain"), RowRole::PositionGain},
        {QStringLiteral("speedGain"), RowRole::SpeedGain}, {QStringLiteral("move"), RowRole::Move},
        {QStringLiteral("stop"), RowRole::Stop}};
    return roles;
}

QString roleName(RowRole role)
{
    for (const auto &named : roleNames()) {
        if (named.second == role)
            return named.first;
    }
    return QString();
}

RowRole parseRole(const QString &text, bool *ok)
{
    for (const auto &named : roleNames()) {
        if (named.first == text.trimmed()) {
            *ok = true;
            return named.second;
        }
    }
    *ok = false;
    return RowRole::None;
}

QString roleList()
{
    QStringList names;
    for (const auto &named : roleNames())
        names << named.first;
    return names.join(QStringLiteral(", "));
}

bool isCommandRole(RowRole role)
{
    return role == RowRole::Move || role == RowRole::Stop;
}

bool isWrittenRole(RowRole role)
{
    return role == RowRole::Jog || role == RowRole::Target || role == RowRole::PositionGain
        || role == RowRole::SpeedGain;
}

// What a role asks of its row beyond being readable; empty when the row
// fits. A jog row must take negative speeds, and the comm timeout is only
// understood in ms or s.
QString rowRoleProblem(RowRole role, const RegisterInfo &info)
{
    const QString name = roleName(role);
    if (isWrittenRole(role) && !info.permission.contains(QLatin1Char('w'), Qt::CaseInsensitive))
        return QStringLiteral("role:%1 is on a row that cannot be written").arg(name);
    if (role == RowRole::Jog && !info.format.isSigned())
        return QStringLiteral("role:jog needs a signed row (type s16 or s32): 0 stops, the sign is the direction");
    if (role == RowRole::CommTimeout && info.format.unit != QLatin1String("ms")
        && info.format.unit != QLatin1String("s"))
        return QStringLiteral("role:commTimeout needs unit:ms or unit:s");
    return QString();
}

// The move and stop roles mark a command line; every other role a row that
// can be read.
QString roleProblem(const RoleKeys &keys, RowRole role, const RegisterInfo &info)
{
    const QString name = keys.role.trimmed();
    if (!isCommandRole(role))
        return isWriteOnly(info.permission) ? QStringLiteral("role:%1 is on a row that cannot be read").arg(name)
                                            : rowRoleProblem(role, info);
    if (keys.command.split(QLatin1Char(';'), Qt::SkipEmptyParts).size() != 1)
        return QStringLiteral("role:%1 needs a command line with exactly one command").arg(name);
    if (!keys.danger.isNull())
        return QStringLiteral("role:%1 cannot be a danger command").arg(name);
    return QString();
}

void readRole(const RoleKeys &keys, const RegisterInfo &info, RowRoles *roles, QStringList *problems)
{
    if (!keys.role.isNull()) {
        bool ok = false;
        roles->role = parseRole(keys.role, &ok);
        const QString problem = ok ? roleProblem(keys, roles->role, info) : QString();
        if (!ok)
            *problems << QStringLiteral("role \"%1\" is none of %2").arg(keys.role, roleList());
        else if (!problem.isEmpty())
            *problems << problem;
    }
    if (roles->role == RowRole::Status) {
        bool ok = false;
        const int bit = keys.alarmBit.toInt(&ok, 10);
        if (keys.alarmBit.isNull() || !ok || !info.format.bitNames.contains(bit))
            *problems << QStringLiteral("role:status needs alarmBit:N naming one of the row's bits");
        else
            roles->alarmBit = bit;
    } else if (!keys.alarmBit.isNull()) {
        *problems << QStringLiteral("alarmBit belongs on a role:status row");
    }
}

// A second name for a danger command's value would send it unguarded.
void noteDangerTwins(const RowRoles &roles, QStringList *problems)
{
    for (const RowCommand &command : roles.commands) {
        for (const RowCommand &danger : roles.commands) {
            if (roles.danger.contains(danger.name) && !roles.danger.contains(command.name)
                && command.value == danger.value)
                *problems << QStringLiteral("command \"%1\" sends what the danger command \"%2\" sends")
                                 .arg(command.name, danger.name);
        }
    }
}

void readCommands(const RoleKeys &keys, const RegisterInfo &info, RowRoles *roles, QStringList *problems)
{
    const bool writeOnly = isWriteOnly(info.permission);
    if (!keys.confirm.isNull() && !writeOnly)
        *problems << QStringLiteral("confirm is on a row that can be read; commands go to write-only rows");
    if (keys.command.isNull()) {
        if (!keys.confirm.isNull() || !keys.danger.isNull() || !keys.save.isNull())
            *problems << QStringLiteral("confirm, danger and save need a command on the same line");
        return;
    }
    if (!writeOnly) {
        *problems << QStringLiteral("command is on a row that can be read; commands go to write-only rows");
        return;
    }
    if (info.format.wordCount() != 1) {
        *problems << QStringLiteral("command is on a 32-bit row; commands are one register");
        return;
    }
    const RegisterValue value(info.format);
    QSet<QString> names;
    for (const QString &piece : keys.command.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int equals = piece.indexOf(QLatin1Char('='));
        RowCommand command;
        command.name = piece.left(equals).trimmed();
        qint64 raw = 0;
        if (equals < 0 || command.name.isEmpty() || !parseCommandValue(piece.mid(equals + 1), &raw)) {
            *problems << QStringLiteral("command \"%1\" is no NAME=VALUE").arg(piece.trimmed());
            continue;
        }
        if (!value.fitsType(raw) || !isWithinRange(info, value.toWords(raw).first())) {
            *problems << QStringLiteral("command \"%1\": %2 is outside the register's range %3")
                             .arg(command.name).arg(raw).arg(info.rangeText);
            continue;
        }
        if (names.contains(command.name)) {
            *problems << QStringLiteral("command \"%1\" is named twice").arg(command.name);
            continue;
        }
        names.insert(command.name);
        command.value = value.toWords(raw).first();
        roles->commands << command;
    }
    if (roles->commands.isEmpty() && problems->isEmpty())
        *problems << QStringLiteral("command names no command");
    for (const QString &name : keys.danger.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (names.contains(name.trimmed()))
            roles->danger << name.trimmed();
        else
            *problems << QStringLiteral("danger \"%1\" is no command of this line").arg(name.trimmed());
    }
    if (!keys.danger.isNull() && keys.danger.trimmed().isEmpty())
        *problems << QStringLiteral("danger names no command");
    noteDangerTwins(*roles, problems);
    if (!keys.save.isNull()) {
        // Leaving the port sends the save on a plain Yes, without the tick.
        if (roles->danger.contains(keys.save.trimmed()))
            *problems << QStringLiteral("save \"%1\" is also a danger command; the save goes without the tick")
                             .arg(keys.save.trimmed());
        else if (names.contains(keys.save.trimmed()))
            roles->save = keys.save.trimmed();
        else
            *problems << QStringLiteral("save \"%1\" is no command of this line").arg(keys.save.trimmed());
    }
    roles->confirm = keys.confirm.trimmed();
}

void noteSecond(const char *what, const RegisterInfo &row, QStringList *problems)
{
    if (problems)
        *problems << QStringLiteral("register %1: a second %2 row; the first one is used")
                         .arg(row.addressText, QLatin1String(what));
}

// Rows that repeat an address may give a danger command's frame another
// name: it is guarded alike.
void guardDangerTwins(DriverProfile *profile, QStringList *problems)
{
    for (DriverCommand &command : profile->commands) {
        for (const DriverCommand &danger : qAsConst(profile->commands)) {
            if (command.danger || !danger.danger || command.address != danger.address || command.value != danger.value)
                continue;
            command.danger = true;
            // Leaving the port sends the save on a plain Yes, without the
            // tick: a danger twin is never offered as the save.
            if (command.save && problems)
                *problems << QStringLiteral("register %1: save \"%2\" sends what the danger command \"%3\" sends; "
                                            "it is not offered as the save").arg(QStringLiteral("0x") + QString::number(command.address, 16).toUpper().rightJustified(4, QLatin1Char('0')),
                                                 command.name, danger.name);
            command.save = false;
            if (problems)
                *problems << QStringLiteral("command \"%1\" sends what the danger command \"%2\" sends; it is "
                                            "guarded alike").arg(command.name, danger.name);
        }
    }
}

void addMotionRow(const RegisterInfo &row, DriverProfile *profile, QStringList *problems)
{
    if (profile->motionRows.contains(row.roles.role))
        noteSecond(qPrintable(QStringLiteral("role:") + roleName(row.roles.role)), row, problems);
    else
        profile->motionRows.insert(row.roles.role, row.address);
}

// Kept apart from the other commands, so that nothing but the test run
// starts a move.
void addMotionCommand(const RegisterInfo &row, DriverProfile *profile, QStringList *problems)
{
    DriverCommand *const command = row.roles.role == RowRole::Move ? &profile->moveCommand : &profile->stopCommand;
    if (!command->name.isEmpty())
        return noteSecond(qPrintable(QStringLiteral("role:") + roleName(row.roles.role)), row, problems);
    command->name = row.roles.commands.value(0).name;
    command->address = row.address;
    command->value = row.roles.commands.value(0).value;
    command->confirm = row.roles.confirm;
}

} // namespace

const QStringList &roleKeyNames()
{
    static const QStringList names = {QStringLiteral("role"),    QStringLiteral("alarmBit"),
                                      QStringLiteral("command"), QStringLiteral("confirm"),
                                      QStringLiteral("danger"),  QStringLiteral("save")};
    return names;
}

bool RoleKeys::take(const QStringRef &key, const QString &value)
{
    QString *const fields[] = {&role, &alarmBit, &command, &confirm, &danger, &save};
    const int index = roleKeyNames().indexOf(key.toString());
    if (index < 0)
        return false;
    // An empty value is given all the same: "role:" is a fault.
    *fields[index] = value.isNull() ? QString(QLatin1String("")) : value;
    return true;
}

RowRoles parseRowRoles(const RoleKeys &keys, const RegisterInfo &info, QStringList *problems)
{
    RowRoles roles;
    QStringList found;
    readRole(keys, info, &roles, &found);
    readCommands(keys, info, &roles, &found);
    *problems << found;
    // A row whose role keys are faulty takes no part in what they describe.
    return found.isEmpty() ? roles : RowRoles();
}

const DriverCommand *DriverProfile::command(const QString &name) const
{
    for (const DriverCommand &command : commands) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

QList<const DriverCommand *> DriverProfile::commandsMatching(const QString &typed) const
{
    const QString part = typed.simplified();
    QList<const DriverCommand *> holding;
    if (part.isEmpty())
        return holding;
    for (const DriverCommand &each : commands) {
        if (each.name.compare(part, Qt::CaseInsensitive) == 0)
            return {&each};
        if (each.name.simplified().contains(part, Qt::CaseInsensitive))
            holding << &each;
    }
    return holding;
}

const DriverCommand *DriverProfile::saveCommand() const
{
    for (const DriverCommand &command : commands) {
        if (command.save)
            return &command;
    }
    return nullptr;
}

DriverProfile driverProfile(const QList<RegisterInfo> &rows, QStringList *problems)
{
    DriverProfile profile;
    for (const RegisterInfo &row : rows) {
        if (!row.addressValid)
            continue;
        switch (row.roles.role) {
        case RowRole::Identity: profile.identity << row.address; break;
        case RowRole::Serial: profile.identity << row.address; profile.serial << row.address; break;
        case RowRole::Alarm:
            if (profile.alarmAddress >= 0)
                noteSecond("role:alarm", row, problems);
            else
                profile.alarmAddress = row.address;
            break;
        case RowRole::Status:
            if (profile.statusAddress >= 0) {
                noteSecond("role:status", row, problems);
            } else {
                profile.statusAddress = row.address;
                profile.alarmBit = row.roles.alarmBit;
            }
            break;
        case RowRole::None: break;
        case RowRole::Move:
        case RowRole::Stop: addMotionCommand(row, &profile, problems); continue;
        default: addMotionRow(row, &profile, problems); break;
        }
        for (const RowCommand &rowCommand : row.roles.commands) {
            if (profile.command(rowCommand.name)) {
                if (problems)
                    *problems << QStringLiteral("register %1: command \"%2\" is already a command of another "
                                                "row; the first one is used").arg(row.addressText, rowCommand.name);
                continue;
            }
            DriverCommand command;
            command.name = rowCommand.name;
            command.address = row.address;
            command.value = rowCommand.value;
            command.confirm = row.roles.confirm;
            command.danger = row.roles.danger.contains(rowCommand.name);
            command.save = row.roles.save == rowCommand.name && !profile.saveCommand();
            if (row.roles.save == rowCommand.name && !command.save && problems)
                *problems << QStringLiteral("register %1: a second save command; the first one is used")
                                 .arg(row.addressText);
            profile.commands << command;
        }
    }
    guardDangerTwins(&profile, problems);
    return profile;
}

QString DriverIdentity::comment() const
{
    QStringList parts;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        parts << QStringLiteral("0x%1=%2").arg(it.key(), 4, 16, QLatin1Char('0')).arg(it.value());
    return QStringLiteral("identity ") + parts.join(QLatin1Char(' '));
}

bool DriverIdentity::fromComment(const QString &comment, DriverIdentity *identity)
{
    if (!comment.startsWith(QLatin1String("identity ")))
        return false;
    DriverIdentity read;
    for (const QString &part : comment.mid(9).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int equals = part.indexOf(QLatin1Char('='));
        bool addressOk = false;
        bool valueOk = false;
        const uint address = part.left(equals).toUInt(&addressOk, 16);
        const qint64 value = part.mid(equals + 1).toLongLong(&valueOk, 10);
        if (equals < 0 || !addressOk || !valueOk || address > 0xFFFF)
            return false;
        read.values.insert(quint16(address), value);
    }
    *identity = read;
    return !read.isEmpty();
}

namespace {

// In the register table's form, so that the two never disagree.
QString identityValueText(const RegisterInfo *row, qint64 raw)
{
    if (!row)
        return QStringLiteral("0x") + QStringLiteral("%1").arg(quint16(raw), 4, 16, QLatin1Char('0')).toUpper();
    return RegisterValue(row->format).text(raw);
}

} // namespace

QString identityText(const DriverIdentity &identity, const QList<RegisterInfo> &rows)
{
    QStringList parts;
    for (auto it = identity.values.constBegin(); it != identity.values.constEnd(); ++it) {
        const RegisterInfo *row = linesAt(rows, it.key()).value(0);
        const QString name = row ? row->name : QStringLiteral("0x%1").arg(it.key(), 4, 16, QLatin1Char('0'));
        parts << name + QLatin1Char(' ') + identityValueText(row, it.value());
    }
    return parts.join(QStringLiteral(" · "));
}

QStringList identityDifferences(const DriverIdentity &file, const DriverIdentity &driver,
                                const QList<RegisterInfo> &rows)
{
    const DriverProfile profile = driverProfile(rows);
    QStringList differences;
    for (quint16 address : profile.identity) {
        if (profile.serial.contains(address) || !file.values.contains(address))
            continue;
        const RegisterInfo *row = linesAt(rows, address).value(0);
        const qint64 fileValue = file.values.value(address);
        const QString driverText = driver.values.contains(address)
                                       ? identityValueText(row, driver.values.value(address))
                                       : QStringLiteral("?");
        if (!driver.values.contains(address) || driver.values.value(address) != fileValue)
            differences << QStringLiteral("%1 %2 ≠ %3").arg(row->name, identityValueText(row, fileValue), driverText);
    }
    return differences;
}

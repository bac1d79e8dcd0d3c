#include "registermap/addressrules.h"

#include "registermap/registerrange.h"
#include "registermap/registervalue.h"

namespace {

bool has(const QString &permission, char letter)
{
    return permission.contains(QLatin1Char(letter), Qt::CaseInsensitive);
}

// A row without value-format keys checks its range as it always has.
bool inLineRange(const RegisterInfo &line, qint64 raw)
{
    const RegisterFormat &format = line.format;
    if (format.type == ValueType::U16 && format.scaleUnits == 1 && format.decimals == 0)
        return isWithinRange(line, quint16(raw));
    return RegisterValue(format).fitsType(raw) && RegisterValue(format).inRange(raw);
}

// What a line says against writing its address, usable or not: a line the
// map could not use (a misspelt key) still says it is danger.
void restrict(const RegisterInfo &line, AddressRules *rules)
{
    rules->identity |= line.roles.role == RowRole::Identity || line.roles.role == RowRole::Serial;
    rules->serial |= line.roles.role == RowRole::Serial;
    rules->readOnly |= !has(line.permission, 'w');
    rules->writeOnly |= has(line.permission, 'w') && !has(line.permission, 'r');
    rules->startsMotion |= line.roles.role == RowRole::Jog || line.roles.role == RowRole::Move;
    for (const RowCommand &command : line.roles.commands) {
        rules->commands << command;
        if (line.roles.danger.contains(command.name)) {
            rules->dangerNames << command.name;
            rules->dangerValues << command.value;
        }
    }
}

void take(const RegisterInfo &line, AddressRules *rules)
{
    rules->lines << &line;
    restrict(line, rules);
}

} // namespace

QList<const RegisterInfo *> linesAt(const QList<RegisterInfo> &rows, quint16 address)
{
    QList<const RegisterInfo *> lines;
    for (const RegisterInfo &row : rows) {
        if (row.addressValid && row.address == address)
            lines << &row;
    }
    return lines;
}

int firstLineIndex(const QList<RegisterInfo> &rows, int address)
{
    for (int index = 0; index < rows.size() && address >= 0; ++index) {
        if (rows.at(index).addressValid && rows.at(index).address == address)
            return index;
    }
    return -1;
}

AddressRules addressRules(const QList<RegisterInfo> &rows, quint16 address)
{
    AddressRules rules;
    rules.address = address;
    for (const RegisterInfo &row : rows) {
        if (row.addressValid && row.address == address)
            take(row, &rules);
        else if (row.addressRead && row.address == address)
            restrict(row, &rules);
    }
    // A second name for a danger command's value sends the same frame.
    for (const RowCommand &command : qAsConst(rules.commands)) {
        if (rules.dangerValues.contains(command.value) && !rules.dangerNames.contains(command.name))
            rules.dangerNames << command.name;
    }
    return rules;
}

const RegisterInfo *AddressRules::rangeRefusing(qint64 raw) const
{
    for (const RegisterInfo *line : lines) {
        if (!inLineRange(*line, raw))
            return line;
    }
    return nullptr;
}

QString AddressRules::label() const
{
    const QString number = QStringLiteral("0x") + QStringLiteral("%1").arg(address, 4, 16, QLatin1Char('0')).toUpper();
    return first() && !first()->name.isEmpty() ? number + QLatin1Char(' ') + first()->name : number;
}

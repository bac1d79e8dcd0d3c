#include "paramsets/restoreplan.h"

#include "registermap/addressrules.h"

namespace {

// The identity rows that tell one model or firmware from another.
QList<quint16> comparedRows(const DriverProfile &profile)
{
    QList<quint16> rows;
    for (quint16 address : profile.identity) {
        if (!profile.serial.contains(address))
            rows << address;
    }
    return rows;
}

QString rowNames(const QList<quint16> &addresses, const QList<RegisterInfo> &registers)
{
    QStringList names;
    for (quint16 address : addresses)
        names << addressRules(registers, address).label();
    return names.join(QLatin1String(", "));
}

} // namespace

DriverIdentity fileIdentity(const ParameterFile &file, const QList<RegisterInfo> &registers)
{
    if (!file.identity.isEmpty())
        return file.identity;
    DriverIdentity fromRows;
    const QList<quint16> identityRows = driverProfile(registers).identity;
    for (const ParameterEntry &entry : file.entries) {
        if (identityRows.contains(entry.address) && !fromRows.values.contains(entry.address))
            fromRows.values.insert(entry.address, entry.value);
    }
    return fromRows;
}

RestorePlan::RestorePlan(const QList<RegisterInfo> &registers, const ParameterFile &file, const RowValues &driver,
                         const RestoreChoices &choices, WriteOrigin origin)
    : registers(registers)
    , driver(driver)
    , choices(choices)
    , writeOrigin(origin)
{
    checkIdentity(registers, file, driver);
    const WriteGate gate(registers);
    for (const CompareRow &row : compareParameters(file.entries, registers, driver))
        planned << planRow(gate, row);
}

void RestorePlan::checkIdentity(const QList<RegisterInfo> &registers, const ParameterFile &file,
                                const RowValues &driver)
{
    const DriverIdentity recorded = fileIdentity(file, registers);
    check = ::checkIdentity(recorded, registers, driver);
    const DriverProfile profile = driverProfile(registers);
    const QList<quint16> compared = comparedRows(profile);
    bool anyRecorded = false;
    for (quint16 address : compared)
        anyRecorded |= recorded.values.contains(address);
    if (check.differs())
        verdict = IdentityVerdict::Differs;
    else if (!compared.isEmpty() && !anyRecorded)
        verdict = IdentityVerdict::NotRecorded;
    notRecordedRows = rowNames(compared, registers);
    // Serial numbers too: one unit's undo file is no undo for another. A map
    // without identity rows tells no units apart: the folder alone speaks.
    bool sameUnit = file.undo && isInUndoFolder(file.path) && verdict == IdentityVerdict::Matches;
    for (quint16 address : profile.identity) {
        sameUnit = sameUnit && recorded.values.contains(address) && driver.contains(address)
                   && recorded.values.value(address) == driver.value(address);
    }
    ownUndo = sameUnit;
}

PlanRow RestorePlan::planRow(const WriteGate &gate, const CompareRow &row) const
{
    PlanRow plan;
    plan.row = row;
    const quint16 address = row.entry.address;
    const bool differs = row.state == CompareState::Differs || row.outsideMapRange;
    const bool writeOnly = row.state == CompareState::WriteOnly;
    if (choices.skip.contains(address)) {
        plan.step = PlanStep::Skipped;
    } else if (writeOnly && !choices.includeWriteOnly.contains(address)) {
        plan.step = PlanStep::WriteOnlyLeft;
    } else if (writeOnly || differs) {
        WriteConsent given = consent();
        given.writeOnly = choices.includeWriteOnly.contains(address);
        plan.answer = gate.judge(origin(), address, row.entry.value, given);
        plan.step = plan.answer.allowed() ? PlanStep::Write
                    : plan.answer.kind == GateAnswer::Kind::NeedsConfirmation ? PlanStep::Blocked
                                                                                : PlanStep::Refused;
    }
    return plan;
}

QString RestorePlan::identityProblem() const
{
    switch (verdict) {
    case IdentityVerdict::Matches: return QString();
    case IdentityVerdict::Differs:
        return QStringLiteral("the file is for %1 but the driver is %2 (%3)")
            .arg(check.fileText, check.driverText, check.differences.join(QLatin1String("; ")));
    case IdentityVerdict::NotRecorded:
        return QStringLiteral("identity not recorded: the file names no driver (%1)").arg(notRecordedRows);
    }
    return QString();
}

QList<CompareRow> RestorePlan::compared() const
{
    QList<CompareRow> rows;
    for (const PlanRow &row : planned)
        rows << row.row;
    return rows;
}

QString RestorePlan::saveUndo(const QString &port, quint32 slaveAddress, const QString &mapPath, QString *error) const
{
    return saveUndoFile(answeredEntries(registers, driver), readIdentity(registers, driver), port, slaveAddress,
                        mapPath, error);
}

QList<ParameterEntry> RestorePlan::writes() const
{
    QList<ParameterEntry> entries;
    QSet<quint16> addresses;
    for (const PlanRow &row : planned) {
        if (row.step != PlanStep::Write || addresses.contains(row.row.entry.address))
            continue;
        addresses.insert(row.row.entry.address);
        ParameterEntry write = row.row.entry;
        write.name = row.row.info.name;
        entries << write;
    }
    return entries;
}

QList<CompareRow> RestorePlan::blockedRows(Confirmation confirmation) const
{
    QList<CompareRow> rows;
    for (const PlanRow &row : planned) {
        if (row.step == PlanStep::Blocked && row.answer.confirmation == confirmation)
            rows << row.row;
    }
    return rows;
}

QStringList RestorePlan::blockedReasons(Confirmation confirmation) const
{
    QStringList reasons;
    for (const PlanRow &row : planned) {
        if (row.step == PlanStep::Blocked && row.answer.confirmation == confirmation
            && !reasons.contains(row.answer.reason))
            reasons << row.answer.reason;
    }
    return reasons;
}

bool RestorePlan::anyBlocked() const
{
    for (const PlanRow &row : planned) {
        if (row.step == PlanStep::Blocked)
            return true;
    }
    return false;
}

WriteConsent RestorePlan::consent() const
{
    WriteConsent given;
    given.danger = choices.confirmDanger;
    given.outOfRange = choices.allowOutOfRange || ownUndo;
    given.writeOnly = !choices.includeWriteOnly.isEmpty();
    return given;
}

#include "paramsets/identitycheck.h"
#include "registermap/addressrules.h"

namespace {

QString rowName(quint16 address, const QList<RegisterInfo> &registers)
{
    const RegisterInfo *row = linesAt(registers, address).value(0);
    return row ? row->name : QString();
}

// Each of `addresses` as identityText shows it, "?" for those `identity`
// lacks.
QString rowsText(const DriverIdentity &identity, const QList<quint16> &addresses,
                 const QList<RegisterInfo> &registers)
{
    QStringList parts;
    for (quint16 address : addresses) {
        DriverIdentity one;
        one.values.insert(address, identity.values.value(address));
        parts << (identity.values.contains(address) ? identityText(one, registers)
                                                     : rowName(address, registers) + QStringLiteral(" ?"));
    }
    return parts.join(QStringLiteral(" · "));
}

} // namespace

DriverIdentity readIdentity(const QList<RegisterInfo> &registers, const QHash<quint16, qint64> &values)
{
    DriverIdentity identity;
    for (quint16 address : driverProfile(registers).identity) {
        if (values.contains(address))
            identity.values.insert(address, values.value(address));
    }
    return identity;
}

IdentityCheck checkIdentity(const DriverIdentity &file, const QList<RegisterInfo> &registers,
                            const QHash<quint16, qint64> &driverValues)
{
    IdentityCheck check;
    const QList<quint16> mapRows = driverProfile(registers).identity;
    check.shown = !mapRows.isEmpty();
    QList<quint16> recorded;
    for (quint16 address : mapRows) {
        if (file.values.contains(address))
            recorded << address;
    }
    if (recorded.isEmpty())
        return check;
    const DriverIdentity driver = readIdentity(registers, driverValues);
    check.fileText = rowsText(file, mapRows, registers);
    check.driverText = rowsText(driver, mapRows, registers);
    check.differences = identityDifferences(file, driver, registers);
    // A file that records the identity in part (a backup whose model row
    // went unanswered) cannot vouch for the rest.
    const DriverProfile profile = driverProfile(registers);
    for (quint16 address : mapRows) {
        if (!profile.serial.contains(address) && !file.values.contains(address))
            check.differences << QStringLiteral("%1 ? ≠ %2").arg(rowName(address, registers),
                                                                  rowsText(driver, {address}, registers)
                                                                      .section(QLatin1Char(' '), -1));
    }
    return check;
}

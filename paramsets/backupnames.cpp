#include "paramsets/backupnames.h"
#include "registermap/addressrules.h"

#include "registermap/driverroles.h"
#include "registermap/registervalue.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

// A plain register shows as the hexadecimal a data sheet gives a model
// code in; anything else as the table shows its number.
QString namePart(const QList<RegisterInfo> &registers, const RowValues &values, quint16 address)
{
    const RegisterInfo *info = linesAt(registers, address).value(0);
    if (!info || !values.contains(address))
        return QString();
    const qint64 raw = values.value(address);
    const RegisterFormat &format = info->format;
    const bool plain = format.type == ValueType::U16 && format.scaleUnits == 1 && format.decimals == 0
                    && format.states.isEmpty() && format.bitNames.isEmpty();
    const QString text = plain ? QStringLiteral("%1").arg(raw, 4, 16, QLatin1Char('0')).toUpper()
                               : RegisterValue(format).numberText(raw);
    return QString(text).remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")));
}

} // namespace

QString driverFileName(int slaveAddress, const QList<RegisterInfo> &registers, const RowValues &values)
{
    const DriverProfile profile = driverProfile(registers);
    QString name = QStringLiteral("addr%1").arg(slaveAddress, 2, 10, QLatin1Char('0'));
    // The model is the first identity row; unread, the name goes without,
    // rather than call the firmware the model.
    for (quint16 address : profile.identity) {
        if (profile.serial.contains(address))
            continue;
        const QString model = namePart(registers, values, address);
        if (!model.isEmpty())
            name += QStringLiteral("-m") + model;
        break;
    }
    if (!profile.serial.isEmpty()) {
        const QString serial = namePart(registers, values, profile.serial.first());
        if (!serial.isEmpty())
            name += QStringLiteral("-s") + serial;
    }
    return name + QStringLiteral(".csv");
}

QString datedDriverFileName(int slaveAddress, const QList<RegisterInfo> &registers, const RowValues &values,
                            const QDateTime &when)
{
    QString name = driverFileName(slaveAddress, registers, values);
    name.chop(int(qstrlen(".csv")));
    return name + when.toString(QStringLiteral("-yyyyMMdd-HHmm")) + QStringLiteral(".csv");
}

QString backupPathKeepingWhole(const QString &path, bool whole)
{
    const QFileInfo target(path);
    if (whole || !target.isFile())
        return path;
    const QString folder = path.left(path.size() - target.fileName().size());
    const QString suffix = target.suffix();
    if (suffix.isEmpty() || target.completeBaseName().isEmpty())
        return path + QStringLiteral(".partial");
    return folder + target.completeBaseName() + QStringLiteral(".partial.") + suffix;
}

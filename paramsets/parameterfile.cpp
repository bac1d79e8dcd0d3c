#include "paramsets/parameterfile.h"

#include "registermap/registervalue.h"
#include "util/csvtext.h"
#include "util/filetext.h"
#include "util/messagewords.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QStandardPaths>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <limits>

#include <unistd.h>

namespace {

struct CsvRecord
{
    int line = 0;
    QStringList fields;
    // Why the line is no record, or empty.
    QString fault;
};

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// One line's fields as RFC 4180 quotes them: a quoted field may hold commas
// and doubled quotes. Its quote must close on the same line, and only blanks
// may stand between it and its commas; a stray quote would otherwise take
// the lines after it into one field, and their registers with it.
CsvRecord csvRecord(const QString &line, int number)
{
    CsvRecord record;
    record.line = number;
    const QString wholeFieldsOnly =
        QCoreApplication::translate("ParameterFile", "引号只能括住整个字段");
    const int size = line.size();
    for (int i = 0;; ++i) {
        int start = i;
        while (start < size && isBlank(line.at(start)))
            ++start;
        QString field;
        if (start < size && line.at(start) == QLatin1Char('"')) {
            bool closed = false;
            for (i = start + 1; i < size && !closed; ++i) {
                if (line.at(i) != QLatin1Char('"'))
                    field += line.at(i);
                else if (i + 1 < size && line.at(i + 1) == QLatin1Char('"'))
                    field += line.at(i++);
                else
                    closed = true;
            }
            if (!closed) {
                record.fault = QCoreApplication::translate("ParameterFile", "引号在行尾之前没有闭合");
                return record;
            }
            while (i < size && isBlank(line.at(i)))
                ++i;
            if (i < size && line.at(i) != QLatin1Char(',')) {
                record.fault = wholeFieldsOnly;
                return record;
            }
        } else {
            const int comma = line.indexOf(QLatin1Char(','), i);
            const int end = comma < 0 ? size : comma;
            field = line.mid(i, end - i);
            if (field.contains(QLatin1Char('"'))) {
                record.fault = wholeFieldsOnly;
                return record;
            }
            i = end;
        }
        record.fields.append(field);
        if (i >= size)
            return record;
    }
}

// One record per line; lines starting with '#' are comments, blank lines
// hold nothing. CR alone ends a line too, as some spreadsheets export.
QList<CsvRecord> csvRecords(const QString &text)
{
    QList<CsvRecord> records;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    const QVector<QStringRef> lines = text.splitRef(lineEnd);
    for (int i = 0; i < lines.size(); ++i) {
        const QStringRef line = lines.at(i);
        if (!line.startsWith(QLatin1Char('#')) && !line.trimmed().isEmpty())
            records.append(csvRecord(line.toString(), i + 1));
    }
    return records;
}

// Problem texts are Chinese in the window; the command line shows their
// English translation.
// A typed entry may hold its raw value or its register pattern (65535 for
// -1 in an s16 row). An entry without a type is checked against its map
// row, which alone can say whether it is one register (0..65535) or a
// 32-bit row that needs the type column.
bool valueBounds(const QString &type, qint64 *lowest, qint64 *highest)
{
    const bool wide = type.isEmpty() || type == QLatin1String("u32") || type == QLatin1String("s32");
    *highest = wide ? std::numeric_limits<quint32>::max() : std::numeric_limits<quint16>::max();
    if (type == QLatin1String("s16"))
        *lowest = std::numeric_limits<qint16>::min();
    else if (type == QLatin1String("s32") || type.isEmpty())
        *lowest = std::numeric_limits<qint32>::min();
    else
        *lowest = 0;
    return wide || type == QLatin1String("u16") || type == QLatin1String("s16");
}

bool parseValue(const QString &text, const QString &type, qint64 *value, QString *why)
{
    qint64 lowest = 0;
    qint64 highest = 0;
    if (!valueBounds(type, &lowest, &highest)) {
        *why = QCoreApplication::translate("ParameterFile", "类型“%1”不是 u16、s16、u32 或 s32").arg(type);
        return false;
    }
    bool ok = false;
    const qlonglong number = text.trimmed().toLongLong(&ok, 10);
    if (!ok) {
        *why = QCoreApplication::translate("ParameterFile", "值“%1”不是十进制数").arg(text.trimmed());
        return false;
    }
    if (number < lowest || number > highest) {
        *why = type.isEmpty()
                   ? QCoreApplication::translate("ParameterFile", "值 %1 超出 0..65535").arg(number)
                   : QCoreApplication::translate("ParameterFile", "值 %1 超出 %2 类型的范围").arg(number).arg(type);
        return false;
    }
    *value = number;
    return true;
}

QString problem(int line, const QString &why)
{
    return QCoreApplication::translate("ParameterFile", "第 %1 行：%2").arg(line).arg(why);
}

void readRecords(const QList<CsvRecord> &records, ParameterFile *file)
{
    if (records.isEmpty()) {
        file->problems.append(QCoreApplication::translate("ParameterFile", "没有标题行"));
        return;
    }
    const CsvRecord &headerRecord = records.first();
    if (!headerRecord.fault.isEmpty()) {
        file->problems.append(problem(headerRecord.line, headerRecord.fault));
        return;
    }
    // A column read twice would leave the choice between two values to chance.
    const QStringList readColumns = {QStringLiteral("address"), QStringLiteral("value"), QStringLiteral("name"),
                                     QStringLiteral("permission"), QStringLiteral("range"), QStringLiteral("type")};
    QHash<QString, int> columns;
    for (int i = 0; i < headerRecord.fields.size(); ++i) {
        const QString name = headerRecord.fields.at(i).trimmed().toLower();
        if (columns.contains(name) && readColumns.contains(name)) {
            file->problems.append(problem(headerRecord.line,
                                          QCoreApplication::translate("ParameterFile", "标题行有两个 %1 列").arg(name)));
            return;
        }
        columns.insert(name, i);
    }
    const int addressColumn = columns.value(QStringLiteral("address"), -1);
    const int valueColumn = columns.value(QStringLiteral("value"), -1);
    if (addressColumn < 0 || valueColumn < 0) {
        file->problems.append(problem(headerRecord.line,
                                      QCoreApplication::translate("ParameterFile", "标题行须有 address 和 value 两列")));
        return;
    }
    auto column = [&columns](const QStringList &fields, const char *name) {
        const int index = columns.value(QLatin1String(name), -1);
        return index >= 0 && index < fields.size() ? fields.at(index).trimmed() : QString();
    };
    for (int r = 1; r < records.size(); ++r) {
        const CsvRecord &record = records.at(r);
        if (!record.fault.isEmpty()) {
            file->problems.append(problem(record.line, record.fault));
            continue;
        }
        ParameterEntry entry;
        entry.line = record.line;
        const QString addressText = column(record.fields, "address");
        if (!parseRegisterAddress(addressText, &entry.address)) {
            file->problems.append(problem(
                record.line, QCoreApplication::translate("ParameterFile", "地址“%1”不是寄存器地址").arg(addressText)));
            continue;
        }
        entry.type = column(record.fields, "type").toLower();
        QString why;
        if (!parseValue(column(record.fields, "value"), entry.type, &entry.value, &why)) {
            file->problems.append(problem(record.line, why));
            continue;
        }
        entry.shown = column(record.fields, "shown");
        entry.name = column(record.fields, "name");
        entry.permission = column(record.fields, "permission");
        entry.range = column(record.fields, "range");
        file->entries.append(entry);
    }
    // A file whose lines all fell through would otherwise read as a driver
    // that already holds every value.
    if (file->entries.isEmpty() && file->problems.isEmpty())
        file->problems.append(QCoreApplication::translate("ParameterFile", "文件中没有寄存器值"));
}

// "# identity 0x0040=8964 ...": a line that says it is the identity but
// cannot be read, or a second one, would leave the file's driver unknown
// and its check undone.
void readIdentityComment(const QString &text, ParameterFile *file)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    // "# Identity" typed by hand is meant as one too: refused, not ignored.
    static const QRegularExpression identityLine(QStringLiteral("^#\\s*identity(\\s|$)"),
                                                 QRegularExpression::CaseInsensitiveOption);
    const QStringList lines = text.split(lineEnd);
    bool found = false;
    for (int i = 0; i < lines.size(); ++i) {
        if (!identityLine.match(lines.at(i)).hasMatch())
            continue;
        const QString comment = lines.at(i).mid(1).trimmed();
        if (found) {
            file->problems.append(problem(i + 1, QCoreApplication::translate("ParameterFile", "第二个 identity 注释行")));
        } else if (!DriverIdentity::fromComment(comment, &file->identity)) {
            file->problems.append(problem(
                i + 1, QCoreApplication::translate("ParameterFile", "identity 注释行“%1”无法读取").arg(comment)));
        }
        found = true;
    }
}

} // namespace

bool readParameterFile(const QString &path, ParameterFile *file)
{
    QFile input(path);
    const QString unreadable = unreadableReason(path);
    if (!unreadable.isEmpty() || !input.open(QIODevice::ReadOnly)) {
        file->problems.append(QCoreApplication::translate("ParameterFile", "无法读取 %1：%2")
                                  .arg(path, unreadable.isEmpty() ? input.errorString() : unreadable));
        return false;
    }
    // A file edited in Excel on a Chinese Windows comes back in GBK.
    const QByteArray bytes = input.readAll();
    QString text = utf8OrGb18030(bytes.constData(), bytes.size());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    readIdentityComment(text, file);
    readRecords(csvRecords(text), file);
    file->path = path;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    file->undo = text.split(lineEnd).contains(QStringLiteral("# ") + undoComment());
    return true;
}

bool writeParameterFile(const QString &path, const QStringList &comments,
                        const QList<ParameterEntry> &entries, QString *error)
{
    // Renaming a new file over a device or a pipe (/dev/null) would replace it.
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile()) {
        *error = QCoreApplication::translate("ParameterFile", "不是普通文件");
        return false;
    }
    // Written beside and renamed over the old file: a full disk or a crash
    // leaves the old file whole, never a truncated one.
    QSaveFile output(path);
    if (!output.open(QIODevice::WriteOnly)) {
        *error = output.errorString();
        return false;
    }
    QByteArray text;
    for (const QString &comment : comments)
        text += "# " + comment.toUtf8() + '\n';
    // Files of maps without typed rows keep the columns they always had, so
    // that earlier versions of the tool still read them.
    const bool typed = std::any_of(entries.cbegin(), entries.cend(), [](const ParameterEntry &entry) {
        return !entry.type.isEmpty() && (entry.type != valueTypeName(ValueType::U16)
                                         || entry.shown != QString::number(entry.value));
    });
    text += typed ? "address,value,name,permission,range,type,shown\n" : "address,value,name,permission,range\n";
    for (const ParameterEntry &entry : entries) {
        QStringList fields = {addressText(entry.address), QString::number(entry.value), csvField(entry.name),
                              csvField(entry.permission), csvField(entry.range)};
        if (typed)
            fields << entry.type << csvField(entry.shown);
        text += fields.join(QLatin1Char(',')).toUtf8() + '\n';
    }
    // The undo copy must be on the disk before any write reaches a driver.
    if (output.write(text) != text.size() || !output.flush() || fsync(output.handle()) != 0 || !output.commit()) {
        *error = output.errorString();
        return false;
    }
    return true;
}

bool parseRegisterAddress(const QString &text, quint16 *address)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    bool ok = false;
    const uint number = digits.toUInt(&ok, 16);
    if (!ok || digits.isEmpty() || number > 0xFFFF)
        return false;
    *address = quint16(number);
    return true;
}

QString addressText(quint16 address)
{
    return QLatin1String("0x") + QStringLiteral("%1").arg(address, 4, 16, QLatin1Char('0')).toUpper();
}

ParameterEntry entryFor(const RegisterInfo &info, qint64 raw)
{
    ParameterEntry entry;
    entry.address = info.address;
    entry.value = raw;
    entry.type = valueTypeName(info.format.type);
    entry.shown = RegisterValue(info.format).text(raw);
    entry.name = info.name;
    entry.permission = info.permission;
    entry.range = info.rangeText;
    return entry;
}

QString valueTypeName(ValueType type)
{
    switch (type) {
    case ValueType::S16: return QStringLiteral("s16");
    case ValueType::U32: return QStringLiteral("u32");
    case ValueType::S32: return QStringLiteral("s32");
    default: return QStringLiteral("u16");
    }
}

QStringList parameterFileComments(const QString &port, quint32 slaveAddress, const QString &mapPath,
                                  const DriverIdentity &identity)
{
    QStringList comments = {QStringLiteral("saved %1").arg(QDateTime::currentDateTime().toString(Qt::ISODate)),
                            QStringLiteral("port %1").arg(port),
                            QStringLiteral("slave address %1").arg(slaveAddress),
                            QStringLiteral("map %1").arg(QFileInfo(mapPath).absoluteFilePath())};
    if (!identity.isEmpty())
        comments << identity.comment();
    return comments;
}

QString undoComment()
{
    return QStringLiteral("undo file: the driver's values before a restore");
}

QString undoFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/undo");
}

bool isInUndoFolder(const QString &path)
{
    const QString folder = QFileInfo(undoFolder()).canonicalFilePath();
    return !folder.isEmpty() && QFileInfo(QFileInfo(path).canonicalFilePath()).absolutePath() == folder;
}

QString partialComment(const QStringList &unread)
{
    return QStringLiteral("partial backup; unread, not saved: ") + unread.join(QLatin1String(", "));
}

QString saveUndoFile(const QList<ParameterEntry> &entries, const DriverIdentity &identity, const QString &port,
                     quint32 slaveAddress, const QString &mapPath, QString *error)
{
    const QString folder = undoFolder();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot make the folder %1").arg(folder);
        return QString();
    }
    QString portName = port;
    portName.remove(QRegularExpression(QStringLiteral("^/dev/")));
    portName.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("-"));
    const QString path = QStringLiteral("%1/%2_%3_slave%4.csv")
                             .arg(folder, QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")),
                                  portName)
                             .arg(slaveAddress);
    const QStringList comments = parameterFileComments(port, slaveAddress, mapPath, identity) << undoComment();
    if (!writeParameterFile(path, comments, entries, error))
        return QString();
    return path;
}

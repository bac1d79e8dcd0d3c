#include "app/mainwindow.h"
#include "util/hextext.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

namespace {

bool isValidUtf8(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

// A line's bytes count up to the first NUL, if any. Drive makers often
// write their maps in GBK: a line that is not valid UTF-8 is read as
// GB18030, which contains GBK. Only a line that decodes to a replacement
// character is checked, so UTF-8 maps cost no more than before.
QString lineText(const QByteArray &bytes)
{
    const int nul = bytes.indexOf('\0');
    const QByteArray text = nul < 0 ? bytes : bytes.left(nul);
    const QString utf8 = QString::fromUtf8(text);
    if (!utf8.contains(QChar::ReplacementCharacter) || isValidUtf8(text))
        return utf8;
    static QTextCodec *const gb18030 = QTextCodec::codecForName("GB18030");
    return gb18030->toUnicode(text);
}

// The text after the first colon (the whole part without one), trimmed.
QString rawValue(const QString &part)
{
    const int colon = part.indexOf(QLatin1Char(':'));
    return colon < 0 ? part : part.mid(colon + 1);
}

// Hexadecimal text as a 16-bit register number; 0 when it does not fit.
quint16 hexToRegisterNumber(const QString &text)
{
    return hexStringToDecString(text).toUShort(nullptr, 10);
}

void setRange(RegisterInfo &info, const QString &raw)
{
    info.rangeText = raw.trimmed();
    const QStringList bounds = raw.split(QLatin1Char('~'));
    if (bounds.size() != 2)
        return;
    info.rangeMin = bounds.at(0).toInt(nullptr, 10);
    info.rangeMax = bounds.at(1).toInt(nullptr, 10);
}

} // namespace

void MainWindow::readRegisterInfo(const QString &fileName)
{
    QFile file(fileName);
    // Only a regular file is a map: opening a pipe would block start-up.
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly)) {
        showRefusal(QStringLiteral("文件读取失败，请检查文件是否存在!"));
    } else {
        // Keys are found by containment, so a byte-order mark or blanks
        // around the first key do not hide it.
        const QStringList settings = lineText(file.readLine()).split(QLatin1Char(','));
        for (const QString &part : settings) {
            const QString value = rawValue(part).trimmed();
            if (part.contains(QLatin1String("slaveAddress")))
                slaveAddress = value.toUInt(nullptr, 10);
            else if (part.contains(QLatin1String("txTime")))
                txTime = value.toInt(nullptr, 10);
            else if (part.contains(QLatin1String("rxOutTime")))
                rxOutTime = value.toUInt(nullptr, 10);
        }
        // The tick must advance the reply timeout and must not spin a core.
        txTime = qMax(txTime, 1);
        QStringList problems;
        int skipped = 0;
        int invalid = 0;
        for (int lineNumber = 2; !file.atEnd(); ++lineNumber) {
            const QString line = lineText(file.readLine().trimmed());
            if (line.isEmpty())
                continue;
            const RegisterInfo info = parseRegisterLine(line);
            if (info.name.isEmpty()) {
                ++skipped;
                problems << QStringLiteral("line %1 skipped: no register (five fields or more, one of them name)")
                                .arg(lineNumber);
                continue;
            }
            if (!info.addressValid) {
                ++invalid;
                problems << QStringLiteral("line %1: address \"%2\" is no 16-bit number; the row is neither "
                                           "read nor written").arg(lineNumber).arg(info.addressText);
            }
            registerList.append(info);
            registerAddrs.append(info.address);
        }
        reportMapProblems(fileName, problems, skipped, invalid);
    }
    fillRegisterTable();
}

RegisterInfo MainWindow::parseRegisterLine(const QString &line)
{
    RegisterInfo info;
    const QStringList parts = line.trimmed().split(QLatin1Char(','));
    if (parts.size() <= 4)
        return info;

    for (const QString &part : parts) {
        const QString raw = rawValue(part);
        const QString value = raw.trimmed();
        if (part.contains(QLatin1String("indexes"))) {
            info.addressText = value;
            info.address = hexToRegisterNumber(value);
        } else if (part.contains(QLatin1String("permission"))) {
            info.permission = value;
        } else if (part.contains(QLatin1String("defaultValue"))) {
            info.valueText = value;
            info.value = hexToRegisterNumber(value);
        } else if (part.contains(QLatin1String("rangeValue"))) {
            setRange(info, raw);
        } else if (part.contains(QLatin1String("name"))) {
            info.name = value;
        } else if (part.contains(QLatin1String("remarks"))) {
            info.remarks = value;
        }
    }
    return info;
}

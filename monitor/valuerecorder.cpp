#include "valuerecorder.h"

#include "util/csvtext.h"
#include "registermap/registervalue.h"

#include <QDateTime>
#include <QStringList>

#include <limits>

namespace {

const int flushIntervalMs = 1000;
// No register holds it: 32 bits at most.
const qint64 noValue = std::numeric_limits<qint64>::min();

QString columnTitle(const RegisterInfo &info)
{
    const QString title = QStringLiteral("0x%1 %2")
        .arg(QString::number(info.address, 16).toUpper().rightJustified(4, QLatin1Char('0')),
             info.name);
    return info.format.unit.isEmpty() ? title : title + QStringLiteral(" [%1]").arg(info.format.unit);
}

QByteArray csvLine(const QStringList &fields)
{
    return (fields.join(QLatin1Char(',')) + QLatin1String("\r\n")).toUtf8();
}

} // namespace

ValueRecorder::ValueRecorder(QObject *parent) : QObject(parent)
{
    flushTimer.setInterval(flushIntervalMs);
    connect(&flushTimer, &QTimer::timeout, this, &ValueRecorder::flush);
}

ValueRecorder::~ValueRecorder()
{
    stop();
}

bool ValueRecorder::start(const QString &path, const QList<RegisterInfo> &columns)
{
    stop();
    error.clear();
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = file.errorString();
        return false;
    }
    if (pendingValues.size() != columns.size())
        setColumnCount(columns.size());
    QStringList header{QStringLiteral("time")};
    formats.clear();
    for (const RegisterInfo &info : columns) {
        header << csvField(columnTitle(info));
        formats << info.format;
    }
    // The byte order mark lets spreadsheets read the names as UTF-8.
    write(QByteArray("\xEF\xBB\xBF") + csvLine(header));
    sinceFlush.start();
    flushTimer.start();
    return isRecording();
}

void ValueRecorder::addValue(int column, qint64 raw)
{
    if (column >= 0 && column < pendingValues.size())
        pendingValues[column] = raw;
}

void ValueRecorder::finishRefresh()
{
    if (!isRecording()) {
        pendingValues.fill(noValue);
        return;
    }
    QStringList row{QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"))};
    for (int column = 0; column < pendingValues.size(); ++column) {
        const qint64 raw = pendingValues.at(column);
        row << (raw == noValue ? QString() : RegisterValue(formats.value(column)).numberText(raw));
    }
    pendingValues.fill(noValue);
    write(csvLine(row));
    if (isRecording() && sinceFlush.elapsed() >= flushIntervalMs)
        flush();
}

void ValueRecorder::setColumnCount(int count)
{
    pendingValues.fill(noValue, count);
}

void ValueRecorder::stop()
{
    if (!isRecording())
        return;
    flushTimer.stop();
    if (file.flush())
        file.close();
    else
        fail();
}

void ValueRecorder::write(const QByteArray &bytes)
{
    if (isRecording() && file.write(bytes) != bytes.size())
        fail();
}

void ValueRecorder::flush()
{
    if (!isRecording())
        return;
    sinceFlush.start();
    if (!file.flush())
        fail();
}

void ValueRecorder::fail()
{
    error = file.errorString();
    flushTimer.stop();
    file.close();
    emit failed(error);
}

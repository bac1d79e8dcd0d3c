#include "valuerecorder.h"

#include "util/csvtext.h"

#include <QDateTime>
#include <QStringList>

namespace {

const int flushIntervalMs = 1000;
const int noValue = -1;

QString columnTitle(const RegisterInfo &info)
{
    return QStringLiteral("0x%1 %2")
        .arg(QString::number(info.address, 16).toUpper().rightJustified(4, QLatin1Char('0')),
             info.name);
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
    for (const RegisterInfo &info : columns)
        header << csvField(columnTitle(info));
    // The byte order mark lets spreadsheets read the names as UTF-8.
    write(QByteArray("\xEF\xBB\xBF") + csvLine(header));
    sinceFlush.start();
    flushTimer.start();
    return isRecording();
}

void ValueRecorder::addValue(int column, quint16 value)
{
    if (column >= 0 && column < pendingValues.size())
        pendingValues[column] = value;
}

void ValueRecorder::finishRefresh()
{
    if (!isRecording()) {
        pendingValues.fill(noValue);
        return;
    }
    QStringList row{QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"))};
    for (int value : qAsConst(pendingValues))
        row << (value == noValue ? QString() : QString::number(value));
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

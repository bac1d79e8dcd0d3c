#include "monitor/alarmwatch.h"
#include "registermap/addressrules.h"

#include "registermap/driverroles.h"
#include "registermap/registerstore.h"
#include "util/csvtext.h"

namespace {

QString timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

} // namespace

AlarmWatch::AlarmWatch(const RegisterStore *store, QObject *parent)
    : QObject(parent)
    , store(store)
{
    connect(store, &RegisterStore::rowsReplaced, this, &AlarmWatch::takeMap);
    connect(store, &RegisterStore::valueRead, this, &AlarmWatch::takeValue);
    connect(store, &RegisterStore::readFailed, this, &AlarmWatch::loseValue);
    takeMap();
}

AlarmWatch::State AlarmWatch::state() const
{
    if (standing < 0)
        return State::None;
    return inAlarm(code, false) || inAlarm(status, true) ? State::Active : State::Stale;
}

QString AlarmWatch::text() const
{
    return standing < 0 ? QString() : textOf(entries.at(standing));
}

// Worded when shown, not when raised, so a language switch reaches the
// banner and the history too.
QString AlarmWatch::textOf(const AlarmEntry &entry)
{
    if (entry.code == 0) {
        return entry.name.isEmpty() ? tr("报警（状态字 bit %1）").arg(entry.bit)
                                    : tr("报警（状态字 bit %1 %2）").arg(entry.bit).arg(entry.name);
    }
    return entry.name.isEmpty() ? tr("报警 %1").arg(entry.code) : tr("报警 %1：%2").arg(entry.code).arg(entry.name);
}

QString AlarmWatch::historyText() const
{
    if (entries.isEmpty())
        return QString();
    QStringList lines{QStringLiteral("Alarm history"), QStringLiteral("raised,code,text,cleared,driver,line")};
    for (int index = 0; index < entries.size(); ++index) {
        const AlarmEntry &entry = entries.at(index);
        QString cleared = timeText(entry.cleared);
        if (entry.cleared.isNull())
            cleared = index == standing ? QStringLiteral("(still in alarm)") : QStringLiteral("(end not seen)");
        lines << QStringList{timeText(entry.raised), QString::number(entry.code), csvField(textOf(entry)), cleared,
                             QString::number(entry.driver), csvField(entry.line)}
                     .join(QLatin1Char(','));
    }
    return lines.join(QLatin1Char('\n'));
}

void AlarmWatch::valuesLost()
{
    const State before = state();
    code.live = false;
    status.live = false;
    if (state() != before)
        emit changed();
}

// Another map: its rows say nothing of the alarm seen through the last one,
// whose entry stays in the history without an end.
void AlarmWatch::takeMap()
{
    const DriverProfile profile = driverProfile(store->rows());
    alarmRow = firstLineIndex(store->rows(), profile.alarmAddress);
    statusRow = firstLineIndex(store->rows(), profile.statusAddress);
    alarmBit = profile.alarmBit;
    code = Reading();
    status = Reading();
    standing = -1;
    fromBus = false;
    emit changed();
}

void AlarmWatch::takeBusReading(qint64 alarmCode, bool codeKnown, qint64 statusWord, bool statusKnown,
                                const QDateTime &readAt)
{
    const bool codeSays = codeKnown && alarmRow >= 0 && alarmCode != 0;
    const bool bitSays = statusKnown && statusRow >= 0 && alarmBit >= 0 && (statusWord >> alarmBit & 1);
    if (standing >= 0 || !(codeSays || bitSays))
        return;
    raise(codeSays ? alarmCode : 0);
    entries[standing].raised = readAt;
    seen = readAt;
    fromBus = true;
    emit changed();
}

void AlarmWatch::takeValue(int row, qint64 raw)
{
    if (row != alarmRow && row != statusRow)
        return;
    const State before = state();
    (row == alarmRow ? code : status) = Reading{true, raw};
    const bool wasFromBus = fromBus;
    fromBus = false;
    judge(before);
    if (wasFromBus && state() == before)
        emit changed();
}

void AlarmWatch::loseValue(int row)
{
    if (row != alarmRow && row != statusRow)
        return;
    const State before = state();
    (row == alarmRow ? code : status).live = false;
    judge(before);
}

// Live values raise or keep an alarm; it ends only when every alarm row has
// a live value and none of them says alarm. `before` is the state before the
// reading that asks, which alone may already turn a stale alarm live.
void AlarmWatch::judge(State before)
{
    const int entryCount = entries.size();
    const QString textBefore = text();
    const bool codeSays = inAlarm(code, false);
    if (codeSays || inAlarm(status, true)) {
        raise(codeSays ? code.raw : 0);
        seen = QDateTime::currentDateTime();
    } else if ((alarmRow < 0 || code.live) && (statusRow < 0 || status.live)) {
        clear();
    }
    if (state() != before || entries.size() != entryCount || text() != textBefore)
        emit changed();
}

bool AlarmWatch::inAlarm(const Reading &reading, bool isStatus) const
{
    if (!reading.live)
        return false;
    return isStatus ? alarmBit >= 0 && (reading.raw >> alarmBit & 1) : reading.raw != 0;
}

AlarmEntry AlarmWatch::described(qint64 alarmCode) const
{
    AlarmEntry entry;
    entry.code = alarmCode;
    if (alarmCode == 0) {
        entry.bit = alarmBit;
        entry.name = store->rows().at(statusRow).format.bitNames.value(alarmBit);
    } else {
        entry.name = store->rows().at(alarmRow).format.states.value(alarmCode);
    }
    return entry;
}

// An alarm seen first by its status bit takes the code once the alarm row
// tells it; another code is another alarm.
void AlarmWatch::raise(qint64 alarmCode)
{
    const QDateTime now = QDateTime::currentDateTime();
    if (standing >= 0) {
        AlarmEntry &entry = entries[standing];
        if (alarmCode == 0 || alarmCode == entry.code)
            return;
        if (entry.code == 0) {
            const AlarmEntry coded = described(alarmCode);
            entry.code = coded.code;
            entry.bit = coded.bit;
            entry.name = coded.name;
            return;
        }
        entry.cleared = now;
    }
    AlarmEntry entry = described(alarmCode);
    entry.raised = now;
    entry.driver = store->slaveAddress();
    entry.line = lineName;
    entries.append(entry);
    standing = entries.size() - 1;
}

void AlarmWatch::clear()
{
    if (standing < 0)
        return;
    entries[standing].cleared = QDateTime::currentDateTime();
    standing = -1;
}

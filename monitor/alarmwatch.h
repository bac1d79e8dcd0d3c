#ifndef ALARMWATCH_H
#define ALARMWATCH_H

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

class RegisterStore;

// One alarm of the session: from the read that showed it to the read that
// showed it gone. `code` is 0 when only the status word's bit told; then
// `bit` is that bit. `name` is the map's name for the code or the bit, kept
// so the entry still reads right after the map is replaced.
struct AlarmEntry
{
    QDateTime raised;
    qint64 code = 0;
    int bit = -1;
    QString name;
    // Null while the alarm lasts, or when its end was never read.
    QDateTime cleared;
    // The driver's address and the line it was seen on.
    quint32 driver = 0;
    QString line;
};

// Whether the driver is in alarm, judged only from the alarm and status rows'
// values read from the driver in this session, never from the map's
// defaults. An alarm ends only when live values of every alarm row say so;
// a read that fails or a closed line leaves it standing, marked stale.
class AlarmWatch : public QObject
{
    Q_OBJECT

public:
    enum class State { None, Active, Stale };

    explicit AlarmWatch(const RegisterStore *store, QObject *parent = nullptr);

    // The map has an alarm or a status row with an alarm bit.
    bool watches() const { return alarmRow >= 0 || statusRow >= 0; }
    State state() const;
    // The alarm standing (or last seen), as "报警 2：过压".
    QString text() const;
    // An entry in the window's language as it is now.
    static QString textOf(const AlarmEntry &entry);
    // When a live value last showed the standing alarm.
    QDateTime lastSeen() const { return seen; }
    const QList<AlarmEntry> &history() const { return entries; }
    // The history as lines for the exported log; empty without entries.
    QString historyText() const;

    // The values read so far no longer describe the driver: the port closed
    // or the line was taken over.
    void valuesLost();
    // Another driver is the window's: as for another map, an alarm seen on
    // the one before stays in the history without an end.
    void driverChanged() { takeMap(); }
    // The line the driver is on, named in the entries raised from now on.
    void setLine(const QString &name) { lineName = name; }
    // What a bus watch last read of the driver, at `readAt`: an alarm it
    // shows stands until the driver's own rows are read.
    void takeBusReading(qint64 alarmCode, bool codeKnown, qint64 statusWord, bool statusKnown,
                        const QDateTime &readAt);
    // The standing alarm is known only from a bus watch's reading so far.
    bool seenOnBus() const { return fromBus; }

signals:
    void changed();

private:
    struct Reading
    {
        bool live = false;
        qint64 raw = 0;
    };

    void takeMap();
    void takeValue(int row, qint64 raw);
    void loseValue(int row);
    void judge(State before);
    bool inAlarm(const Reading &reading, bool isStatus) const;
    AlarmEntry described(qint64 code) const;
    void raise(qint64 code);
    void clear();

    const RegisterStore *store;
    int alarmRow = -1;
    int statusRow = -1;
    int alarmBit = -1;
    Reading code;
    Reading status;
    QList<AlarmEntry> entries;
    // The entry of the standing alarm; -1 when none.
    int standing = -1;
    QDateTime seen;
    QString lineName;
    bool fromBus = false;
};

#endif // ALARMWATCH_H

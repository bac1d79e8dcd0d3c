#ifndef VALUERECORDER_H
#define VALUERECORDER_H

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QVector>

#include "registermap/registerinfo.h"

// Records the values of a refresh as rows of a CSV file: a header of `time`
// and one column per register ("0x0010 Run current", "0x0002 Bus voltage
// [V]"), then per finished refresh the local time with milliseconds and
// each value in shown units (enum and bits rows as their number), empty
// where the register did not answer. Rows reach the disk at least once a
// second; a write that fails stops the recording and says why.
class ValueRecorder : public QObject
{
    Q_OBJECT

public:
    explicit ValueRecorder(QObject *parent = nullptr);
    ~ValueRecorder() override;

    // Starts a new file (replacing one at the path); false with
    // errorString() when it cannot be opened. Its first row holds the
    // values the refresh under way has brought so far.
    bool start(const QString &path, const QList<RegisterInfo> &columns);
    QString errorString() const { return error; }
    // A value of the given column that arrived in the current refresh, raw
    // in the column's type, kept also while not recording.
    void addValue(int column, qint64 raw);
    // Ends the row of the current refresh, time-stamped now.
    void finishRefresh();
    // The columns change: the values of the refresh under way are dropped.
    void setColumnCount(int count);
    // Writes what is pending and closes the file.
    void stop();
    bool isRecording() const { return file.isOpen(); }
    QString fileName() const { return file.fileName(); }

signals:
    // The recording has stopped because the file could not be written.
    void failed(const QString &reason);

private:
    void write(const QByteArray &bytes);
    void flush();
    void fail();

    QFile file;
    QVector<qint64> pendingValues;
    QList<RegisterFormat> formats;
    QElapsedTimer sinceFlush;
    QTimer flushTimer;
    QString error;
};

#endif // VALUERECORDER_H

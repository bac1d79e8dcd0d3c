#ifndef REGISTERSTORE_H
#define REGISTERSTORE_H

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

#include "protocol/pendingcommand.h"
#include "registermap/registerinfo.h"
#include "registermap/registermap.h"

struct RegisterMap;

// The loaded register map and the registers' last values, in one place: the
// table, the editor, the live monitor and the parameter sets read it, and
// learn from its signals what changed, instead of keeping copies.
class RegisterStore : public QObject
{
    Q_OBJECT

public:
    explicit RegisterStore(QObject *parent = nullptr);

    const QList<RegisterInfo> &rows() const { return registers; }
    QList<quint16> addresses() const;
    bool hasRow(int row) const { return row >= 0 && row < registers.size(); }

    // The device address in use: the map's, until the user types another.
    quint32 slaveAddress() const { return settings.slaveAddress; }
    void setSlaveAddress(quint32 slave) { settings.slaveAddress = slave; }
    int txTime() const { return settings.txTime; }
    quint32 rxOutTime() const { return settings.rxOutTime; }
    int blockRead() const { return settings.blockRead; }
    int writeFunction() const { return settings.writeFunction; }
    QString fileName() const { return mapFile; }

    // Forgets the rows, and the settings go back to what a map without them
    // starts with.
    void clear();
    // Appends the rows of `fileName` and takes its settings; `map` receives
    // what was read and its problems. False when the file cannot be read;
    // rowsReplaced follows either way, as the views show what is left.
    bool read(const QString &fileName, RegisterMap *map);

    // The rows an answered read covers take its words, in order.
    void storeReadValues(const PendingCommand &request, const QList<quint16> &words);
    // A write the driver echoed, its words from `address` on: every valid
    // row they cover holds them.
    void confirmWrite(quint16 address, const QVector<quint16> &words);
    // A read that brought no value leaves its rows not live.
    void markReadFailed(const PendingCommand &request);

signals:
    void aboutToClear();
    void rowsReplaced();
    // `raw` is the row's value in its type (RegisterValue).
    void valueRead(int row, qint64 raw);
    void writeConfirmed(int row);
    void readFailed(int row);

private:
    QList<RegisterInfo> registers;
    // The loaded map's first-line settings; its rows live in `registers`.
    RegisterMap settings;
    QString mapFile;
};

#endif // REGISTERSTORE_H

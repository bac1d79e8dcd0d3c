#ifndef REGISTERSTORE_H
#define REGISTERSTORE_H

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

#include "protocol/pendingcommand.h"
#include "registermap/registerinfo.h"

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
    quint32 slaveAddress() const { return address; }
    void setSlaveAddress(quint32 slave) { address = slave; }
    int txTime() const { return txMs; }
    quint32 rxOutTime() const { return rxOutMs; }
    int blockRead() const { return blockRegisters; }
    int writeFunction() const { return writeFunctionCode; }
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
    quint32 address = 1;
    int txMs = 100;
    quint32 rxOutMs = 1000;
    int blockRegisters = 1;
    int writeFunctionCode = 6;
    QString mapFile;
};

#endif // REGISTERSTORE_H

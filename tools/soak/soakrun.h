#ifndef SOAKRUN_H
#define SOAKRUN_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class MainWindow;
class QPushButton;
class QTableWidget;
class ValueEditWin;

// Drives a real MainWindow the way a technician on a long shift would: opens
// the port with its button, presses the data-refresh button each time it is
// enabled again, and before each refresh writes one writable register
// through the value editor (the table's double-click path and the editor's
// "写入" button), with the log display stopped. Each write is judged once
// the refresh that follows it has finished: the driver's echo must have come
// back and the table must show the value written.
class SoakRun : public QObject
{
    Q_OBJECT

public:
    struct Counts
    {
        int refreshes = 0;
        int writesSent = 0;
        int writesEchoed = 0;
        int writesConfirmed = 0;
        int writesFailed = 0;
        int timeouts = 0;
    };

    explicit SoakRun(MainWindow &window);

    bool openPort(const QString &path);
    // No more writes or refreshes; drained() follows once the refresh in
    // flight has finished and its write has been judged.
    void finish();
    Counts counts() const { return tally; }
    // The first few failed writes, described; the rest are only counted.
    QStringList writeFailures() const { return failures; }

signals:
    void drained();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct PendingWrite
    {
        int row = -1;
        quint16 value = 0;
        QByteArray frame;
        bool echoed = false;
    };

    void onRefreshFinished();
    void judgeLastWrite();
    void writeNextRegister();
    quint16 nextValue(int row) const;
    void noteWriteSent(int row, const QByteArray &frame);
    void noteBlock(const QByteArray &block);
    void noteTick();
    void recordFailure(const QString &text);
    ValueEditWin *editor() const;

    MainWindow &window;
    QTableWidget *table;
    QPushButton *refreshButton;
    QList<int> writableRows;
    PendingWrite pending;
    Counts tally;
    QStringList failures;
    int writeIndex = 0;
    quint32 observedWait = 0;
    bool finishing = false;
};

#endif // SOAKRUN_H

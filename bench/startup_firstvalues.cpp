// The tool's window as app/main.cpp starts it, with the command line it is
// given (--port PATH --open), stopped once every readable row of the map has
// its first value read from the driver and the table has been painted. It
// reports the time since its launcher spawned it (BENCH_SPAWN_NS, a
// CLOCK_MONOTONIC reading) and the requests sent until then, then quits.
#include "ui/mainwindow.h"
#include "app/translation.h"
#include "benchsupport.h"
#include "cli/commandline.h"
#include "registermap/registerstore.h"
#include "serial/serial.h"

#include <QApplication>
#include <QSet>
#include <QTableWidget>

#include <cstdio>
#include <cstdlib>

namespace {

// The rows a refresh has to read: valid addresses the map lets the tool read.
QSet<int> readableRows(const RegisterStore &store)
{
    QSet<int> rows;
    for (int row = 0; row < store.rows().size(); ++row) {
        const RegisterInfo &info = store.rows().at(row);
        if (info.addressValid && info.permission.contains(QLatin1Char('R'), Qt::CaseInsensitive))
            rows.insert(row);
    }
    return rows;
}

// Waits until each readable row has had its first value read, then for the
// table's next paint, so the values are on the screen, and reports at the
// pass after. A row whose value equals the text it shows already still
// counts when its read comes in.
class FirstValues : public QObject
{
public:
    FirstValues(RegisterStore *store, QTableWidget *table)
        : QObject(table), table(table), awaited(readableRows(*store))
    {
        connect(store, &RegisterStore::rowsReplaced, this, [this, store] { awaited = readableRows(*store); });
        connect(store, &RegisterStore::valueRead, this, [this](int row) {
            if (awaited.remove(row) && awaited.isEmpty())
                showValues();
        });
        connect(Serial::instance(), &Serial::sendDataShow, this, [this] {
            if (!awaited.isEmpty())
                ++requestsSent;
        });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] { report(); });
        }
        return false;
    }

private:
    void showValues()
    {
        table->viewport()->installEventFilter(this);
        table->viewport()->update();
    }

    void report()
    {
        const qint64 shown = bench::monotonicNs();
        const char *spawned = std::getenv("BENCH_SPAWN_NS");
        const qint64 start = spawned ? std::atoll(spawned) : shown;
        std::printf("values_ms %.3f\nrequests %d\n", (shown - start) / 1e6, requestsSent);
        std::fflush(stdout);
        QCoreApplication::quit();
    }

    QTableWidget *table;
    QSet<int> awaited;
    int requestsSent = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    CommandLine commandLine;
    commandLine.parse(arguments);

    QApplication app(argc, argv);
    installTranslation(app, commandLine.language);
    QCoreApplication::setApplicationName(QStringLiteral("steppertool"));
    QCoreApplication::setOrganizationName(QStringLiteral("steppertool"));
    MainWindow window;
    auto *store = window.findChild<RegisterStore *>();
    new FirstValues(store, window.findChild<QTableWidget *>(QStringLiteral("tableWidget")));
    window.show();
    window.applyStartOptions(commandLine.startOptions());
    // A row that never gets its value ends the run without a figure.
    QTimer::singleShot(20000, [] { QCoreApplication::exit(1); });
    return app.exec();
}

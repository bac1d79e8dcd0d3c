// The tool's window as app/main.cpp starts it, with the command line it is
// given (--port PATH --open), stopped once every register of the map shows a
// value read from the driver. It reports the time since its launcher spawned
// it (BENCH_SPAWN_NS, a CLOCK_MONOTONIC reading), then quits.
#include "ui/mainwindow.h"
#include "app/translation.h"
#include "benchsupport.h"
#include "cli/commandline.h"

#include <QApplication>
#include <QSet>
#include <QTableWidget>

#include <cstdio>
#include <cstdlib>

namespace {

// Waits until each row's value cell has changed once, then for the table's
// next paint, so the values are on the screen, and reports at the pass after.
class FirstValues : public QObject
{
public:
    explicit FirstValues(QTableWidget *table) : QObject(table), table(table)
    {
        connect(table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
            if (item->column() != 1)
                return;
            changedRows.insert(item->row());
            if (changedRows.size() == this->table->rowCount() && !allShown) {
                allShown = true;
                this->table->viewport()->installEventFilter(this);
                this->table->viewport()->update();
            }
        });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, [] { report(); });
        }
        return false;
    }

private:
    static void report()
    {
        const qint64 shown = bench::monotonicNs();
        const char *spawned = std::getenv("BENCH_SPAWN_NS");
        const qint64 start = spawned ? std::atoll(spawned) : shown;
        std::printf("values_ms %.3f\n", (shown - start) / 1e6);
        std::fflush(stdout);
        QCoreApplication::quit();
    }

    QTableWidget *table;
    QSet<int> changedRows;
    bool allShown = false;
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
    new FirstValues(window.findChild<QTableWidget *>(QStringLiteral("tableWidget")));
    window.show();
    window.applyStartOptions(commandLine.startOptions());
    // A register that never answers ends the run without a figure.
    QTimer::singleShot(60000, [] { QCoreApplication::exit(1); });
    return app.exec();
}

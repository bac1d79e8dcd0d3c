#ifndef SIMULATEDLINE_H
#define SIMULATEDLINE_H

#include "ui/mainwindow.h"
#include "benchsupport.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

// The tool against tools/simdriver on a pseudo-terminal, driven through its
// own controls: type the port, pick the baud rate, press 打开串口, and wait
// for a refresh to end (the data-refresh button comes back).
class SimulatedLine
{
public:
    ~SimulatedLine() { stop(); }

    // Starts the simulator on the map, with further options such as --pace;
    // false when it does not report its port. Its log goes to logFile when
    // one is given.
    bool start(const QString &mapFile, int baud, const QStringList &options = {},
               const QString &logFile = QString())
    {
        simulator.setStandardErrorFile(logFile.isEmpty() ? QProcess::nullDevice() : logFile);
        simulator.start(QStringLiteral(SIMDRIVER_PATH),
                        QStringList{QStringLiteral("--map"), mapFile, QStringLiteral("--baud"),
                                    QString::number(baud)} + options);
        if (!simulator.waitForStarted(5000))
            return false;
        while (!simulator.canReadLine()) {
            if (!simulator.waitForReadyRead(10000))
                return false;
        }
        devicePath = QString::fromLocal8Bit(simulator.readLine()).trimmed();
        return !devicePath.isEmpty();
    }

    // Opens the port in the window, which starts the first refresh.
    static void openPort(MainWindow &window, const QString &path, int baud)
    {
        auto *port = window.findChild<QComboBox *>(QStringLiteral("comboBox_port"));
        port->setEditText(path);
        window.findChild<QComboBox *>(QStringLiteral("comboBox_buad"))->setCurrentText(QString::number(baud));
        window.findChild<QPushButton *>(QStringLiteral("pushButton_open"))->click();
    }

    static QPushButton *dataRefreshButton(MainWindow &window)
    {
        return window.findChild<QPushButton *>(QStringLiteral("pushButton_dataRefresh"));
    }

    // Runs the event loop until the data-refresh button is enabled again, or
    // the limit passes; true when it came back.
    static bool waitForRefreshEnd(MainWindow &window, int limitMs)
    {
        QPushButton *button = dataRefreshButton(window);
        if (button->isEnabled())
            return true;
        QEventLoop loop;
        EnabledWatch watch(loop);
        button->installEventFilter(&watch);
        QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
        loop.exec();
        button->removeEventFilter(&watch);
        return button->isEnabled();
    }

    QString path() const { return devicePath; }

    // Stops the simulator, so that its log is complete.
    void stop()
    {
        simulator.terminate();
        if (!simulator.waitForFinished(5000))
            simulator.kill();
    }

private:
    class EnabledWatch : public QObject
    {
    public:
        explicit EnabledWatch(QEventLoop &loop) : loop(loop) {}

    protected:
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::EnabledChange && static_cast<QWidget *>(watched)->isEnabled())
                loop.quit();
            return false;
        }

    private:
        QEventLoop &loop;
    };

    QProcess simulator;
    QString devicePath;
};

// A map in a folder of its own, served by a simulator of its own; the
// folder is made the working folder, so a window built now reads the map.
struct ServedMap
{
    ServedMap(const QByteArray &map, int baud, const QStringList &options = {}, bool keepLog = false)
    {
        const QString mapFile = dir.filePath(QStringLiteral("RegisterInfo"));
        QDir::setCurrent(dir.path());
        const QString log = keepLog ? logPath() : QString();
        started = bench::writeFile(mapFile, map) && line.start(mapFile, baud, options, log);
        if (!started)
            std::fprintf(stderr, "the simulator did not start\n");
    }

    QString logPath() const { return dir.filePath(QStringLiteral("simdriver.log")); }

    QTemporaryDir dir;
    SimulatedLine line;
    bool started = false;
};

#endif // SIMULATEDLINE_H

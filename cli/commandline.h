#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QCommandLineParser>
#include <QList>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include "cli/startoptions.h"
#include "monitor/capturerun.h"
#include "scan/scanrequest.h"
#include "serial/networktarget.h"

class Serial;

// The program's options and what they ask for. Parsing needs no
// application object, so main() can choose between the window and a
// window-less run before it makes one.
class CommandLine
{
public:
    enum class Action { Window, Help, Version, Backup, Compare, Restore, Scan, Command, Capture, Invalid };

    CommandLine();
    // Reads `arguments` (program name first) and checks the values.
    void parse(const QStringList &arguments);

    Action action() const { return chosen; }
    bool isBatch() const { return chosen != Action::Window; }
    // Why the arguments are refused, for Action::Invalid.
    QString error() const { return problem; }
    QString helpText() const { return parser.helpText(); }
    // What the window is asked to do at start.
    StartOptions startOptions() const;
    // The port, or the network target, as messages name it.
    QString lineName() const;
    // Opens the port or connects to the network target.
    bool openLine(Serial *serial) const;

    QString port;
    // Set by --tcp or --rtu-over-tcp, in place of the port.
    NetworkTarget network;
    qint32 baud = 9600;
    int slaveAddress = 0;  // 0: the map's
    // Every driver --address names, slaveAddress first; empty when not given.
    QList<int> slaveAddresses;
    QString mapPath = QStringLiteral("RegisterInfo");
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QString parameterFile;
    bool dryRun = false;
    // Batch runs go at line speed unless the map's txTime is asked for; a
    // negative gap (none given) leaves the Modbus RTU gap.
    bool useMapTiming = false;
    double gapMs = -1;
    QList<quint16> skipped;
    bool allowOutOfRange = false;
    QList<quint16> includedWriteOnly;
    // Write a file whose identity is another model's or firmware's.
    bool ignoreIdentity = false;
    QString language;  // "zh", "en", or empty for the system's
    ScanRequest scan;
    // --command's name, and --yes for a command that changes settings.
    QString commandName;
    bool assumeYes = false;
    // --capture's file, rows, trigger, window and trigger wait.
    QString captureFile;
    CaptureSettings capture;

private:
    void refuse(const QString &why);
    QString repeatedOption() const;
    bool chooseAction();
    void readLineOptions();
    void readNetworkOptions();
    void readScanOptions();
    void readCommandOptions();
    void readRestoreOptions();
    bool readBackupTarget();
    void readCaptureOptions();
    bool readMilliseconds(const QString &option, double low, double high, double *ms);
    bool readAddresses(const QString &option, QList<quint16> *addresses);
    bool readPacing();
    bool refuseOutside(const QStringList &names, const QString &where);

    QCommandLineParser parser;
    Action chosen = Action::Window;
    QString problem;
};

#endif // COMMANDLINE_H

#include "cli/commandline.h"

#include "paramsets/parameterfile.h"
#include "protocol/slavelist.h"
#include "serial/lineoptions.h"
#include "serial/serial.h"

#include <QCommandLineOption>
#include <QFileInfo>

#include <cmath>

namespace {

// Every option of the program, in the order --help lists them.
const struct OptionRow
{
    const char *name;
    const char *valueName;  // null for a switch
    const char *description;
} optionTable[] = {
    {"port", "PATH", "Serial port of the driver, e.g. /dev/ttyUSB0."},
    {"tcp", "HOST[:PORT]", "Reach the driver over Modbus TCP instead of a serial port (TCP port 502 unless "
                           "given); --address is its unit id."},
    {"rtu-over-tcp", "HOST:PORT", "Reach the driver through a gateway that carries the serial line's RTU frames "
                                  "over TCP unchanged, instead of a serial port."},
    {"connect-timeout", "MS", "With --tcp or --rtu-over-tcp: how long a host may take to accept the connection "
                              "(default 3000)."},
    {"baud", "N", "Line rate: 1200, 4800, 9600 (default), 19200, 38400, 57600 or 115200."},
    {"parity", "none|even|odd", "Parity of the line (default none)."},
    {"stop-bits", "1|2", "Stop bits of the line (default 1)."},
    {"address", "LIST", "Slave address 1..247 (default: the map's slaveAddress). With --backup, --compare and "
                        "--restore also several drivers of one bus, done in turn: 1,2,5 or 1-6; --backup then "
                        "takes a folder."},
    {"map", "FILE", "Register map (default: RegisterInfo in the working folder)."},
    {"open", nullptr, "Window: open the port once the window shows."},
    {"lang", "zh|en", "Window language (default: the system's; Chinese unless it is another language)."},
    {"backup", "FILE", "Save every register of the map that answers to FILE."},
    {"compare", "FILE", "Compare FILE with the driver's values."},
    {"restore", "FILE", "Write the values of FILE that differ from the driver's."},
    {"dry-run", nullptr, "With --restore: show what would be written, write nothing."},
    {"skip", "ADDR[,ADDR...]", "With --restore: never write these registers (either word of a 32-bit one "
                               "skips it whole)."},
    {"allow-out-of-range", nullptr, "With --restore: write values outside the map's range too."},
    {"ignore-identity", nullptr, "With --restore: write even when the file's identity (model, firmware) is not "
                                 "the driver's."},
    {"include-write-only", "ADDR[,ADDR...]", "With --restore: also write these write-only (command) registers "
                                             "that the file sets."},
    {"gap", "MS", "Batch runs: MS milliseconds of silence between a reply and the next request, from 0 "
                  "(default: the Modbus RTU gap of 3.5 characters, 1.75 ms above 19200 baud; less breaks RTU "
                  "framing and is only for drivers known to cope)."},
    {"use-map-timing", nullptr, "With --backup, --compare, --restore: pace requests by the map's txTime "
                                "instead of at line speed."},
    {"scan", nullptr, "Ask every address at every baud rate for one register; list who answers."},
    {"bauds", "LIST", "With --scan: baud rates to try, e.g. 9600,19200 (default all seven)."},
    {"addresses", "A-B", "With --scan: addresses to ask (default 1-247)."},
    {"scan-timeout", "MS", "With --scan: reply timeout per address (default 50)."},
    {"command", "NAME", "Send the map's command NAME (its whole name, or any part that names one command, in "
                        "either language and any case; quote a name with blanks) and report whether the "
                        "driver's echo confirmed it."},
    {"yes", nullptr, "With --command: send a command that changes the driver's settings (one the map names in "
                     "danger). With --restore: write such a command's value when the file sets it."},
    {"capture", "FILE", "Capture rows of the map as fast as the line allows around a trigger and save them to "
                        "FILE as CSV (times in ms from the trigger)."},
    {"rows", "NAME[,NAME...]", "With --capture: the rows to capture, by their name in the map (whole, or a part "
                               "only one name holds; quote names with blanks)."},
    {"trigger", "NAME>VALUE", "With --capture: start when row NAME rises above VALUE (in its shown units); "
                              "NAME<VALUE when it falls below, NAME<>VALUE when it crosses either way "
                              "(default: at once)."},
    {"pre", "MS", "With --capture: milliseconds kept before the trigger (default 0)."},
    {"length", "MS", "With --capture: milliseconds captured after the trigger (default 1000)."},
    {"wait", "MS", "With --capture: how long to wait for the trigger before exit status 4 (default 10000)."},
};

// These gather every occurrence; any other option given twice would keep
// only its last value.
const QStringList gatheringOptions = {QStringLiteral("skip"), QStringLiteral("include-write-only")};

const QStringList batchActions = {QStringLiteral("backup"), QStringLiteral("compare"), QStringLiteral("restore"),
                                  QStringLiteral("scan"), QStringLiteral("command"), QStringLiteral("capture")};

} // namespace

CommandLine::CommandLine()
{
    parser.setApplicationDescription(QStringLiteral(
        "Modbus RTU tool for stepper-motor drivers. Without --backup, --compare, --restore,\n"
        "--scan, --command or --capture it opens the window; with one of them it runs\n"
        "without one.\n"
        "Exit status: 0 done, 1 bad usage or file, 2 port or driver not answering,\n"
        "3 differences found, values to write, or writes not confirmed.\n"
        "--command: 0 only when the driver's echo confirmed it; 1 unknown or ambiguous\n"
        "name, or a danger command without --yes (nothing sent); 2 no answer, refused,\n"
        "a reply that no request asked for, or Ctrl+C.\n"

        "--capture: 0 captured and saved; 1 bad usage, map or file; 2 port or driver\n"
        "not answering, the line lost, or a reply that no request asked for;\n"
        "4 the trigger did not come within --wait."));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const OptionRow &row : optionTable) {
        QCommandLineOption option(QString::fromLatin1(row.name), QString::fromLatin1(row.description));
        if (row.valueName)
            option.setValueName(QString::fromLatin1(row.valueName));
        parser.addOption(option);
    }
}

void CommandLine::refuse(const QString &why)
{
    chosen = Action::Invalid;
    problem = why;
}

void CommandLine::parse(const QStringList &arguments)
{
    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    const QString repeated = repeatedOption();
    if (!repeated.isEmpty())
        return refuse(QStringLiteral("--%1 is given twice; give it once").arg(repeated));
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        return void(chosen = Action::Help);
    if (parser.isSet(QStringLiteral("version")))
        return void(chosen = Action::Version);
    language = parser.value(QStringLiteral("lang"));
    if (!language.isEmpty() && language != QLatin1String("zh") && language != QLatin1String("en"))
        return refuse(QStringLiteral("--lang: '%1' is neither zh nor en").arg(language));
    if (!chooseAction())
        return;
    readLineOptions();
    if (chosen == Action::Invalid)
        return;
    const QStringList restoreOnly = {QStringLiteral("dry-run"), QStringLiteral("skip"),
                                     QStringLiteral("allow-out-of-range"), QStringLiteral("include-write-only"),
                                     QStringLiteral("ignore-identity")};
    const QStringList scanOnly = {QStringLiteral("bauds"), QStringLiteral("addresses"), QStringLiteral("scan-timeout")};
    const QStringList captureOnly = {QStringLiteral("rows"), QStringLiteral("trigger"), QStringLiteral("pre"),
                                     QStringLiteral("length"), QStringLiteral("wait")};
    const bool parameterRun = chosen == Action::Backup || chosen == Action::Compare || chosen == Action::Restore;
    if (refuseOutside(restoreOnly, chosen == Action::Restore ? QString() : QStringLiteral("--restore"))
        || refuseOutside(scanOnly, chosen == Action::Scan ? QString() : QStringLiteral("--scan"))
        || refuseOutside(captureOnly, chosen == Action::Capture ? QString() : QStringLiteral("--capture"))
        || refuseOutside({QStringLiteral("use-map-timing")},
                         parameterRun ? QString() : QStringLiteral("--backup, --compare or --restore"))
        || refuseOutside({QStringLiteral("yes")}, chosen == Action::Command || chosen == Action::Restore
                                                      ? QString() : QStringLiteral("--command or --restore"))
        || refuseOutside({QStringLiteral("gap")}, chosen != Action::Window ? QString() : QStringLiteral("a batch run"))
        || refuseOutside({QStringLiteral("open"), QStringLiteral("lang")},
                         chosen == Action::Window ? QString() : QStringLiteral("the window")))
        return;
    if (slaveAddresses.size() > 1 && !parameterRun)
        return refuse(QStringLiteral("--address takes one address here; a list goes with --backup, --compare or "
                                     "--restore"));
    // One file for several drivers would keep only the last one's values.
    if (slaveAddresses.size() > 1 && chosen == Action::Backup && !parameterFile.endsWith(QLatin1Char('/'))
        && !QFileInfo(parameterFile).isDir())
        return refuse(QStringLiteral("--backup with several addresses takes a folder (an existing one, or a path "
                                     "ending in /), one file per driver; '%1' is none").arg(parameterFile));
    if (chosen == Action::Backup && !readBackupTarget())
        return;
    if (chosen == Action::Window)
        return;
    if (port.isEmpty() && !network.isSet())
        return refuse(QStringLiteral("--port, --tcp or --rtu-over-tcp is needed"));
    if (!readPacing())
        return;
    if (chosen == Action::Scan)
        readScanOptions();
    else if (chosen == Action::Restore)
        readRestoreOptions();
    else if (chosen == Action::Capture)
        readCaptureOptions();
}

// The first option given more than once, or empty.
QString CommandLine::repeatedOption() const
{
    QStringList seen;
    for (const QString &name : parser.optionNames()) {
        if (seen.contains(name) && !gatheringOptions.contains(name))
            return name;
        seen.append(name);
    }
    return QString();
}

// At most one window-less action; none is the window.
bool CommandLine::chooseAction()
{
    QStringList given;
    for (const QString &name : batchActions) {
        if (parser.isSet(name))
            given.append(name);
    }
    if (given.size() > 1) {
        refuse(QStringLiteral("give only one of --backup, --compare, --restore, --scan, --command and --capture"));
        return false;
    }
    if (given.isEmpty())
        return true;
    const Action actions[] = {Action::Backup, Action::Compare, Action::Restore, Action::Scan, Action::Command,
                              Action::Capture};
    chosen = actions[batchActions.indexOf(given.first())];
    assumeYes = parser.isSet(QStringLiteral("yes"));
    if (chosen == Action::Command)
        readCommandOptions();
    else if (chosen == Action::Capture)
        captureFile = parser.value(given.first());
    else if (chosen != Action::Scan)
        parameterFile = parser.value(given.first());
    return true;
}

// True, and the arguments refused, when one of `names` is given where it
// means nothing; `where` is empty where they belong.
bool CommandLine::refuseOutside(const QStringList &names, const QString &where)
{
    if (where.isEmpty())
        return false;
    for (const QString &name : names) {
        if (parser.isSet(name)) {
            refuse(QStringLiteral("--%1 goes only with %2").arg(name, where));
            return true;
        }
    }
    return false;
}

void CommandLine::readLineOptions()
{
    port = parser.value(QStringLiteral("port"));
    if (parser.isSet(QStringLiteral("map")))
        mapPath = parser.value(QStringLiteral("map"));
    bool ok = true;
    if (parser.isSet(QStringLiteral("baud"))) {
        baud = parser.value(QStringLiteral("baud")).toInt(&ok, 10);
        if (!ok || !ScanRequest::offeredBauds().contains(baud))
            return refuse(QStringLiteral("--baud: '%1' is not one of the offered rates").arg(parser.value(QStringLiteral("baud"))));
    }
    if (parser.isSet(QStringLiteral("address"))) {
        const QString why = parseSlaveList(parser.value(QStringLiteral("address")), &slaveAddresses);
        if (!why.isEmpty())
            return refuse(QStringLiteral("--address: ") + why);
        slaveAddress = slaveAddresses.first();
    }
    QString why;
    if (parser.isSet(QStringLiteral("parity")) && !(why = parseParity(parser.value(QStringLiteral("parity")), parity)).isEmpty())
        return refuse(QStringLiteral("--parity: ") + why);
    if (parser.isSet(QStringLiteral("stop-bits"))
        && !(why = parseStopBits(parser.value(QStringLiteral("stop-bits")), stopBits)).isEmpty())
        return refuse(QStringLiteral("--stop-bits: ") + why);
    readNetworkOptions();
}

// One line a run; the serial line's settings mean nothing on a network one,
// and a gateway's RTU frames need its port spelled out.
void CommandLine::readNetworkOptions()
{
    const bool tcp = parser.isSet(QStringLiteral("tcp"));
    const bool rtuOverTcp = parser.isSet(QStringLiteral("rtu-over-tcp"));
    if (!tcp && !rtuOverTcp) {
        if (parser.isSet(QStringLiteral("connect-timeout")))
            refuse(QStringLiteral("--connect-timeout goes only with --tcp or --rtu-over-tcp"));
        return;
    }
    if (int(tcp) + int(rtuOverTcp) + int(parser.isSet(QStringLiteral("port"))) > 1)
        return refuse(QStringLiteral("give only one of --port, --tcp and --rtu-over-tcp"));
    for (const char *serialOnly : {"baud", "parity", "stop-bits", "bauds"}) {
        if (parser.isSet(QLatin1String(serialOnly)))
            return refuse(QStringLiteral("--%1 means nothing on a network line").arg(QLatin1String(serialOnly)));
    }
    const QString option = tcp ? QStringLiteral("tcp") : QStringLiteral("rtu-over-tcp");
    network.framing = tcp ? NetworkTarget::Framing::ModbusTcp : NetworkTarget::Framing::RtuOverTcp;
    const QString why = parseNetworkAddress(parser.value(option), rtuOverTcp, network);
    if (!why.isEmpty())
        return refuse(QStringLiteral("--%1: ").arg(option) + why);
    if (parser.isSet(QStringLiteral("connect-timeout"))) {
        bool ok = false;
        const int timeout = parser.value(QStringLiteral("connect-timeout")).toInt(&ok, 10);
        if (!ok || timeout < 1 || timeout > 600000)
            return refuse(QStringLiteral("--connect-timeout: '%1' is not a number of milliseconds from 1 to 600000")
                              .arg(parser.value(QStringLiteral("connect-timeout"))));
        network.connectTimeoutMs = timeout;
    }
}

QString CommandLine::lineName() const
{
    return network.isSet() ? network.name() : port;
}

bool CommandLine::openLine(Serial *serial) const
{
    if (network.isSet())
        return serial->openNetwork(network);
    return serial->openPort(port, baud, parity, stopBits);
}

// A mistyped folder would otherwise be made, and the backup looked for in
// vain where it was meant to go. Only the one folder that FOLDER/ names is
// made, for a backup of one file per driver.
bool CommandLine::readBackupTarget()
{
    const QFileInfo target(parameterFile);
    if (target.isDir())
        return true;
    const QString parent = parameterFile.endsWith(QLatin1Char('/'))
                               ? QFileInfo(target.absolutePath()).absolutePath()
                               : target.absolutePath();
    if (QFileInfo(parent).isDir())
        return true;
    refuse(QStringLiteral("--backup: the folder %1 does not exist; make it first, or name another").arg(parent));
    return false;
}

void CommandLine::readCommandOptions()
{
    commandName = parser.value(QStringLiteral("command")).trimmed();
}

void CommandLine::readScanOptions()
{
    scan.port = port;
    scan.network = network;
    scan.gapMs = gapMs;
    scan.parity = parity;
    scan.stopBits = stopBits;
    QString why;
    if (parser.isSet(QStringLiteral("bauds")) && !(why = parseBauds(parser.value(QStringLiteral("bauds")), scan)).isEmpty())
        return refuse(QStringLiteral("--bauds: ") + why);
    if (parser.isSet(QStringLiteral("addresses"))
        && !(why = parseAddresses(parser.value(QStringLiteral("addresses")), scan)).isEmpty())
        return refuse(QStringLiteral("--addresses: ") + why);
    if (parser.isSet(QStringLiteral("scan-timeout"))
        && !(why = parseScanTimeout(parser.value(QStringLiteral("scan-timeout")), scan)).isEmpty())
        return refuse(QStringLiteral("--scan-timeout: ") + why);
}

bool CommandLine::readPacing()
{
    useMapTiming = parser.isSet(QStringLiteral("use-map-timing"));
    if (!parser.isSet(QStringLiteral("gap")))
        return true;
    bool ok = false;
    gapMs = parser.value(QStringLiteral("gap")).toDouble(&ok);
    // "nan" and "inf" convert too, and a NaN is neither below 0 nor above 10000.
    if (!ok || !std::isfinite(gapMs) || gapMs < 0 || gapMs > 10000) {
        refuse(QStringLiteral("--gap: '%1' is not a number of milliseconds from 0 to 10000")
                   .arg(parser.value(QStringLiteral("gap"))));
        return false;
    }
    return true;
}

void CommandLine::readRestoreOptions()
{
    dryRun = parser.isSet(QStringLiteral("dry-run"));
    allowOutOfRange = parser.isSet(QStringLiteral("allow-out-of-range"));
    ignoreIdentity = parser.isSet(QStringLiteral("ignore-identity"));
    if (readAddresses(QStringLiteral("skip"), &skipped))
        readAddresses(QStringLiteral("include-write-only"), &includedWriteOnly);
}

bool CommandLine::readAddresses(const QString &option, QList<quint16> *addresses)
{
    for (const QString &text : parser.values(option)) {
        for (const QString &part : text.split(QLatin1Char(','))) {
            quint16 address = 0;
            if (!parseRegisterAddress(part, &address)) {
                refuse(QStringLiteral("--%1: '%2' is not a register address").arg(option, part));
                return false;
            }
            addresses->append(address);
        }
    }
    return true;
}

void CommandLine::readCaptureOptions()
{
    capture.rows.clear();
    for (const QString &name : parser.value(QStringLiteral("rows")).split(QLatin1Char(','), Qt::SkipEmptyParts))
        capture.rows << name.trimmed();
    if (capture.rows.isEmpty())
        return refuse(QStringLiteral("--capture needs --rows with at least one row name"));
    const QString why = CaptureTrigger::parse(parser.value(QStringLiteral("trigger")), &capture.trigger);
    if (!why.isEmpty())
        return refuse(QStringLiteral("--trigger: ") + why);
    capture.waitMs = 10000;
    if (readMilliseconds(QStringLiteral("pre"), 0, 600000, &capture.preMs)
        && readMilliseconds(QStringLiteral("length"), 1, 600000, &capture.lengthMs))
        readMilliseconds(QStringLiteral("wait"), 1, 86400000, &capture.waitMs);
}

// Leaves `ms` as it is when the option is not given.
bool CommandLine::readMilliseconds(const QString &option, double low, double high, double *ms)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const double value = parser.value(option).toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < low || value > high) {
        refuse(QStringLiteral("--%1: '%2' is not a number of milliseconds from %3 to %4")
                   .arg(option, parser.value(option)).arg(low).arg(high));
        return false;
    }
    *ms = value;
    return true;
}

StartOptions CommandLine::startOptions() const
{
    StartOptions options;
    options.port = port;
    options.network = network;
    if (parser.isSet(QStringLiteral("baud")))
        options.baud = baud;
    if (parser.isSet(QStringLiteral("parity")))
        options.parity = parity;
    if (parser.isSet(QStringLiteral("stop-bits")))
        options.stopBits = stopBits;
    if (slaveAddress > 0)
        options.address = slaveAddress;
    if (parser.isSet(QStringLiteral("map")))
        options.mapFile = mapPath;
    options.open = parser.isSet(QStringLiteral("open"));
    return options;
}

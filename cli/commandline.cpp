#include "cli/commandline.h"

#include "paramsets/parameterfile.h"

#include <QCommandLineOption>

namespace {

// Every option of the program, in the order --help lists them.
const struct OptionRow
{
    const char *name;
    const char *valueName;  // null for a switch
    const char *description;
    bool batchOnly;  // means nothing to the window
} optionTable[] = {
    {"port", "PATH", "Serial port of the driver, e.g. /dev/ttyUSB0.", true},
    {"baud", "N", "Line rate (default 9600).", true},
    {"address", "N", "Slave address 1..247 (default: the map's slaveAddress).", true},
    {"map", "FILE", "Register map (default: RegisterInfo in the working folder).", true},
    {"backup", "FILE", "Save every register of the map that answers to FILE.", true},
    {"compare", "FILE", "Compare FILE with the driver's values.", true},
    {"restore", "FILE", "Write the values of FILE that differ from the driver's.", true},
    {"dry-run", nullptr, "With --restore: show what would be written, write nothing.", true},
    {"skip", "ADDR[,ADDR...]", "With --restore: never write these registers.", true},
    {"lang", "zh|en", "Language of the window (default: the system's; Chinese unless it is another language).", false},
};

} // namespace

CommandLine::CommandLine()
{
    parser.setApplicationDescription(QStringLiteral(
        "Modbus RTU tool for stepper-motor drivers. Without options it opens the window;\n"
        "--backup, --compare and --restore run without one."));
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
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        return void(chosen = Action::Help);
    if (parser.isSet(QStringLiteral("version")))
        return void(chosen = Action::Version);
    language = parser.value(QStringLiteral("lang"));
    if (!language.isEmpty() && language != QLatin1String("zh") && language != QLatin1String("en"))
        return refuse(QStringLiteral("--lang: '%1' is neither zh nor en").arg(language));

    const QStringList actions = {QStringLiteral("backup"), QStringLiteral("compare"), QStringLiteral("restore")};
    QStringList given;
    for (const QString &name : actions) {
        if (parser.isSet(name))
            given.append(name);
    }
    if (given.size() > 1)
        return refuse(QStringLiteral("give only one of --backup, --compare and --restore"));
    if (given.isEmpty()) {
        for (const OptionRow &row : optionTable) {
            if (row.batchOnly && parser.isSet(QString::fromLatin1(row.name)))
                return refuse(QStringLiteral("--%1 needs --backup, --compare or --restore").arg(QLatin1String(row.name)));
        }
        return;
    }
    chosen = given.first() == actions.at(0) ? Action::Backup
           : given.first() == actions.at(1) ? Action::Compare : Action::Restore;
    parameterFile = parser.value(given.first());
    readBatchOptions();
}

void CommandLine::readBatchOptions()
{
    port = parser.value(QStringLiteral("port"));
    if (port.isEmpty())
        return refuse(QStringLiteral("--port is needed"));
    if (parser.isSet(QStringLiteral("map")))
        mapPath = parser.value(QStringLiteral("map"));
    bool ok = true;
    if (parser.isSet(QStringLiteral("baud"))) {
        baud = parser.value(QStringLiteral("baud")).toInt(&ok, 10);
        if (!ok || baud <= 0)
            return refuse(QStringLiteral("--baud: '%1' is not a line rate").arg(parser.value(QStringLiteral("baud"))));
    }
    if (parser.isSet(QStringLiteral("address"))) {
        slaveAddress = parser.value(QStringLiteral("address")).toInt(&ok, 10);
        if (!ok || slaveAddress < 1 || slaveAddress > 247)
            return refuse(QStringLiteral("--address: '%1' is not 1..247").arg(parser.value(QStringLiteral("address"))));
    }
    const bool restoring = chosen == Action::Restore;
    if (!restoring && (parser.isSet(QStringLiteral("dry-run")) || parser.isSet(QStringLiteral("skip"))))
        return refuse(QStringLiteral("--dry-run and --skip go with --restore"));
    dryRun = parser.isSet(QStringLiteral("dry-run"));
    for (const QString &text : parser.values(QStringLiteral("skip"))) {
        for (const QString &part : text.split(QLatin1Char(','))) {
            quint16 address = 0;
            if (!parseRegisterAddress(part, &address))
                return refuse(QStringLiteral("--skip: '%1' is not a register address").arg(part));
            skipped.append(address);
        }
    }
}

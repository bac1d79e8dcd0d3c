#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

// The program's options and what they ask for. Parsing needs no
// application object, so main() can choose between the window and a
// window-less run before it makes one.
class CommandLine
{
public:
    enum class Action { Window, Help, Version, Backup, Compare, Restore, Invalid };

    CommandLine();
    // Reads `arguments` (program name first) and checks the values.
    void parse(const QStringList &arguments);

    Action action() const { return chosen; }
    bool isBatch() const { return chosen != Action::Window; }
    // Why the arguments are refused, for Action::Invalid.
    QString error() const { return problem; }
    QString helpText() const { return parser.helpText(); }

    QString port;
    qint32 baud = 9600;
    int slaveAddress = 0;  // 0: the map's
    QString mapPath = QStringLiteral("RegisterInfo");
    QString parameterFile;
    bool dryRun = false;
    QList<quint16> skipped;
    QString language;  // "zh", "en", or empty for the system's

private:
    void refuse(const QString &why);
    void readBatchOptions();

    QCommandLineParser parser;
    Action chosen = Action::Window;
    QString problem;
};

#endif // COMMANDLINE_H

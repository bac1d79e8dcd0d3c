#include "cli/busbatch.h"

#include "cli/batchrun.h"
#include "cli/commandline.h"
#include "protocol/slavelist.h"

#include <QTimer>

namespace {

int severity(int status)
{
    switch (status) {
    case BatchRun::BadInput: return 3;
    case BatchRun::NoDriver: return 2;
    case BatchRun::NotEqual: return 1;
    default: return 0;
    }
}

QString statusWord(int status, CommandLine::Action action)
{
    switch (status) {
    case BatchRun::Done: return QStringLiteral("done");
    case BatchRun::BadInput: return QStringLiteral("FAILED: map or file not usable, or file not written (exit 1)");
    case BatchRun::NoDriver: return QStringLiteral("FAILED: no answer, or replies not trusted (exit 2)");
    default:
        break;
    }
    switch (action) {
    case CommandLine::Action::Backup: return QStringLiteral("FAILED: registers unread or interrupted (exit 3)");
    case CommandLine::Action::Compare: return QStringLiteral("differs, or registers unread (exit 3)");
    default: return QStringLiteral("FAILED: not every write confirmed, or interrupted (exit 3)");
    }
}

} // namespace

BusBatch::BusBatch(const CommandLine &options, QObject *parent)
    : QObject(parent)
    , options(options)
    , waiting(options.slaveAddresses)
    , out(stdout)
{
    out.setCodec("UTF-8");
}

void BusBatch::start()
{
    startNext();
}

void BusBatch::interrupt()
{
    interrupted = true;
    if (current)
        current->interrupt();
}

void BusBatch::startNext()
{
    // The last run's port closes with it, before the next run opens it.
    delete current;
    current = nullptr;
    if (waiting.isEmpty() || interrupted || stopRest)
        return finish();
    currentAddress = waiting.takeFirst();
    // Where a long list has got to.
    out << "== driver " << currentAddress << " (" << results.size() + 1 << " of " << options.slaveAddresses.size()
        << ')' << Qt::endl;
    current = new BatchRun(options, currentAddress, this);
    current->setQuietInputs(!results.isEmpty());
    connect(current, &BatchRun::finished, this, &BusBatch::onRunFinished);
    current->start();
}

void BusBatch::onRunFinished(int status)
{
    if (severity(status) > severity(worst))
        worst = status;
    // The same line would not open for the next driver either.
    stopRest = (status == BatchRun::BadInput && !current->refusedThisDriver()) || current->lineUnopened();
    QString word = current->refusedThisDriver()
                       ? QStringLiteral("FAILED: the file is another model's or firmware's, or names no driver; "
                                        "nothing written (exit 1)")
                       : statusWord(status, options.action());
    if (current->lineUnopened())
        word = QStringLiteral("FAILED: the port did not open; nothing was sent (exit 2)");
    else if (current->driverAbsent())
        word = QStringLiteral("FAILED: no answer when asked twice: absent (exit 2)");
    else if (status == BatchRun::NoDriver && current->unaskedFrom() >= 0)
        word = QStringLiteral("FAILED: a reply from %1 %2 came that no request asked for; replies not trusted "
                              "(exit 2)").arg(addressWord(options.network.isModbusTcp())).arg(current->unaskedFrom());
    results << QStringLiteral("driver %1: %2").arg(currentAddress).arg(word);
    out << results.last() << Qt::endl;
    QTimer::singleShot(0, this, &BusBatch::startNext);
}

void BusBatch::finish()
{
    for (int address : qAsConst(waiting))
        results << QStringLiteral("driver %1: not begun").arg(address);
    if (!waiting.isEmpty() && severity(worst) < severity(BatchRun::NotEqual))
        worst = BatchRun::NotEqual;
    out << "bus " << slaveListText(options.slaveAddresses) << ": " << results.join(QLatin1String("; ")) << Qt::endl;
    emit finished(worst);
}

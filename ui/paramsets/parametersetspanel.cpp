#include "ui/paramsets/parametersetspanel.h"

#include "paramsets/restoreplan.h"

#include "ui/paramsets/busparametersets.h"
#include "ui/paramsets/comparedialog.h"
#include "app/settings.h"
#include "paramsets/backupnames.h"
#include "paramsets/identitycheck.h"
#include "paramsets/linesettings.h"
#include "paramsets/parametercompare.h"
#include "paramsets/parameterrun.h"
#include "protocol/requestscheduler.h"
#include "serial/serial.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QWidget>

ParameterSetsPanel::ParameterSetsPanel(RequestScheduler *scheduler, QWidget *window)
    : QObject(window)
    , window(window)
    , scheduler(scheduler)
    , run(new ParameterRun(scheduler, this))
    , bus(new BusParameterSets(scheduler, window))
{
    connect(bus, &BusParameterSets::busyChanged, this, &ParameterSetsPanel::busyChanged);
    connect(bus, &BusParameterSets::fileRefused, this, &ParameterSetsPanel::fileRefused);
    connect(run, &ParameterRun::readFinished, this, &ParameterSetsPanel::onRead);
    // Reading may lead straight into writing: the state is taken once the
    // step's own handler has run.
    connect(run, &ParameterRun::readFinished, this, [this] { emit busyChanged(run->isRunning()); });
    connect(run, &ParameterRun::writeFinished, this, [this] { emit busyChanged(run->isRunning()); });
    connect(scheduler, &RequestScheduler::sessionEnded, this, &ParameterSetsPanel::onSessionEnded);
}

bool ParameterSetsPanel::isBusy() const
{
    return run->isRunning() || bus->isBusy();
}

CompareDialog *ParameterSetsPanel::dialog() const
{
    return compareDialog;
}

QList<int> ParameterSetsPanel::batchDrivers() const
{
    const QList<int> selected = selection ? selection() : QList<int>();
    return selected.size() > 1 ? selected : QList<int>();
}

void ParameterSetsPanel::backup(const DriverContext &driver)
{
    const QList<int> drivers = batchDrivers();
    if (drivers.isEmpty())
        return backupTo(driver, QString());
    if (run->isRunning())
        return emit notice(tr("参数读写进行中，请稍候"));
    bus->backup(driver, drivers);
}

void ParameterSetsPanel::backupTo(const DriverContext &driver, const QString &path)
{
    purpose = Purpose::Backup;
    filePath = path;
    readDriver(driver);
}

void ParameterSetsPanel::load(const DriverContext &driver)
{
    const QList<int> drivers = batchDrivers();
    if (!drivers.isEmpty()) {
        if (run->isRunning())
            return emit notice(tr("参数读写进行中，请稍候"));
        return bus->load(driver, drivers);
    }
    const QString path = QFileDialog::getOpenFileName(window, tr("载入参数"), lastFolder(QStringLiteral("parameters")),
                                                      tr("参数文件 (*.csv);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    rememberFolder(QStringLiteral("parameters"), path);
    loadFrom(driver, path);
}

void ParameterSetsPanel::loadFrom(const DriverContext &driver, const QString &path)
{
    file = ParameterFile();
    const bool readable = readParameterFile(path, &file);
    if (!readable || !file.problems.isEmpty()) {
        QStringList problems = file.problems;
        if (readable)
            problems += restoreProblems(file.entries, driver.registers);
        emit fileRefused(path, problems);
        return;
    }
    purpose = Purpose::Compare;
    filePath = path;
    readDriver(driver);
}

// What was under way ends through its requests' outcomes; the dialog of a
// comparison made on the closed connection writes no more.
void ParameterSetsPanel::stop()
{
    run->cancel();
}

void ParameterSetsPanel::leaveDriver()
{
    run->cancel();
    if (compareDialog)
        compareDialog->showDriverChanged();
}

void ParameterSetsPanel::onSessionEnded()
{
    if (compareDialog)
        compareDialog->showSessionEnded();
}

void ParameterSetsPanel::readDriver(const DriverContext &driver)
{
    if (run->isRunning()) {
        emit notice(tr("参数读写进行中，请稍候"));
        return;
    }
    context = driver;
    run->setMap(context.registers, context.blockRead, context.writeFunction);
    emit busyChanged(true);
    run->readMap();
}

// Values cut short by a closed port or a cancel are neither saved, compared
// nor written.
void ParameterSetsPanel::onRead(const QHash<quint16, qint64> &values, RunEnd end)
{
    if (end == RunEnd::UnaskedReply) {
        const QString text = tr("收到来自地址 %1 的无人请求的应答（另一主站，或此地址上的第二台设备？），读到的值均不可信")
                                 .arg(run->unaskedFrom());
        if (purpose == Purpose::Verify && compareDialog)
            return compareDialog->showRefusal(text);
        return emit notice(text);
    }
    if (end == RunEnd::DriverAbsent) {
        const QString text = run->answeredLate()
                                 ? tr("地址 %1 有应答，但都晚于应答等待时间（rxOutTime %2 ms，询问两次，%3）："
                                      "网关或驱动器较慢，请加大映射表的 rxOutTime")
                                       .arg(context.slaveAddress)
                                       .arg(scheduler->rxOutTime())
                                       .arg(lineSettingsText(*Serial::instance()))
                                 : tr("地址 %1 无应答（询问两次，%2）：请检查地址、波特率与校验位、A/B 接线，或扫描总线")
                                       .arg(context.slaveAddress)
                                       .arg(lineSettingsText(*Serial::instance()));
        if (purpose == Purpose::Verify && compareDialog)
            return compareDialog->showRefusal(text);
        return emit notice(text);
    }
    if (end != RunEnd::Completed) {
        if (purpose == Purpose::Verify && compareDialog)
            compareDialog->showRefusal(tr("读取驱动器参数未完成，未写入任何参数"));
        return;
    }
    if (purpose == Purpose::Verify)
        return writeIfUnchanged(values);
    if (values.isEmpty()) {
        emit notice(tr("驱动器无应答"));
        return;
    }
    if (purpose == Purpose::Backup)
        saveBackup(values);
    else
        showComparison(values);
}

void ParameterSetsPanel::saveBackup(const QHash<quint16, qint64> &values)
{
    QString path = filePath;
    if (path.isEmpty()) {
        const QString proposed = datedDriverFileName(context.slaveAddress, context.registers, values,
                                                     QDateTime::currentDateTime());
        path = QFileDialog::getSaveFileName(window, tr("保存参数"),
                                            QDir(lastFolder(QStringLiteral("parameters"))).filePath(proposed),
                                            tr("参数文件 (*.csv)"));
        if (!path.isEmpty())
            rememberFolder(QStringLiteral("parameters"), path);
    }
    if (path.isEmpty())
        return;
    QStringList unread;
    const QList<ParameterEntry> entries = answeredEntries(context.registers, values, &unread);
    QString error;
    QStringList comments = parameterFileComments(context.port, context.slaveAddress, context.mapPath,
                                                 readIdentity(context.registers, values));
    if (!unread.isEmpty())
        comments << partialComment(unread);
    if (!writeParameterFile(path, comments, entries, &error)) {
        emit notice(tr("参数文件保存失败: ") + error);
        return;
    }
    QString text = tr("已保存 %1 个参数到 %2").arg(entries.size()).arg(QFileInfo(path).fileName());
    if (!unread.isEmpty())
        text += tr("；未读取，未保存: ") + unread.join(QLatin1String(", "));
    emit notice(text);
}

void ParameterSetsPanel::showComparison(const QHash<quint16, qint64> &values)
{
    if (!compareDialog) {
        compareDialog = new CompareDialog(window);
        connect(compareDialog, &CompareDialog::writeRequested, this, &ParameterSetsPanel::writeTicked);
        connect(compareDialog, &CompareDialog::cancelRequested, run, &ParameterRun::cancel);
        connect(run, &ParameterRun::writeOutcome, compareDialog, &CompareDialog::showOutcome);
        connect(run, &ParameterRun::writeProgress, compareDialog, &CompareDialog::showProgress);
        connect(run, &ParameterRun::writeFinished, compareDialog, &CompareDialog::showWritesFinished);
    }
    comparedSession = scheduler->session();
    comparedValues = values;
    const RestorePlan plan(context.registers, file, values, RestoreChoices(), WriteOrigin::Compare);
    compareDialog->setMap(context.registers);
    compareDialog->showComparison(filePath, plan.compared(),
                                  restoreProblems(file.entries, context.registers), plan.isOwnUndo());
    compareDialog->showIdentity(plan.identity(), plan.unrecordedRows());
    compareDialog->show();
    compareDialog->raise();
}

// The driver is read again first, on the same connection: the undo file
// must hold what it has just before the first write, and a driver changed
// since the comparison is shown again instead of written.
void ParameterSetsPanel::writeTicked(const QList<ParameterEntry> &writes, const WriteConsent &consent)
{
    if (!scheduler->isRunning() || scheduler->session() != comparedSession)
        return compareDialog->showRefusal(tr("串口已关闭或已重新打开：请重新载入参数后再写入"));
    if (run->isRunning())
        return compareDialog->showRefusal(tr("参数读写进行中，请稍候"));
    pendingWrites = writes;
    pendingConsent = consent;
    purpose = Purpose::Verify;
    emit busyChanged(true);
    run->readMap();
}

// Only the registers the file names, and the driver's identity, count:
// status values, speed or bus voltage change all the time.
bool ParameterSetsPanel::changedSinceComparison(const QHash<quint16, qint64> &values) const
{
    QList<quint16> addresses = driverProfile(context.registers).identity;
    for (const ParameterEntry &entry : file.entries)
        addresses << entry.address;
    for (quint16 address : qAsConst(addresses)) {
        if (values.contains(address) != comparedValues.contains(address)
            || values.value(address) != comparedValues.value(address))
            return true;
    }
    return false;
}

void ParameterSetsPanel::writeIfUnchanged(const QHash<quint16, qint64> &values)
{
    purpose = Purpose::Compare;
    if (changedSinceComparison(values)) {
        showComparison(values);
        return compareDialog->showRefusal(tr("驱动器的参数在比较后已变化：已重新比较，请确认后再写入"));
    }
    // The plan of the values just read: their undo file, and whether the
    // file is still this driver's own undo.
    const RestorePlan plan(context.registers, file, values, RestoreChoices(), WriteOrigin::Compare);
    QString error;
    const QString undoPath = plan.saveUndo(context.port, context.slaveAddress, context.mapPath, &error);
    if (undoPath.isEmpty())
        return compareDialog->showRefusal(tr("撤销文件保存失败，未写入任何参数: ") + error);
    compareDialog->showWriteStarted(undoPath);
    emit busyChanged(true);
    run->writeValues(pendingWrites, plan.origin(), pendingConsent);
}

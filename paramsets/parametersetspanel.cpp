#include "paramsets/parametersetspanel.h"

#include "paramsets/comparedialog.h"
#include "paramsets/parametercompare.h"
#include "paramsets/parameterrun.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QWidget>

ParameterSetsPanel::ParameterSetsPanel(RequestScheduler *scheduler, QWidget *window)
    : QObject(window)
    , window(window)
    , run(new ParameterRun(scheduler, this))
{
    connect(run, &ParameterRun::readFinished, this, &ParameterSetsPanel::onRead);
}

CompareDialog *ParameterSetsPanel::dialog() const
{
    return compareDialog;
}

void ParameterSetsPanel::backup(const DriverContext &driver)
{
    backupTo(driver, QString());
}

void ParameterSetsPanel::backupTo(const DriverContext &driver, const QString &path)
{
    purpose = Purpose::Backup;
    filePath = path;
    readDriver(driver);
}

void ParameterSetsPanel::load(const DriverContext &driver)
{
    const QString path = QFileDialog::getOpenFileName(window, tr("载入参数"), QString(),
                                                      tr("参数文件 (*.csv);;所有文件 (*)"));
    if (!path.isEmpty())
        loadFrom(driver, path);
}

void ParameterSetsPanel::loadFrom(const DriverContext &driver, const QString &path)
{
    file = ParameterFile();
    const bool readable = readParameterFile(path, &file);
    if (!readable || !file.problems.isEmpty() || file.entries.isEmpty()) {
        QStringList problems = file.problems;
        if (readable)
            problems += restoreProblems(file.entries, driver.registers);
        if (problems.isEmpty())
            problems.append(tr("没有寄存器值"));
        emit fileRefused(path, problems);
        return;
    }
    purpose = Purpose::Compare;
    filePath = path;
    readDriver(driver);
}

void ParameterSetsPanel::stop()
{
    // Values cut short by a closed port are neither saved nor compared.
    stopping = true;
    run->abandon();
    stopping = false;
}

void ParameterSetsPanel::readDriver(const DriverContext &driver)
{
    if (run->isRunning()) {
        emit notice(tr("参数读写进行中，请稍候"));
        return;
    }
    context = driver;
    run->readRegisters(mapAddresses(context.registers));
}

void ParameterSetsPanel::onRead(const QHash<quint16, quint16> &values)
{
    if (stopping)
        return;
    lastRead = values;
    if (values.isEmpty()) {
        emit notice(tr("驱动器无应答"));
        return;
    }
    if (purpose == Purpose::Backup)
        saveBackup(values);
    else
        showComparison(values);
}

void ParameterSetsPanel::saveBackup(const QHash<quint16, quint16> &values)
{
    QString path = filePath;
    if (path.isEmpty())
        path = QFileDialog::getSaveFileName(window, tr("保存参数"), QStringLiteral("parameters.csv"),
                                            tr("参数文件 (*.csv)"));
    if (path.isEmpty())
        return;
    QStringList silent;
    const QList<ParameterEntry> entries = answeredEntries(context.registers, values, &silent);
    QString error;
    if (!writeParameterFile(path, parameterFileComments(context.port, context.slaveAddress, context.mapPath),
                            entries, &error)) {
        emit notice(tr("参数文件保存失败: ") + error);
        return;
    }
    QString text = tr("已保存 %1 个参数到 %2").arg(entries.size()).arg(QFileInfo(path).fileName());
    if (!silent.isEmpty())
        text += tr("；无应答未保存: ") + silent.join(QLatin1String(", "));
    emit notice(text);
}

void ParameterSetsPanel::showComparison(const QHash<quint16, quint16> &values)
{
    if (!compareDialog) {
        compareDialog = new CompareDialog(window);
        connect(compareDialog, &CompareDialog::writeRequested, this, &ParameterSetsPanel::writeTicked);
        connect(compareDialog, &CompareDialog::cancelRequested, run, &ParameterRun::cancel);
        connect(run, &ParameterRun::writeOutcome, compareDialog, &CompareDialog::showOutcome);
        connect(run, &ParameterRun::writeProgress, compareDialog, &CompareDialog::showProgress);
        connect(run, &ParameterRun::writeFinished, compareDialog, &CompareDialog::showWritesFinished);
    }
    compareDialog->showComparison(filePath, compareParameters(file.entries, context.registers, values),
                                  restoreProblems(file.entries, context.registers));
    compareDialog->show();
    compareDialog->raise();
}

void ParameterSetsPanel::writeTicked(const QList<ParameterEntry> &writes)
{
    if (run->isRunning())
        return compareDialog->showRefusal(tr("参数读写进行中，请稍候"));
    QString error;
    const QString undoPath = saveUndoFile(answeredEntries(context.registers, lastRead), context.port,
                                          context.slaveAddress, context.mapPath, &error);
    if (undoPath.isEmpty())
        return compareDialog->showRefusal(tr("撤销文件保存失败，未写入任何参数: ") + error);
    compareDialog->showWriteStarted(undoPath);
    run->writeValues(writes);
}

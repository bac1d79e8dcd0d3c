#include "ui/paramsets/busparametersets.h"

#include "paramsets/busparameterrun.h"
#include "paramsets/parametercompare.h"
#include "ui/paramsets/busbatchdialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

namespace {

QString addressList(const QList<int> &addresses)
{
    QStringList texts;
    for (int address : addresses)
        texts << QString::number(address);
    return texts.join(QLatin1String(", "));
}

} // namespace

BusParameterSets::BusParameterSets(RequestScheduler *scheduler, QWidget *window)
    : QObject(window)
    , window(window)
    , run(new BusParameterRun(scheduler, this))
{
    connect(run, &BusParameterRun::finished, this, [this] { emit busyChanged(false); });
}

bool BusParameterSets::isBusy() const
{
    return run->isRunning();
}

void BusParameterSets::backup(const DriverContext &context, const QList<int> &addresses)
{
    const QString folder = QFileDialog::getExistingDirectory(window, tr("保存参数：%1 台驱动器各存一个文件的文件夹")
                                                                         .arg(addresses.size()));
    if (folder.isEmpty())
        return;
    showDialog(tr("保存参数：地址 %1 → %2").arg(addressList(addresses), folder));
    run->backup(context, addresses, folder);
}

// One file for every selected driver: nothing is written before the user
// has agreed, once, and there is no writing anyway to another model.
void BusParameterSets::load(const DriverContext &context, const QList<int> &addresses)
{
    const QString path = QFileDialog::getOpenFileName(window, tr("载入参数"), QString(),
                                                      tr("参数文件 (*.csv);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    ParameterFile file;
    const bool readable = readParameterFile(path, &file);
    QStringList problems = file.problems;
    if (readable)
        problems += restoreProblems(file.entries, context.registers);
    if (!readable || !problems.isEmpty())
        return emit fileRefused(path, problems);
    const QString question =
        tr("把参数文件 %1 写入 %2 台驱动器（地址 %3）？\n\n每台先读取并核对型号与固件：不同的跳过，不写入。"
           "写入前为每台保存撤销文件。")
            .arg(QFileInfo(path).fileName())
            .arg(addresses.size())
            .arg(addressList(addresses));
    if (QMessageBox::question(window, tr("载入参数"), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    showDialog(tr("载入参数：%1 → 地址 %2").arg(QFileInfo(path).fileName(), addressList(addresses)));
    run->restore(context, addresses, file);
}

void BusParameterSets::showDialog(const QString &task)
{
    if (!batchDialog) {
        batchDialog = new BusBatchDialog(window);
        connect(batchDialog, &BusBatchDialog::cancelRequested, run, &BusParameterRun::cancel);
        connect(run, &BusParameterRun::driverStarted, batchDialog, &BusBatchDialog::showDriver);
        connect(run, &BusParameterRun::rowProgress, batchDialog, &BusBatchDialog::showRows);
        connect(run, &BusParameterRun::driverFinished, batchDialog, &BusBatchDialog::addResult);
        connect(run, &BusParameterRun::finished, batchDialog, &BusBatchDialog::showFinished);
    }
    batchDialog->begin(task);
    emit busyChanged(true);
}

#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/settings.h"
#include "ui/log/logcolours.h"
#include "ui/log/trafficlogview.h"
#include "ui/port/portpanel.h"
#include "ui/monitor/livemonitor.h"
#include "registermap/registermap.h"
#include "protocol/requestscheduler.h"
#include "serial/serial.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QSerialPort>

namespace {

// The first dropped local file, if any.
QString droppedFile(const QMimeData *data)
{
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return QString();
}

} // namespace

bool MainWindow::loadRegisterMap(const QString &fileName)
{
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly)) {
        showRefusal(tr("文件读取失败，请检查文件是否存在!"));
        return false;
    }
    file.close();
    if (Serial::instance()->serialPort->isOpen())
        closePort();
    // The register being edited belongs to the map being replaced.
    valueEditWin.hide();
    registerList.clear();
    registerAddrs.clear();
    // The rows watched so far belong to the map being replaced.
    liveMonitor->clear();
    // The values a map without these keys starts with.
    slaveAddress = 1;
    txTime = 100;
    rxOutTime = 1000;
    readRegisterInfo(fileName);
    useMapSettings(fileName);
    return true;
}

// The line takes its timing and address from the map just read; the title
// names the map.
void MainWindow::useMapSettings(const QString &fileName)
{
    scheduler->setTiming(txTime, rxOutTime);
    portPanel->setAddress(slaveAddress);
    const QFileInfo map(fileName);
    const QString title = tr("开闭环步进驱动器-上位机调试软件 v1.0");
    setWindowTitle(map.isFile() ? title + QStringLiteral(" - ") + map.fileName() : title);
}

// One notice for the whole file; the details, a line each, go to the log.
void MainWindow::reportMapProblems(const QString &fileName, const RegisterMap &map)
{
    if (map.problems.isEmpty())
        return;
    const QString name = QFileInfo(fileName).fileName();
    for (const QString &problem : map.problems)
        logView->append(LogColour::Error, name + QStringLiteral(" ") + problem);
    QStringList parts;
    if (map.skippedLines > 0)
        parts << tr("%1 行无法识别，已跳过").arg(map.skippedLines);
    if (map.invalidAddresses > 0)
        parts << tr("%1 行地址无效，不读不写").arg(map.invalidAddresses);
    if (map.repeatedAddresses > 0)
        parts << tr("%1 行的地址与前面的行重复").arg(map.repeatedAddresses);
    if (map.unreadableRanges > 0)
        parts << tr("%1 行的范围无法识别，不检查范围").arg(map.unreadableRanges);
    if (map.formatProblems > 0)
        parts << tr("%1 行数值格式有误").arg(map.formatProblems);
    showRefusal(tr("映射文件 %1：\n%2\n详见日志").arg(name, parts.join(tr("；"))));
}

void MainWindow::on_pushButton_openMap_clicked()
{
    const QString fileName = QFileDialog::getOpenFileName(this, tr("打开映射"), lastFolder(QStringLiteral("map")));
    if (fileName.isEmpty())
        return;
    rememberFolder(QStringLiteral("map"), fileName);
    loadRegisterMap(fileName);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QString fileName = droppedFile(event->mimeData());
    if (fileName.isEmpty())
        return;
    event->acceptProposedAction();
    loadRegisterMap(fileName);
}

#include "ui/mapopener.h"

#include "app/settings.h"
#include "ui/language/corewording.h"
#include "ui/log/logcolours.h"
#include "ui/log/trafficlogview.h"
#include "ui/port/portpanel.h"
#include "ui/port/portsession.h"
#include "registermap/registermap.h"
#include "registermap/registerstore.h"
#include "protocol/requestscheduler.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

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

MapOpener::MapOpener(RegisterStore *store, QWidget *window, const QString &title)
    : QObject(window)
    , store(store)
    , window(window)
    , title(title)
{
}

void MapOpener::setLine(PortSession *session, PortPanel *panel, RequestScheduler *scheduler, TrafficLogView *log)
{
    this->session = session;
    this->panel = panel;
    this->scheduler = scheduler;
    this->log = log;
}

bool MapOpener::load(const QString &fileName)
{
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly)) {
        emit refused(tr("文件读取失败，请检查文件是否存在!"));
        return false;
    }
    file.close();
    if (session->isOpen())
        session->close();
    store->clear();
    read(fileName);
    useSettings(fileName);
    return true;
}

void MapOpener::read(const QString &fileName)
{
    RegisterMap map;
    if (!store->read(fileName, &map))
        emit refused(tr("文件读取失败，请检查文件是否存在!"));
    reportProblems(fileName, map);
}

// The line takes its timing and address from the map just read; the title
// names the map.
void MapOpener::useSettings(const QString &fileName)
{
    scheduler->setTiming(store->txTime(), store->rxOutTime());
    panel->setAddress(store->slaveAddress());
    showTitle(fileName);
}

void MapOpener::setTitle(const QString &title)
{
    this->title = title;
    showTitle(store->fileName());
}

void MapOpener::showTitle(const QString &fileName)
{
    const QFileInfo map(fileName);
    window->setWindowTitle(map.isFile() ? title + QStringLiteral(" - ") + map.fileName() : title);
}

// One notice for the whole file; the details, a line each, go to the log.
void MapOpener::reportProblems(const QString &fileName, const RegisterMap &map)
{
    if (map.problems.isEmpty())
        return;
    const QString name = QFileInfo(fileName).fileName();
    for (const QString &problem : map.problems)
        log->append(LogColour::Error, name + QStringLiteral(" ") + wordMapProblem(problem));
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
    if (map.unknownKeyLines > 0)
        parts << tr("%1 行有无法识别的键（拼写或大小写有误？）").arg(map.unknownKeyLines);
    emit refused(tr("映射文件 %1：\n%2\n详见日志").arg(name, parts.join(tr("；"))));
}

void MapOpener::askForFile()
{
    // The map in use is the likeliest neighbour of the next one.
    const QFileInfo current(store->fileName());
    const QString folder = current.exists() ? current.absolutePath() : lastFolder(QStringLiteral("map"));
    const QString fileName = QFileDialog::getOpenFileName(window, tr("打开映射"), folder);
    if (fileName.isEmpty())
        return;
    rememberFolder(QStringLiteral("map"), fileName);
    load(fileName);
}

void MapOpener::dragEnter(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

QString MapOpener::takeDrop(QDropEvent *event)
{
    const QString fileName = droppedFile(event->mimeData());
    if (!fileName.isEmpty())
        event->acceptProposedAction();
    return fileName;
}

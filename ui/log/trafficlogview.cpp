#include "ui/log/trafficlogview.h"

#include "protocol/requestoutcome.h"

#include "app/settings.h"
#include "ui/log/logbuffer.h"
#include "ui/log/logcolours.h"
#include "util/hextext.h"

#include <QAbstractButton>
#include <QCursor>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QKeySequence>
#include <QMenu>
#include <QTextBrowser>
#include <QTextStream>

namespace {

QString timePrefix()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("[hh:mm:ss::zzz] "));
}

} // namespace

TrafficLogView::TrafficLogView(QTextBrowser *browser, QAbstractButton *hexReceived)
    : QObject(browser)
    , browser(browser)
    , hexReceived(hexReceived)
    , lines(new LogBuffer(browser))
{
    browser->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(browser, &QWidget::customContextMenuRequested, this, &TrafficLogView::showMenu);
}

// The buffer writes the line to the view with the lines that arrive close
// to it.
void TrafficLogView::append(const QColor &colour, const QString &text)
{
    lines->append(colour, text);
}

void TrafficLogView::append(LogColour role, const QString &text)
{
    append(colour(role), text);
}

void TrafficLogView::showSent(const QString &data, bool isOk)
{
    if (displayOn)
        append(isOk ? LogColour::Normal : LogColour::SendFailed, timePrefix() + data);
}

void TrafficLogView::showReceived(const QByteArray &data)
{
    if (displayOn)
        append(LogColour::Received, receivedLine(data));
}

void TrafficLogView::showLineError(const QString &text)
{
    if (displayOn)
        append(LogColour::Error, text);
}

void TrafficLogView::showRefusedMultipleWrite(quint16 address, quint8 exceptionCode)
{
    append(LogColour::Error, tr("驱动器拒绝功能码 16（写多个寄存器）：地址 0x%1 未写入（%2）。不会改用单个写入。")
                                 .arg(address, 4, 16, QLatin1Char('0'))
                                 .arg(exceptionText(exceptionCode)));
}

// Readable on the log's own background, light or dark.
QColor TrafficLogView::colour(LogColour role) const
{
    return logColour(role, browser->palette());
}

QString TrafficLogView::receivedLine(const QByteArray &data) const
{
    if (hexReceived->isChecked())
        return timePrefix() + QStringLiteral("Rx(hex):") + byteArrayToHexString(data);
    const int nul = data.indexOf('\0');
    return timePrefix() + QStringLiteral("Rx:") + QString::fromUtf8(nul < 0 ? data : data.left(nul));
}

// Built anew on each request, so the second item always shows the current
// state of the display switch.
void TrafficLogView::showMenu(const QPoint &)
{
    QMenu menu(browser);
    const QKeySequence noShortcut(0, 0, 0, 0);

    QAction *clear = menu.addAction(tr("清空显示"));
    connect(clear, &QAction::triggered, this, [this] { lines->clear(); });
    QAction *toggle = menu.addAction(displayOn ? tr("停止显示") : tr("启动显示"));
    const bool switchTo = !displayOn;
    connect(toggle, &QAction::triggered, this, [this, switchTo] { displayOn = switchTo; });
    QAction *exportAction = menu.addAction(tr("导出内容"));
    connect(exportAction, &QAction::triggered, this, [this] { exportToFile(); });
    for (QAction *action : menu.actions())
        action->setShortcut(noShortcut);

    menu.exec(QCursor::pos());
}

// Writes what the log keeps, behind a two-line header, to a file the user
// picks; the first line tells when older lines were dropped. The text is
// taken after the dialog closes, so lines that arrived meanwhile are
// included. A file that cannot be written is reported with the system's
// reason; a cancelled dialog is not.
void TrafficLogView::exportToFile()
{
    const QString fileName = QFileDialog::getSaveFileName(
        browser->window(), tr("导出文件"), lastFolder(QStringLiteral("export")), QString());
    if (fileName.isEmpty())
        return;
    rememberFolder(QStringLiteral("export"), fileName);
    QFile file(fileName);
    const auto tellFailure = [this, &file] {
        emit refused(tr("\n文件写入失败 : %1 !\n").arg(file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly)) {
        tellFailure();
        return;
    }

    QTextStream out(&file);
    const QString text = lines->plainText();
    out << "File output time :  "
        << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (lines->droppedLines() > 0)
        out << "  (older lines dropped: " << lines->droppedLines() << ")";
    out << Qt::endl;
    out << "File Bytes :  " << QString::number(text.size(), 10) << Qt::endl;
    out << text << Qt::endl;
    for (const auto &section : exportSections) {
        const QString sectionText = section();
        if (!sectionText.isEmpty())
            out << Qt::endl << sectionText << Qt::endl;
    }
    // endl has pushed the text into the file's buffer; a full disk only
    // shows when that buffer reaches the disk.
    if (out.status() != QTextStream::Ok || !file.flush())
        tellFailure();
    file.close();
}

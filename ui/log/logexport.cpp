#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/settings.h"
#include "ui/log/logbuffer.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QTextStream>

// Writes what the log keeps, behind a two-line header, to a file the user
// picks; the first line tells when older lines were dropped. The text is
// taken after the dialog closes, so lines that arrived meanwhile are
// included. A file that cannot be written is reported with the system's
// reason; a cancelled dialog is not.
void MainWindow::exportLog()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("导出文件"), lastFolder(QStringLiteral("export")), QString());
    if (fileName.isEmpty())
        return;
    rememberFolder(QStringLiteral("export"), fileName);
    QFile file(fileName);
    const auto tellFailure = [this, &file] {
        showRefusal(tr("\n文件写入失败 : %1 !\n").arg(file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly)) {
        tellFailure();
        return;
    }

    QTextStream out(&file);
    const QString text = trafficLog->plainText();
    out << "File output time :  "
        << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (trafficLog->droppedLines() > 0)
        out << "  (older lines dropped: " << trafficLog->droppedLines() << ")";
    out << Qt::endl;
    out << "File Bytes :  " << QString::number(text.size(), 10) << endl;
    out << text << endl;
    // endl has pushed the text into the file's buffer; a full disk only
    // shows when that buffer reaches the disk.
    if (out.status() != QTextStream::Ok || !file.flush())
        tellFailure();
    file.close();
}

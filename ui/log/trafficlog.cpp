#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/log/logbuffer.h"
#include "ui/log/logcolours.h"

#include <QCursor>
#include <QDateTime>
#include <QKeySequence>
#include <QMenu>

// Every log line goes in here; the buffer writes it to the view with the
// lines that arrive close to it.
void MainWindow::appendLogLine(const QColor &color, const QString &text)
{
    trafficLog->append(color, text);
}

void MainWindow::on_sendDataShow(QString data, bool isOk)
{
    if (!isDisplayOn)
        return;
    const QString prefix = QDateTime::currentDateTime().toString(QStringLiteral("[hh:mm:ss::zzz] "));
    appendLogLine(logLineColour(isOk ? LogColour::Normal : LogColour::SendFailed), prefix + data);
}

// Readable on the log's own background, light or dark.
QColor MainWindow::logLineColour(LogColour role) const
{
    return logColour(role, ui->textBrowser_show->palette());
}

// Built anew on each request, so the second item always shows the current
// state of the display switch.
void MainWindow::on_textClean(const QPoint &)
{
    QMenu menu(ui->textBrowser_show);
    menu.setStyleSheet(QStringLiteral("background-color: rgb(176, 176, 176);color: rgb(255, 85, 0);"));
    const QKeySequence noShortcut(0, 0, 0, 0);

    QAction *clear = menu.addAction(tr("清空显示"));
    connect(clear, &QAction::triggered, this, [this] { trafficLog->clear(); });
    QAction *toggle = menu.addAction(isDisplayOn ? tr("停止显示") : tr("启动显示"));
    const bool switchTo = !isDisplayOn;
    connect(toggle, &QAction::triggered, this, [this, switchTo] { isDisplayOn = switchTo; });
    QAction *exportAction = menu.addAction(tr("导出内容"));
    connect(exportAction, &QAction::triggered, this, [this] { exportLog(); });
    for (QAction *action : menu.actions())
        action->setShortcut(noShortcut);

    menu.exec(QCursor::pos());
}

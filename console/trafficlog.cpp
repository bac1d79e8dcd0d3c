#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QCursor>
#include <QDateTime>
#include <QKeySequence>
#include <QMenu>

void MainWindow::appendLogLine(const QColor &color, const QString &text)
{
    ui->textBrowser_show->setTextColor(color);
    ui->textBrowser_show->append(text);
    ui->textBrowser_show->setTextColor(QColor(0, 0, 0, 255));
}

void MainWindow::on_sendDataShow(QString data, bool isOk)
{
    if (!isOk)
        ui->textBrowser_show->setTextColor(QColor(255, 0, 0, 255));
    if (isDisplayOn) {
        const QString prefix = QDateTime::currentDateTime().toString(QStringLiteral("[hh:mm:ss::zzz] "));
        ui->textBrowser_show->append(prefix + data);
    }
    if (!isOk)
        ui->textBrowser_show->setTextColor(QColor(0, 0, 0, 255));
}

// Built anew on each request, so the second item always shows the current
// state of the display switch.
void MainWindow::on_textClean(const QPoint &)
{
    QMenu menu(ui->textBrowser_show);
    menu.setStyleSheet(QStringLiteral("background-color: rgb(176, 176, 176);color: rgb(255, 85, 0);"));
    const QKeySequence noShortcut(0, 0, 0, 0);

    QAction *clear = menu.addAction(QStringLiteral("清空显示"));
    connect(clear, &QAction::triggered, this, [this] { ui->textBrowser_show->clear(); });
    QAction *toggle = menu.addAction(isDisplayOn ? QStringLiteral("停止显示") : QStringLiteral("启动显示"));
    const bool switchTo = !isDisplayOn;
    connect(toggle, &QAction::triggered, this, [this, switchTo] { isDisplayOn = switchTo; });
    QAction *exportAction = menu.addAction(QStringLiteral("导出内容"));
    connect(exportAction, &QAction::triggered, this, [this] { exportLog(); });
    for (QAction *action : menu.actions())
        action->setShortcut(noShortcut);

    menu.exec(QCursor::pos());
}

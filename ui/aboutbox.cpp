#include "ui/aboutbox.h"

#include <QCoreApplication>
#include <QMessageBox>

void showAboutBox(QWidget *parent)
{
    const QString text =
        QCoreApplication::translate("AboutBox", "<h3>步进驱动器调试工具 %1</h3>"
                                                "<p>开环与闭环步进电机驱动器的 Modbus RTU 调试工具。</p>"
                                                "<p>版权所有 2026 Stepper driver tool developers。保留所有权利；"
                                                "未授予复制、修改或再发布的许可。</p>"
                                                "<p>使用 Qt %2（编译时 %3）、Qwt 和 libmodbus，它们各有自己的许可。</p>")
            .arg(QStringLiteral(STEPPERTOOL_VERSION), QString::fromLatin1(qVersion()),
                 QStringLiteral(QT_VERSION_STR));
    QMessageBox::about(parent, QCoreApplication::translate("AboutBox", "关于"), text);
}

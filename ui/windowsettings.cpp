#include "windowsettings.h"
#include "ui_mainwindow.h"

#include "serial/lineoptions.h"
#include "serial/networktarget.h"

#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QSplitter>

namespace {

// A combo box keeps its choice unless the remembered text is among its items.
void selectText(QComboBox *box, const QString &text)
{
    const int index = box->findText(text);
    if (index >= 0)
        box->setCurrentIndex(index);
}

// Parity is kept as "none", "even" or "odd". Earlier versions kept the
// shown text, in Chinese or in English ("Even" parses as the code does).
void selectParity(QComboBox *box, const QString &saved)
{
    static const QHash<QString, QSerialPort::Parity> chineseTexts = {
        {QStringLiteral("无校验"), QSerialPort::NoParity},
        {QStringLiteral("偶校验"), QSerialPort::EvenParity},
        {QStringLiteral("奇校验"), QSerialPort::OddParity}};
    QSerialPort::Parity parity = QSerialPort::NoParity;
    if (!parseParity(saved, parity).isEmpty()) {
        if (!chineseTexts.contains(saved))
            return;
        parity = chineseTexts.value(saved);
    }
    const int index = box->findData(int(parity));
    if (index >= 0)
        box->setCurrentIndex(index);
}

// A geometry remembered on a larger screen, or while the window was taller,
// is brought inside the screen the window opens on, as far as the window's
// least size allows. The frame is not there yet: room is left for a title bar.
void fitIntoScreen(QMainWindow *window)
{
    if (window->isMaximized() || window->isFullScreen())
        return;
    const QScreen *screen = QGuiApplication::screenAt(window->geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const int titleBar = window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QRect available = screen->availableGeometry().adjusted(0, titleBar, 0, 0);
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    const QSize size = window->size().boundedTo(available.size()).expandedTo(least);
    const int x = qMax(available.left(), qMin(window->x(), available.right() + 1 - size.width()));
    const int y = qMax(available.top(), qMin(window->y(), available.bottom() + 1 - size.height()));
    window->setGeometry(QRect(QPoint(x, y), size));
}

// A kind the file does not name keeps the serial port.
void restoreNetwork(const QSettings &settings, Ui::MainWindow *ui)
{
    ui->lineEdit_host->setText(settings.value(QStringLiteral("line/host")).toString());
    const int tcpPort = settings.value(QStringLiteral("line/tcpPort"), 502).toInt();
    if (tcpPort >= 1 && tcpPort <= 65535)
        ui->spinBox_tcpPort->setValue(tcpPort);
    NetworkTarget::Framing framing;
    if (!parseFramingName(settings.value(QStringLiteral("line/kind")).toString(), framing))
        return;
    const int index = ui->comboBox_lineKind->findData(int(framing));
    if (index >= 0)
        ui->comboBox_lineKind->setCurrentIndex(index);
}

} // namespace

void WindowSettings::restore(QMainWindow *window, Ui::MainWindow *ui)
{
    QSettings settings;
    const QString port = settings.value(QStringLiteral("line/port")).toString();
    if (!port.isEmpty())
        ui->comboBox_port->setCurrentText(port);
    selectText(ui->comboBox_buad, settings.value(QStringLiteral("line/baud")).toString());
    selectParity(ui->comboBox_parity, settings.value(QStringLiteral("line/parity")).toString());
    selectText(ui->comboBox_stopBits, settings.value(QStringLiteral("line/stopBits")).toString());
    restoreNetwork(settings, ui);
    ui->checkBox_2->setChecked(settings.value(QStringLiteral("log/hexShown"), ui->checkBox_2->isChecked()).toBool());
    ui->checkBox->setChecked(settings.value(QStringLiteral("log/hexSent"), ui->checkBox->isChecked()).toBool());
    if (window->restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray()))
        fitIntoScreen(window);
    for (QSplitter *splitter : window->findChildren<QSplitter *>())
        splitter->restoreState(settings.value(QStringLiteral("window/splitters/") + splitter->objectName()).toByteArray());
}

void WindowSettings::save(const QMainWindow *window, const Ui::MainWindow *ui)
{
    QSettings settings;
    settings.setValue(QStringLiteral("line/port"), ui->comboBox_port->currentText().trimmed());
    settings.setValue(QStringLiteral("line/baud"), ui->comboBox_buad->currentText());
    settings.setValue(QStringLiteral("line/parity"),
                      parityName(QSerialPort::Parity(ui->comboBox_parity->currentData().toInt())));
    settings.setValue(QStringLiteral("line/stopBits"), ui->comboBox_stopBits->currentText());
    settings.setValue(QStringLiteral("line/kind"), ui->comboBox_lineKind->currentIndex() == 0
                                                       ? QStringLiteral("serial")
                                                       : framingName(NetworkTarget::Framing(
                                                             ui->comboBox_lineKind->currentData().toInt())));
    settings.setValue(QStringLiteral("line/host"), ui->lineEdit_host->text().trimmed());
    settings.setValue(QStringLiteral("line/tcpPort"), ui->spinBox_tcpPort->value());
    settings.setValue(QStringLiteral("log/hexShown"), ui->checkBox_2->isChecked());
    settings.setValue(QStringLiteral("log/hexSent"), ui->checkBox->isChecked());
    settings.setValue(QStringLiteral("window/geometry"), window->saveGeometry());
    for (const QSplitter *splitter : window->findChildren<QSplitter *>())
        settings.setValue(QStringLiteral("window/splitters/") + splitter->objectName(), splitter->saveState());
}

#include "windowsettings.h"
#include "ui_mainwindow.h"

#include <QSettings>
#include <QSplitter>

namespace {

// A combo box keeps its choice unless the remembered text is among its items.
void selectText(QComboBox *box, const QString &text)
{
    const int index = box->findText(text);
    if (index >= 0)
        box->setCurrentIndex(index);
}

} // namespace

void WindowSettings::restore(QMainWindow *window, Ui::MainWindow *ui)
{
    QSettings settings;
    const QString port = settings.value(QStringLiteral("line/port")).toString();
    if (!port.isEmpty())
        ui->comboBox_port->setCurrentText(port);
    selectText(ui->comboBox_buad, settings.value(QStringLiteral("line/baud")).toString());
    selectText(ui->comboBox_parity, settings.value(QStringLiteral("line/parity")).toString());
    selectText(ui->comboBox_stopBits, settings.value(QStringLiteral("line/stopBits")).toString());
    ui->checkBox_2->setChecked(settings.value(QStringLiteral("log/hexShown"), ui->checkBox_2->isChecked()).toBool());
    ui->checkBox->setChecked(settings.value(QStringLiteral("log/hexSent"), ui->checkBox->isChecked()).toBool());
    window->restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
    for (QSplitter *splitter : window->findChildren<QSplitter *>())
        splitter->restoreState(settings.value(QStringLiteral("window/splitters/") + splitter->objectName()).toByteArray());
}

void WindowSettings::save(const QMainWindow *window, const Ui::MainWindow *ui)
{
    QSettings settings;
    settings.setValue(QStringLiteral("line/port"), ui->comboBox_port->currentText().trimmed());
    settings.setValue(QStringLiteral("line/baud"), ui->comboBox_buad->currentText());
    settings.setValue(QStringLiteral("line/parity"), ui->comboBox_parity->currentText());
    settings.setValue(QStringLiteral("line/stopBits"), ui->comboBox_stopBits->currentText());
    settings.setValue(QStringLiteral("log/hexShown"), ui->checkBox_2->isChecked());
    settings.setValue(QStringLiteral("log/hexSent"), ui->checkBox->isChecked());
    settings.setValue(QStringLiteral("window/geometry"), window->saveGeometry());
    for (const QSplitter *splitter : window->findChildren<QSplitter *>())
        settings.setValue(QStringLiteral("window/splitters/") + splitter->objectName(), splitter->saveState());
}

#include "ui/bus/buspanel.h"
#include "registermap/addressrules.h"
#include "ui_buspanel.h"

#include "protocol/slavelist.h"
#include "scan/buswatch.h"
#include <QSettings>

namespace {

const QString refusedFieldStyle = QStringLiteral("QLineEdit{border:1px solid red }");
const QColor alarmBackground(255, 180, 180);

QString settingsKey(const QString &port)
{
    // Slashes would make groups of a device path.
    return QStringLiteral("bus/") + QString(port).replace(QLatin1Char('/'), QLatin1Char('|'));
}

} // namespace

// "报警 2：过压", "报警（状态字 bit 2）", "正常", or "—" before any read.
QString BusPanel::alarmSummary(const BusDriver &driver) const
{
    const DriverProfile &profile = watch->profile();
    if (!driver.alarmKnown && !driver.statusKnown)
        return QStringLiteral("—");
    if (!driver.inAlarm(profile))
        return tr("正常");
    const RegisterInfo *alarmRow = profile.alarmAddress < 0 ? nullptr : linesAt(watch->mapRows(), quint16(profile.alarmAddress)).value(0);
    if (driver.alarmKnown && driver.alarm != 0) {
        const QString name = alarmRow ? alarmRow->format.states.value(driver.alarm) : QString();
        return name.isEmpty() ? tr("报警 %1").arg(driver.alarm) : tr("报警 %1：%2").arg(driver.alarm).arg(name);
    }
    return tr("报警（状态字 bit %1）").arg(profile.alarmBit);
}

BusPanel::BusPanel(BusWatch *watch, QWidget *parent)
    : QDockWidget(parent)
    , ui(new Ui::BusPanel)
    , watch(watch)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("busPanel"));
    connect(ui->applyButton, &QPushButton::clicked, this, &BusPanel::applyTypedList);
    connect(ui->addressList, &QLineEdit::returnPressed, this, &BusPanel::applyTypedList);
    connect(ui->driverTable, &QTableWidget::cellClicked, this, &BusPanel::onRowClicked);
    ui->driverTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    for (int column = 0; column < 2; ++column)
        ui->driverTable->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    connect(watch, &BusWatch::driverChanged, this, &BusPanel::showDriver);
}

BusPanel::~BusPanel()
{
    delete ui;
}

// The drivers' rows word their state in the new language.
void BusPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        for (int address : watch->drivers())
            showDriver(address);
    }
    QDockWidget::changeEvent(event);
}

void BusPanel::usePort(const QString &name)
{
    port = name;
    QList<int> remembered;
    parseSlaveList(QSettings().value(settingsKey(port)).toString(), &remembered);
    setDrivers(remembered);
}

void BusPanel::addDrivers(const QList<int> &addresses)
{
    QList<int> all = watch->drivers();
    for (int address : addresses) {
        if (!all.contains(address))
            all.append(address);
    }
    std::sort(all.begin(), all.end());
    setDrivers(all);
}

void BusPanel::showCurrent(int address)
{
    current = address;
    const int row = rowOf(address);
    if (row >= 0 && !ui->driverTable->selectionModel()->isRowSelected(row, QModelIndex()))
        ui->driverTable->selectRow(row);
}

QList<int> BusPanel::selectedDrivers() const
{
    QList<int> selected;
    for (int row = 0; row < ui->driverTable->rowCount(); ++row) {
        if (ui->driverTable->selectionModel()->isRowSelected(row, QModelIndex()))
            selected << watch->drivers().value(row);
    }
    return selected.size() > 1 ? selected : QList<int>{current};
}

void BusPanel::applyTypedList()
{
    QList<int> addresses;
    const QString text = ui->addressList->text().trimmed();
    if (!text.isEmpty() && !parseSlaveList(text, &addresses).isEmpty()) {
        ui->addressList->setStyleSheet(refusedFieldStyle);
        emit refused(tr("\n地址列表“%1”无效：请输入 1..247 的地址或范围，如 1-4,7\n").arg(text));
        return;
    }
    ui->addressList->setStyleSheet(QString());
    setDrivers(addresses);
}

void BusPanel::setDrivers(const QList<int> &addresses)
{
    watch->setDrivers(addresses);
    ui->addressList->setText(slaveListText(addresses));
    if (!port.isEmpty())
        QSettings().setValue(settingsKey(port), slaveListText(addresses));
    ui->driverTable->setRowCount(addresses.size());
    for (int address : addresses)
        showDriver(address);
    showCurrent(current);
}

void BusPanel::showDriver(int address)
{
    const int row = rowOf(address);
    if (row < 0)
        return;
    const BusDriver driver = watch->driver(address);
    auto cell = [this, row](int column, const QString &text) {
        auto *item = ui->driverTable->item(row, column);
        if (!item)
            ui->driverTable->setItem(row, column, item = new QTableWidgetItem);
        item->setText(text);
        return item;
    };
    cell(0, QString::number(address));
    QTableWidgetItem *alarm = cell(1, alarmSummary(driver));
    alarm->setBackground(driver.inAlarm(watch->profile()) ? QBrush(alarmBackground) : QBrush());
    cell(2, driver.lost() ? tr("失去联系（%1）").arg(driver.lastAnswer.toString(QStringLiteral("HH:mm:ss")))
                          : driver.lastAnswer.toString(QStringLiteral("HH:mm:ss")));
    // Who the driver is would push the alarm off a narrow panel: it is the
    // row's tooltip.
    const QString identity = driver.identity.isEmpty() ? tr("标识未读") : identityText(driver.identity, watch->mapRows());
    for (int column = 0; column < 3; ++column)
        ui->driverTable->item(row, column)->setToolTip(identity);
}

void BusPanel::onRowClicked(int row)
{
    const int address = watch->drivers().value(row);
    if (address > 0 && address != current && ui->driverTable->selectionModel()->selectedRows().size() == 1)
        emit driverChosen(address);
}

int BusPanel::rowOf(int address) const
{
    return watch->drivers().indexOf(address);
}

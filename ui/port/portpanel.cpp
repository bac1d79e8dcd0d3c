#include "ui/port/portpanel.h"
#include "ui/language/followlanguage.h"

#include "cli/startoptions.h"
#include "serial/serial.h"

#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>

namespace {

// An invisible 1 x 30 icon makes every drop-down row 30 pixels high.
QIcon rowSpacer()
{
    QPixmap spacer(1, 30);
    spacer.fill(Qt::transparent);
    return QIcon(spacer);
}

// A device address is decimal 1..247: 0 is broadcast, which every driver on
// the bus would obey, and 248..255 are reserved.
bool toDeviceAddress(const QString &text, quint32 *address)
{
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok || number < 1 || number > 247)
        return false;
    *address = quint32(number);
    return true;
}

// The entries of the line-kind box: -1 for the serial port, else a framing.
constexpr int serialLine = -1;

void selectData(QComboBox *box, int value)
{
    const int index = box->findData(value);
    if (index >= 0)
        box->setCurrentIndex(index);
}

} // namespace

PortPanel::PortPanel(const PortPanelWidgets &widgets, QStatusBar *statusBar)
    : QObject(statusBar)
    , widgets(widgets)
    , stateLabel(new QLabel(tr("  串口状态 : 未连接    ")))
{
    refreshPorts();
    fillBauds();
    fillFramingChoices();
    fillLineKinds();
    statusBar->addWidget(stateLabel, 0);
    followLanguage(stateLabel, [this] { retranslate(); });
}

void PortPanel::retranslate()
{
    showState(open);
    widgets.lineKind->setItemText(0, tr("串口"));
    widgets.portLabel->setText(isNetwork() ? tr("主机：") : tr("串口号："));
    const QStringList parities = parityTexts();
    for (int index = 0; index < parities.size(); ++index)
        widgets.parity->setItemText(index, parities.at(index));
}

QStringList PortPanel::parityTexts()
{
    return {tr("无校验"), tr("偶校验"), tr("奇校验")};
}

void PortPanel::fillLineKinds()
{
    widgets.lineKind->addItem(tr("串口"), serialLine);
    widgets.lineKind->addItem(QStringLiteral("Modbus TCP"), int(NetworkTarget::Framing::ModbusTcp));
    widgets.lineKind->addItem(QStringLiteral("RTU over TCP"), int(NetworkTarget::Framing::RtuOverTcp));
    connect(widgets.lineKind, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &PortPanel::showLineKind);
    showLineKind();
}

void PortPanel::showLineKind()
{
    const bool network = isNetwork();
    widgets.portLabel->setText(network ? tr("主机：") : tr("串口号："));
    for (QWidget *serialOnly : {static_cast<QWidget *>(widgets.port), static_cast<QWidget *>(widgets.findPorts),
                                static_cast<QWidget *>(widgets.baud), static_cast<QWidget *>(widgets.parity),
                                static_cast<QWidget *>(widgets.stopBits), static_cast<QWidget *>(widgets.baudLabel)})
        serialOnly->setVisible(!network);
    widgets.host->setVisible(network);
    widgets.tcpPort->setVisible(network);
    showState(false);
}

bool PortPanel::isNetwork() const
{
    return widgets.lineKind->currentData().toInt() != serialLine;
}

QString PortPanel::networkTarget(NetworkTarget *target) const
{
    const QString host = widgets.host->text().trimmed();
    if (host.isEmpty() || host.contains(QLatin1Char(' ')))
        return tr("请填写驱动器或网关的 IP 地址或主机名");
    target->host = host;
    target->port = quint16(widgets.tcpPort->value());
    target->framing = NetworkTarget::Framing(widgets.lineKind->currentData().toInt());
    target->connectTimeoutMs = connectTimeoutMs;
    return QString();
}

void PortPanel::selectNetwork(const NetworkTarget &target)
{
    selectData(widgets.lineKind, int(target.framing));
    widgets.host->setText(target.host);
    widgets.tcpPort->setValue(target.port);
    connectTimeoutMs = target.connectTimeoutMs;
}

QString PortPanel::lineName() const
{
    NetworkTarget target;
    if (isNetwork() && networkTarget(&target).isEmpty())
        return target.name();
    return isNetwork() ? widgets.host->text().trimmed() : portName();
}

void PortPanel::refreshPorts()
{
    QComboBox *box = widgets.port;
    box->setIconSize(QSize(1, 30));
    box->clear();
    const QIcon spacer = rowSpacer();
    for (const QString &port : Serial::instance()->portList())
        box->insertItem(box->count(), spacer, port, QVariant());
}

void PortPanel::fillBauds()
{
    QComboBox *box = widgets.baud;
    box->clear();
    box->setIconSize(QSize(1, 30));
    const QIcon spacer = rowSpacer();
    const QStringList bauds = {"1200", "4800", "9600", "19200", "38400", "57600", "115200"};
    for (const QString &baud : bauds)
        box->addItem(spacer, baud);
    box->setCurrentIndex(2);
}

// 8N1 first: what most drivers leave the factory with.
void PortPanel::fillFramingChoices()
{
    const QStringList parities = parityTexts();
    widgets.parity->addItem(parities.at(0), int(QSerialPort::NoParity));
    widgets.parity->addItem(parities.at(1), int(QSerialPort::EvenParity));
    widgets.parity->addItem(parities.at(2), int(QSerialPort::OddParity));
    widgets.stopBits->addItem(QStringLiteral("1"), int(QSerialPort::OneStop));
    widgets.stopBits->addItem(QStringLiteral("2"), int(QSerialPort::TwoStop));
}

QString PortPanel::portName() const
{
    return widgets.port->currentText().trimmed();
}

QString PortPanel::baudText() const
{
    return widgets.baud->currentText().trimmed();
}

QSerialPort::Parity PortPanel::parity() const
{
    return QSerialPort::Parity(widgets.parity->currentData().toInt());
}

QSerialPort::StopBits PortPanel::stopBits() const
{
    return QSerialPort::StopBits(widgets.stopBits->currentData().toInt());
}

bool PortPanel::address(quint32 *address) const
{
    return toDeviceAddress(widgets.address->text(), address);
}

bool PortPanel::acceptAddress(const QString &text, quint32 *address)
{
    if (!toDeviceAddress(text, address)) {
        widgets.address->setStyleSheet(QStringLiteral("QLineEdit{border:1px solid red }"));
        return false;
    }
    widgets.address->setStyleSheet(QString());
    return true;
}

void PortPanel::setAddress(quint32 address)
{
    widgets.address->setText(QString::number(address, 10));
}

void PortPanel::selectLine(qint64 baud, QSerialPort::Parity parity, QSerialPort::StopBits stopBits)
{
    widgets.baud->setCurrentText(QString::number(baud));
    widgets.parity->setCurrentIndex(widgets.parity->findData(int(parity)));
    widgets.stopBits->setCurrentIndex(widgets.stopBits->findData(int(stopBits)));
}

// Port state text, button face and the settings that must not change while
// the port is open.
void PortPanel::showState(bool open)
{
    this->open = open;
    widgets.open->setEnabled(true);
    if (isNetwork()) {
        stateLabel->setText(open ? tr("  连接状态 : 已连接 %1    ").arg(lineName()) : tr("  连接状态 : 未连接    "));
        widgets.open->setText(open ? tr("断开连接") : tr("连接"));
    } else {
        stateLabel->setText(open ? tr("  串口状态 : 已连接    ") : tr("  串口状态 : 未连接    "));
        widgets.open->setText(open ? tr("关闭串口") : tr("打开串口"));
    }
    widgets.lineKind->setEnabled(!open);
    widgets.host->setEnabled(!open);
    widgets.tcpPort->setEnabled(!open);
    widgets.port->setEnabled(!open);
    widgets.baud->setEnabled(!open);
    widgets.parity->setEnabled(!open);
    widgets.stopBits->setEnabled(!open);
    widgets.findPorts->setEnabled(!open);
    widgets.address->setEnabled(!open);
    widgets.findPorts->setStyleSheet(open
        ? QStringLiteral("border-image: url(:/new/prefix1/picture/findport2.png)")
        : QStringLiteral("border-image: url(:/new/prefix1/picture/findport.png)"));
}

void PortPanel::showConnecting(const QString &lineName)
{
    stateLabel->setText(tr("  连接状态 : 正在连接 %1 …    ").arg(lineName));
    widgets.open->setEnabled(false);
}

void PortPanel::select(const StartOptions &options)
{
    if (options.network.isSet())
        selectNetwork(options.network);
    else if (!options.port.isEmpty())
        selectData(widgets.lineKind, serialLine);
    if (!options.port.isEmpty())
        widgets.port->setCurrentText(options.port);
    if (options.baud > 0)
        widgets.baud->setCurrentText(QString::number(options.baud));
    if (options.parity)
        selectData(widgets.parity, int(*options.parity));
    if (options.stopBits)
        selectData(widgets.stopBits, int(*options.stopBits));
    if (options.address >= 0)
        widgets.address->setText(QString::number(options.address));
}

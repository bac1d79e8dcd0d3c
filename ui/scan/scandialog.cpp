#include "scandialog.h"
#include "ui_scandialog.h"

#include "scan/scanrun.h"
#include "serial/serial.h"

#include <QCheckBox>

namespace {

enum HitRole { AddressRole = Qt::UserRole, BaudRole };

} // namespace

ScanDialog::ScanDialog(RequestScheduler *scheduler, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ScanDialog)
    , scan(new ScanRun(Serial::instance(), scheduler, this))
{
    ui->setupUi(this);
    for (qint64 baud : ScanRequest::offeredBauds()) {
        auto *box = new QCheckBox(QString::number(baud), this);
        box->setChecked(true);
        ui->layout_bauds->addWidget(box);
        baudBoxes.append(box);
    }
    const QStringList parities = parityTexts();
    ui->comboBox_parity->addItem(parities.at(0), int(QSerialPort::NoParity));
    ui->comboBox_parity->addItem(parities.at(1), int(QSerialPort::EvenParity));
    ui->comboBox_parity->addItem(parities.at(2), int(QSerialPort::OddParity));
    ui->comboBox_stopBits->addItem(QStringLiteral("1"), int(QSerialPort::OneStop));
    ui->comboBox_stopBits->addItem(QStringLiteral("2"), int(QSerialPort::TwoStop));

    connect(ui->pushButton_start, &QPushButton::clicked, this, &ScanDialog::startScan);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &ScanDialog::reject);
    connect(ui->pushButton_use, &QPushButton::clicked, this, &ScanDialog::useSelectedHit);
    connect(ui->listWidget_found, &QListWidget::itemDoubleClicked, this, &ScanDialog::useSelectedHit);
    connect(ui->listWidget_found, &QListWidget::currentRowChanged, this,
            [this](int row) { ui->pushButton_use->setEnabled(row >= 0 && !scan->isRunning()); });
    connect(scan, &ScanRun::hitFound, this, &ScanDialog::addHit);
    connect(scan, &ScanRun::progressed, ui->progressBar, &QProgressBar::setValue);
    connect(scan, &ScanRun::finished, this, &ScanDialog::showFinished);
}

ScanDialog::~ScanDialog()
{
    scan->cancel();
    delete ui;
}

// A network line is scanned by unit id alone, on the line the panel names.
void ScanDialog::showLineKind()
{
    ui->lineEdit_port->setReadOnly(network.isSet());
    ui->label_port->setText(network.isSet() ? tr("主机：") : tr("串口号："));
    for (QWidget *serialOnly : {static_cast<QWidget *>(ui->label_bauds), static_cast<QWidget *>(ui->label_framing),
                                static_cast<QWidget *>(ui->comboBox_parity),
                                static_cast<QWidget *>(ui->comboBox_stopBits)})
        serialOnly->setVisible(!network.isSet());
    for (QCheckBox *box : baudBoxes)
        box->setVisible(!network.isSet());
}

QStringList ScanDialog::parityTexts()
{
    return {tr("无校验"), tr("偶校验"), tr("奇校验")};
}

// The hits and notes listed stay as they were worded.
void ScanDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        showLineKind();
        const QStringList parities = parityTexts();
        for (int index = 0; index < parities.size(); ++index)
            ui->comboBox_parity->setItemText(index, parities.at(index));
    }
    QDialog::changeEvent(event);
}

void ScanDialog::setRequest(const ScanRequest &request)
{
    network = request.network;
    showLineKind();
    ui->lineEdit_port->setText(request.lineName());
    for (QCheckBox *box : baudBoxes)
        box->setChecked(request.bauds.contains(box->text().toLongLong()));
    ui->comboBox_parity->setCurrentIndex(ui->comboBox_parity->findData(int(request.parity)));
    ui->comboBox_stopBits->setCurrentIndex(ui->comboBox_stopBits->findData(int(request.stopBits)));
    ui->spinBox_first->setValue(request.firstAddress);
    ui->spinBox_last->setValue(request.lastAddress);
    ui->spinBox_timeout->setValue(request.timeoutMs);
    registerAddress = request.registerAddress;
}

ScanRequest ScanDialog::request() const
{
    ScanRequest request;
    request.network = network;
    if (!network.isSet())
        request.port = ui->lineEdit_port->text().trimmed();
    request.bauds.clear();
    for (QCheckBox *box : baudBoxes) {
        if (box->isChecked())
            request.bauds.append(box->text().toLongLong());
    }
    request.parity = QSerialPort::Parity(ui->comboBox_parity->currentData().toInt());
    request.stopBits = QSerialPort::StopBits(ui->comboBox_stopBits->currentData().toInt());
    request.firstAddress = ui->spinBox_first->value();
    request.lastAddress = ui->spinBox_last->value();
    request.timeoutMs = ui->spinBox_timeout->value();
    request.registerAddress = registerAddress;
    return request;
}

void ScanDialog::startScan()
{
    const ScanRequest scanRequest = request();
    if (scanRequest.lineName().isEmpty() || scanRequest.passes().isEmpty() || scanRequest.addressCount() < 1) {
        ui->listWidget_found->addItem(tr("请填写串口号，至少选一个波特率，地址范围由小到大"));
        return;
    }
    ui->listWidget_found->clear();
    ui->progressBar->setRange(0, scanRequest.addressCount() * scanRequest.passes().size());
    ui->progressBar->setValue(0);
    if (!scan->start(scanRequest)) {
        ui->listWidget_found->addItem(tr("串口打开失败：") + scan->errorText());
        return;
    }
    setEditing(false);
}

void ScanDialog::addHit(const ScanHit &hit)
{
    // RTU frames over TCP carry the slave address itself.
    const QString name = hit.baud ? tr("地址 %1，%2 波特").arg(hit.address).arg(hit.baud)
                         : network.isModbusTcp() ? tr("单元 %1").arg(hit.address)
                                                 : tr("地址 %1").arg(hit.address);
    auto *item = new QListWidgetItem(name);
    item->setData(AddressRole, hit.address);
    item->setData(BaudRole, hit.baud);
    ui->listWidget_found->addItem(item);
}

void ScanDialog::showFinished(bool cancelled)
{
    setEditing(true);
    if (!scan->errorText().isEmpty())
        ui->listWidget_found->addItem(tr("扫描中断：") + scan->errorText());
    else if (cancelled)
        ui->listWidget_found->addItem(tr("扫描已取消"));
    else if (scan->hits().isEmpty())
        ui->listWidget_found->addItem(tr("没有设备应答"));
    if (scan->errorText().isEmpty() && !cancelled)
        ui->listWidget_found->addItem(tr("扫描完成。询问的地址：%1；应答：%2")
                                          .arg(ui->progressBar->maximum())
                                          .arg(scan->hits().size()));
    if (!scan->hits().isEmpty())
        ui->listWidget_found->setCurrentRow(0);
}

// While scanning, the settings are fixed and the button that otherwise
// closes the dialog cancels the scan.
void ScanDialog::setEditing(bool enabled)
{
    ui->pushButton_cancel->setText(enabled ? tr("关闭") : tr("取消"));
    const QList<QWidget *> fields{ui->lineEdit_port, ui->comboBox_parity, ui->comboBox_stopBits,
                                  ui->spinBox_first, ui->spinBox_last, ui->spinBox_timeout,
                                  ui->pushButton_start};
    for (QWidget *field : fields)
        field->setEnabled(enabled);
    for (QCheckBox *box : baudBoxes)
        box->setEnabled(enabled);
    ui->pushButton_use->setEnabled(enabled && ui->listWidget_found->currentItem()
                                   && ui->listWidget_found->currentItem()->data(AddressRole).isValid());
}

void ScanDialog::reject()
{
    if (scan->isRunning()) {
        scan->cancel();
        return;
    }
    QDialog::reject();
}

void ScanDialog::useSelectedHit()
{
    const QListWidgetItem *item = ui->listWidget_found->currentItem();
    if (scan->isRunning() || !item || !item->data(AddressRole).isValid())
        return;
    for (const ScanHit &hit : scan->hits()) {
        if (hit.address == item->data(AddressRole).toInt() && hit.baud == item->data(BaudRole).toLongLong()) {
            emit hitChosen(hit);
            break;
        }
    }
    accept();
}

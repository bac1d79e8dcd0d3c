#include "valueeditwin.h"
#include "ui_valueeditwin.h"

#include "app/styles.h"
#include "protocol/modbusmaster.h"
#include "util/hextext.h"

#include <QIcon>

namespace {

const QString refusedValueStyle = QStringLiteral("QLineEdit{border:1px solid red }");

// A register holds 16 unsigned bits; anything else would reach the driver
// truncated or wrapped, so it is never sent.
bool toRegisterValue(const QString &text, quint16 *value)
{
    bool ok = false;
    *value = text.trimmed().toUShort(&ok, 10);
    return ok;
}

} // namespace

ValueEditWin::ValueEditWin(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ValueEditWin)
{
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/new/prefix1/picture/write.png")));
    setWindowFlags(Qt::Dialog);
    setFixedSize(width(), height());
    connect(ui->lineEdit_dec, &QLineEdit::textChanged, this, &ValueEditWin::clearRefusalIfValid);
}

ValueEditWin::~ValueEditWin()
{
    delete ui;
}

void ValueEditWin::showRegister(const RegisterInfo &info, int row)
{
    this->row = row;
    registerInfo = info;
    setWindowTitle(info.name);
    ui->label_indexs->setText(info.addressText);
    ui->label_range->setText(info.rangeText);
    ui->lineEdit_dec->setText(info.valueText);
    on_lineEdit_dec_editingFinished();
    show();
}

void ValueEditWin::on_lineEdit_dec_editingFinished()
{
    const QString text = ui->lineEdit_dec->text().trimmed();
    ui->label_range->setStyleSheet(normalStyle);
    if (text.isEmpty())
        return;

    registerInfo.valueText = text;
    QString hex = decStringToHexString(text);
    if (hex.size() % 2 != 0)
        hex.prepend(QLatin1Char('0'));
    if (ui->lineEdit_hex->text() != hex)
        ui->lineEdit_hex->setText(hex);

    const int value = text.toInt(nullptr, 10);
    if (value < registerInfo.rangeMin || value > registerInfo.rangeMax)
        ui->label_range->setStyleSheet(warningStyle);
}

void ValueEditWin::on_lineEdit_hex_editingFinished()
{
    const QString hex = ui->lineEdit_hex->text();
    if (hex.isEmpty())
        return;

    const QString decimal = hexStringToDecString(hex);
    if (ui->lineEdit_dec->text() != decimal) {
        ui->lineEdit_dec->setText(decimal);
        on_lineEdit_dec_editingFinished();
    }
}

void ValueEditWin::on_pushButton_Write_clicked()
{
    quint16 value = 0;
    if (!toRegisterValue(ui->lineEdit_dec->text(), &value)) {
        ui->lineEdit_dec->setStyleSheet(refusedValueStyle);
        return;
    }

    registerInfo.valueText = ui->lineEdit_dec->text().trimmed();
    registerInfo.value = value;
    const QByteArray cmd = ModbusMaster::instance()->writeRegisterCmd(registerInfo);
    emit writeCurrentValue(row, cmd);
}

void ValueEditWin::on_pushButton_Cance_clicked()
{
    hide();
}

// The red border marks a refused value; it goes once the field holds one
// that could be written.
void ValueEditWin::clearRefusalIfValid(const QString &text)
{
    quint16 value = 0;
    if (toRegisterValue(text, &value))
        ui->lineEdit_dec->setStyleSheet(QString());
}

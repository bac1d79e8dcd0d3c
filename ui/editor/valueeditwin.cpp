#include "valueeditwin.h"
#include "ui_valueeditwin.h"

#include "ui/styles.h"
#include "registermap/registerframes.h"
#include "registermap/registerrange.h"
#include "util/hextext.h"

#include <QIcon>
#include <QMessageBox>
#include <QRegularExpression>

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

// Hexadecimal 0..FFFF, with an optional 0x and with the blanks that the log
// puts between bytes ("0F A0"); nothing else converts.
bool hexToRegisterValue(const QString &text, quint16 *value)
{
    static const QRegularExpression hexWord(QStringLiteral("^(0[xX])?[0-9A-Fa-f]+( +[0-9A-Fa-f]+)*$"));
    const QString trimmed = text.trimmed();
    if (!hexWord.match(trimmed).hasMatch())
        return false;
    QString digits = trimmed;
    digits.remove(QLatin1Char(' '));
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits.remove(0, 2);
    bool ok = false;
    *value = digits.toUShort(&ok, 16);
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
    connect(ui->lineEdit_hex, &QLineEdit::textChanged, this, &ValueEditWin::clearHexRefusalIfValid);
    // Each field follows the other as the user types, so 写入 never meets
    // two fields that show different values.
    connect(ui->lineEdit_dec, &QLineEdit::textEdited, this, [this] {
        decimalFollowsHex = false;
        on_lineEdit_dec_editingFinished();
    });
    connect(ui->lineEdit_hex, &QLineEdit::textEdited, this, &ValueEditWin::followHex);
}

ValueEditWin::~ValueEditWin()
{
    delete ui;
}

void ValueEditWin::showRegister(const RegisterInfo &info, int row, quint8 slave)
{
    this->row = row;
    this->slave = slave;
    registerInfo = info;
    decimalFollowsHex = false;
    // A refusal belongs to the register it was made for.
    ui->lineEdit_dec->setStyleSheet(QString());
    ui->lineEdit_hex->setStyleSheet(QString());
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

    showRangeColour(text.toInt(nullptr, 10));
}

// A typed register value counts as the register reads it: on a register
// with a negative bound, 65526 is -10.
void ValueEditWin::showRangeColour(int typed)
{
    const int value = typed >= 0 && typed <= 0xFFFF ? rangeReading(registerInfo, quint16(typed)) : typed;
    const bool outside = value < registerInfo.rangeMin || value > registerInfo.rangeMax;
    ui->label_range->setStyleSheet(outside ? warningStyle : normalStyle);
}

// Hexadecimal being typed: the decimal field shows its value at once; the
// hexadecimal field is put in its usual form only when editing finishes,
// so the text under the cursor does not change. Text that is no value yet
// (or no longer) gives the decimal field back what it showed before.
void ValueEditWin::followHex(const QString &hex)
{
    quint16 value = 0;
    if (!hexToRegisterValue(hex, &value)) {
        if (decimalFollowsHex)
            showDecimal(decimalBeforeHex);
        decimalFollowsHex = false;
        return;
    }
    const QString decimal = QString::number(value);
    if (ui->lineEdit_dec->text().trimmed() == decimal)
        return;
    if (!decimalFollowsHex)
        decimalBeforeHex = ui->lineEdit_dec->text();
    decimalFollowsHex = true;
    showDecimal(decimal);
}

// The decimal field and the range colour, leaving the hexadecimal field as
// it is being typed.
void ValueEditWin::showDecimal(const QString &text)
{
    ui->lineEdit_dec->setText(text);
    registerInfo.valueText = text.trimmed();
    ui->label_range->setStyleSheet(normalStyle);
    if (!text.trimmed().isEmpty())
        showRangeColour(text.trimmed().toInt(nullptr, 10));
}

void ValueEditWin::on_lineEdit_hex_editingFinished()
{
    const QString hex = ui->lineEdit_hex->text();
    if (hex.isEmpty())
        return;

    quint16 value = 0;
    if (!hexToRegisterValue(hex, &value)) {
        ui->lineEdit_hex->setStyleSheet(refusedValueStyle);
        return;
    }
    // A decimal that followed the typing counts as changed by this edit.
    const QString decimal = QString::number(value);
    if (ui->lineEdit_dec->text() != decimal || decimalFollowsHex) {
        decimalFollowsHex = false;
        ui->lineEdit_dec->setText(decimal);
        on_lineEdit_dec_editingFinished();
    }
}

// Enter writes as 写入 does. The line edit reports Enter before it finishes
// editing, so the field's own conversion runs first.
void ValueEditWin::on_lineEdit_dec_returnPressed()
{
    on_lineEdit_dec_editingFinished();
    on_pushButton_Write_clicked();
}

void ValueEditWin::on_lineEdit_hex_returnPressed()
{
    on_lineEdit_hex_editingFinished();
    on_pushButton_Write_clicked();
}

// Only a value that both fields show is written.
void ValueEditWin::on_pushButton_Write_clicked()
{
    quint16 value = 0;
    if (!toRegisterValue(ui->lineEdit_dec->text(), &value)) {
        ui->lineEdit_dec->setStyleSheet(refusedValueStyle);
        return;
    }
    quint16 hexValue = 0;
    if (!hexToRegisterValue(ui->lineEdit_hex->text(), &hexValue) || hexValue != value) {
        ui->lineEdit_hex->setStyleSheet(refusedValueStyle);
        return;
    }
    if (!confirmOutOfRange(value))
        return;

    registerInfo.valueText = ui->lineEdit_dec->text().trimmed();
    registerInfo.value = value;
    const QByteArray cmd = writeRegisterCmd(slave, registerInfo);
    emit writeCurrentValue(row, cmd);
}

void ValueEditWin::on_pushButton_Cance_clicked()
{
    hide();
}

// A value the register map rules out may still be what the technician
// means, but only once asked; No is the safe default.
bool ValueEditWin::confirmOutOfRange(quint16 value)
{
    if (isWithinRange(registerInfo, value))
        return true;
    const QString question = tr("数值 %1 超出范围 %2，确定写入吗？")
                                 .arg(value)
                                 .arg(registerInfo.rangeText);
    return QMessageBox::question(this, tr("超出范围"), question,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

// The red border marks a refused value; it goes once the field holds one
// that could be written.
void ValueEditWin::clearRefusalIfValid(const QString &text)
{
    quint16 value = 0;
    if (toRegisterValue(text, &value))
        ui->lineEdit_dec->setStyleSheet(QString());
}

void ValueEditWin::clearHexRefusalIfValid(const QString &text)
{
    quint16 value = 0;
    if (hexToRegisterValue(text, &value))
        ui->lineEdit_hex->setStyleSheet(QString());
}

#include "valueeditwin.h"
#include "ui_valueeditwin.h"

#include "ui/styles.h"
#include "paramsets/writegate.h"
#include "registermap/registerrange.h"
#include "registermap/rowvalue.h"
#include "util/hextext.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QRegularExpression>

namespace {

const QString refusedValueStyle = QStringLiteral("QLineEdit{border:1px solid red }");
const int ticksPerLine = 2;

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

// What the hexadecimal field of a plain register shows for a typed
// decimal, in the window's one form ("0x0BB8"); nothing for a decimal that
// is no register value, so the field never claims one.
QString plainHexText(const QString &decimal)
{
    quint16 word = 0;
    if (!toRegisterValue(decimal, &word))
        return QString();
    return decStringToHexString(QString::number(word));
}

// A plain row shows its text as read; a row not yet read shows the map's
// default as a number, not the hexadecimal the map writes it in.
QString plainDecimal(const RegisterInfo &info)
{
    bool number = false;
    info.valueText.trimmed().toLongLong(&number, 10);
    return number ? info.valueText : QString::number(info.value);
}

} // namespace

ValueEditWin::ValueEditWin(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ValueEditWin)
{
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/new/prefix1/picture/write.png")));
    setWindowFlags(Qt::Dialog);
    plainSize = size();
    setFixedSize(plainSize);
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

void ValueEditWin::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
    }
    QWidget::changeEvent(event);
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
    ui->lineEdit_dec->setToolTip(QString());
    setWindowTitle(info.name);
    ui->label_indexs->setText(info.addressText);
    const QString unit = info.format.unit;
    ui->label_range->setText(unit.isEmpty() || info.rangeText.isEmpty() ? info.rangeText
                                                                        : info.rangeText + QLatin1Char(' ') + unit);
    ui->label_unit->setText(unit);
    buildChoices();
    ui->lineEdit_dec->setText(isTyped() ? value().numberText(rowRaw(info)) : plainDecimal(info));
    on_lineEdit_dec_editingFinished();
    show();
}

// A register without format keys converts as it always has: plain 16-bit
// numbers, hexadecimal counted as the decimal's digits.
bool ValueEditWin::isTyped() const
{
    return !isPlainRow(registerInfo);
}

bool ValueEditWin::decimalRaw(const QString &text, qint64 *raw) const
{
    if (!isTyped()) {
        quint16 word = 0;
        const bool ok = toRegisterValue(text, &word);
        *raw = word;
        return ok;
    }
    // Typed bit names change the value as read, as the ticks do.
    const RegisterValue::Input input = value().parse(text, rowRaw(registerInfo));
    *raw = input.raw;
    return input.ok();
}

// One word as the log writes it, or a 32-bit register's two words in
// address order ("0xFFFF 0xFB50").
bool ValueEditWin::hexRaw(const QString &text, qint64 *raw) const
{
    if (registerInfo.format.wordCount() == 1) {
        quint16 word = 0;
        const bool ok = hexToRegisterValue(text, &word);
        *raw = value().fromWords(word);
        return ok;
    }
    const RegisterValue::Input input = value().parseHex(text);
    *raw = input.raw;
    return input.ok();
}

// A choice list for named states and a tick per named bit; a register
// without them shows neither.
void ValueEditWin::buildChoices()
{
    const RegisterFormat &format = registerInfo.format;
    ui->comboBox_state->clear();
    for (auto state = format.states.constBegin(); state != format.states.constEnd(); ++state)
        ui->comboBox_state->addItem(value().text(state.key()), qlonglong(state.key()));
    ui->label_state->setVisible(!format.states.isEmpty());
    ui->comboBox_state->setVisible(!format.states.isEmpty());

    qDeleteAll(bitTicks);
    bitTicks.clear();
    auto *grid = static_cast<QGridLayout *>(ui->groupBox_bits->layout());
    for (auto bit = format.bitNames.constBegin(); bit != format.bitNames.constEnd(); ++bit) {
        auto *tick = new QCheckBox(QStringLiteral("bit%1 %2").arg(bit.key()).arg(bit.value()), ui->groupBox_bits);
        tick->setProperty("bit", bit.key());
        connect(tick, &QCheckBox::clicked, this, &ValueEditWin::takeTicks);
        grid->addWidget(tick, bitTicks.size() / ticksPerLine, bitTicks.size() % ticksPerLine);
        bitTicks.append(tick);
    }
    ui->groupBox_bits->setVisible(!bitTicks.isEmpty());
    setFixedSize(isTyped() ? plainSize.expandedTo(sizeHint()) : plainSize);
}

void ValueEditWin::showChoices(qint64 raw)
{
    ui->comboBox_state->setCurrentIndex(ui->comboBox_state->findData(qlonglong(raw)));
    for (QCheckBox *tick : qAsConst(bitTicks))
        tick->setChecked(value().isBitSet(raw, tick->property("bit").toInt()));
}

void ValueEditWin::on_comboBox_state_activated(int index)
{
    showTypedValue(ui->comboBox_state->itemData(index).toLongLong());
}

// The bits without a name keep what the field holds (as read, until typed).
void ValueEditWin::takeTicks()
{
    qint64 current = 0;
    if (!decimalRaw(ui->lineEdit_dec->text(), &current))
        current = rowRaw(registerInfo);
    QList<int> ticked;
    for (QCheckBox *tick : qAsConst(bitTicks)) {
        if (tick->isChecked())
            ticked << tick->property("bit").toInt();
    }
    showTypedValue(value().withNamedBits(current, ticked));
}

void ValueEditWin::showTypedValue(qint64 raw)
{
    decimalFollowsHex = false;
    ui->lineEdit_dec->setText(value().numberText(raw));
    on_lineEdit_dec_editingFinished();
}

void ValueEditWin::on_lineEdit_dec_editingFinished()
{
    const QString text = ui->lineEdit_dec->text().trimmed();
    ui->label_range->setStyleSheet(normalStyle);
    if (text.isEmpty())
        return;
    // A value the register, its type or its scale cannot hold is refused at
    // once, with its reason; the hexadecimal field no longer claims a value.
    qint64 raw = 0;
    if (!decimalRaw(text, &raw)) {
        ui->lineEdit_dec->setStyleSheet(refusedValueStyle);
        ui->lineEdit_dec->setToolTip(refusalReason(text));
        ui->lineEdit_hex->clear();
    } else if (!isTyped()) {
        const QString hex = plainHexText(text);
        if (ui->lineEdit_hex->text() != hex)
            ui->lineEdit_hex->setText(hex);
    } else {
        qint64 shownInHex = 0;
        if (!hexRaw(ui->lineEdit_hex->text(), &shownInHex) || shownInHex != raw)
            ui->lineEdit_hex->setText(value().hexText(raw));
    }
    showRangeColour(text);
}

// A plain register's typed value counts as the register reads it: on a
// register with a negative bound, 65526 is -10. A typed register's range is
// in shown units.
void ValueEditWin::showRangeColour(const QString &text)
{
    ui->label_range->setStyleSheet(normalStyle);
    if (text.trimmed().isEmpty())
        return;
    if (!isTyped()) {
        const int typed = text.trimmed().toInt(nullptr, 10);
        const int value = typed >= 0 && typed <= 0xFFFF ? rangeReading(registerInfo, quint16(typed)) : typed;
        const bool outside = value < registerInfo.rangeMin || value > registerInfo.rangeMax;
        ui->label_range->setStyleSheet(outside ? warningStyle : normalStyle);
        return;
    }
    qint64 raw = 0;
    if (!decimalRaw(text, &raw))
        return;
    ui->label_range->setStyleSheet(value().inRange(raw) ? normalStyle : warningStyle);
    showChoices(raw);
}

// Hexadecimal being typed: the decimal field shows its value at once; the
// hexadecimal field is put in its usual form only when editing finishes,
// so the text under the cursor does not change. Text that is no value yet
// (or no longer) gives the decimal field back what it showed before.
void ValueEditWin::followHex(const QString &hex)
{
    qint64 raw = 0;
    if (!hexRaw(hex, &raw)) {
        if (decimalFollowsHex)
            showDecimal(decimalBeforeHex);
        decimalFollowsHex = false;
        return;
    }
    const QString decimal = value().numberText(raw);
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
    showRangeColour(text);
}

void ValueEditWin::on_lineEdit_hex_editingFinished()
{
    const QString hex = ui->lineEdit_hex->text();
    if (hex.isEmpty())
        return;

    qint64 raw = 0;
    if (!hexRaw(hex, &raw)) {
        ui->lineEdit_hex->setStyleSheet(refusedValueStyle);
        return;
    }
    // A decimal that followed the typing counts as changed by this edit.
    const QString decimal = value().numberText(raw);
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

// Only a value that both fields show is written; a 32-bit register in one
// request, so the driver never holds half of it.
void ValueEditWin::on_pushButton_Write_clicked()
{
    qint64 raw = 0;
    if (!decimalRaw(ui->lineEdit_dec->text(), &raw)) {
        ui->lineEdit_dec->setStyleSheet(refusedValueStyle);
        return;
    }
    qint64 hexValue = 0;
    if (!hexRaw(ui->lineEdit_hex->text(), &hexValue) || hexValue != raw) {
        ui->lineEdit_hex->setStyleSheet(refusedValueStyle);
        return;
    }
    if (!confirmOutOfRange(raw))
        return;

    setRowRaw(registerInfo, raw);
    emit writeCurrentValue(row, WriteGate::rowFrame(slave, registerInfo, writeFunction));
}

void ValueEditWin::on_pushButton_Cance_clicked()
{
    hide();
}

// A value the register map rules out may still be what the technician
// means, but only once asked; No is the safe default.
bool ValueEditWin::confirmOutOfRange(qint64 raw)
{
    const bool inside = isTyped() ? value().inRange(raw) : isWithinRange(registerInfo, quint16(raw));
    if (inside)
        return true;
    const QString question = tr("数值 %1 超出范围 %2，确定写入吗？")
                                 .arg(isTyped() ? value().text(raw) : QString::number(raw))
                                 .arg(ui->label_range->text());
    return QMessageBox::question(this, tr("超出范围"), question,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

// The red border marks a refused value; it goes once the field holds one
// that could be written.
void ValueEditWin::clearRefusalIfValid(const QString &text)
{
    qint64 raw = 0;
    if (decimalRaw(text, &raw)) {
        ui->lineEdit_dec->setStyleSheet(QString());
        ui->lineEdit_dec->setToolTip(QString());
    }
}

// Why a typed value is refused: "须为 0.5 ° 的整数倍".
QString ValueEditWin::refusalReason(const QString &text) const
{
    if (!isTyped())
        return tr("须为 0 … 65535 的整数");
    const RegisterFormat &format = registerInfo.format;
    switch (value().parse(text, rowRaw(registerInfo)).error) {
    case RegisterValue::InputError::NotExact:
        return tr("须为 %1 的整数倍").arg((value().numberText(1) + QLatin1Char(' ') + format.unit).trimmed());
    case RegisterValue::InputError::OutOfType:
        return tr("超出类型范围 %1 … %2").arg(value().numberText(format.minRaw()), value().numberText(format.maxRaw()));
    case RegisterValue::InputError::Empty:
        return tr("请输入数值");
    default:
        return format.states.isEmpty() && format.bitNames.isEmpty() ? tr("不是数值")
                                                                    : tr("不是数值，也不是状态或位的名称");
    }
}

void ValueEditWin::clearHexRefusalIfValid(const QString &text)
{
    qint64 raw = 0;
    if (hexRaw(text, &raw))
        ui->lineEdit_hex->setStyleSheet(QString());
}

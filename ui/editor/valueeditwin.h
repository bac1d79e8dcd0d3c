#ifndef VALUEEDITWIN_H
#define VALUEEDITWIN_H

#include <QByteArray>
#include <QList>
#include <QWidget>

#include "registermap/registerinfo.h"
#include "registermap/registervalue.h"

QT_BEGIN_NAMESPACE
namespace Ui { class ValueEditWin; }
class QCheckBox;
QT_END_NAMESPACE

// Small dialog that edits one register's value as the map shows it (in its
// type and scale, by state name or by bit) or as hexadecimal register
// contents, and hands the finished write frame to whoever sends it.
class ValueEditWin : public QWidget
{
    Q_OBJECT

public:
    explicit ValueEditWin(QWidget *parent = nullptr);
    ~ValueEditWin() override;

    // Writes go to `slave`, the driver whose register is shown.
    void showRegister(const RegisterInfo &info, int row, quint8 slave);
    // 16 when the map says the driver has no function 6.
    void setWriteFunction(int function) { writeFunction = function; }

signals:
    void writeCurrentValue(int row, QByteArray cmd);

private slots:
    void on_lineEdit_dec_editingFinished();
    void on_lineEdit_hex_editingFinished();
    void on_lineEdit_dec_returnPressed();
    void on_lineEdit_hex_returnPressed();
    void on_comboBox_state_activated(int index);
    void on_pushButton_Write_clicked();
    void on_pushButton_Cance_clicked();

protected:
    void changeEvent(QEvent *event) override;

private:
    RegisterValue value() const { return RegisterValue(registerInfo.format); }
    bool isTyped() const;
    bool decimalRaw(const QString &text, qint64 *raw) const;
    bool hexRaw(const QString &text, qint64 *raw) const;
    void buildChoices();
    void showChoices(qint64 raw);
    void takeTicks();
    void showTypedValue(qint64 raw);
    void followHex(const QString &hex);
    void showDecimal(const QString &text);
    void showRangeColour(const QString &text);
    bool confirmOutOfRange(qint64 raw);
    void clearRefusalIfValid(const QString &text);
    QString refusalReason(const QString &text) const;
    void clearHexRefusalIfValid(const QString &text);

    Ui::ValueEditWin *ui;
    RegisterInfo registerInfo;
    int row = 0;
    quint8 slave = 1;
    int writeFunction = 6;
    // The form's size for a plain register; named states and bits add to it.
    QSize plainSize;
    QList<QCheckBox *> bitTicks;
    // The decimal field shows what the hexadecimal one has had typed.
    bool decimalFollowsHex = false;
    QString decimalBeforeHex;
};

#endif // VALUEEDITWIN_H

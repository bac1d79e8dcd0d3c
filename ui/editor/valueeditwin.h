#ifndef VALUEEDITWIN_H
#define VALUEEDITWIN_H

#include <QByteArray>
#include <QWidget>

#include "registermap/registerinfo.h"

QT_BEGIN_NAMESPACE
namespace Ui { class ValueEditWin; }
QT_END_NAMESPACE

// Small dialog that edits one register's value in decimal or hexadecimal and
// hands the finished write frame to whoever sends it.
class ValueEditWin : public QWidget
{
    Q_OBJECT

public:
    explicit ValueEditWin(QWidget *parent = nullptr);
    ~ValueEditWin() override;

    // Writes go to `slave`, the driver whose register is shown.
    void showRegister(const RegisterInfo &info, int row, quint8 slave);

signals:
    void writeCurrentValue(int row, QByteArray cmd);

private slots:
    void on_lineEdit_dec_editingFinished();
    void on_lineEdit_hex_editingFinished();
    void on_lineEdit_dec_returnPressed();
    void on_lineEdit_hex_returnPressed();
    void on_pushButton_Write_clicked();
    void on_pushButton_Cance_clicked();

private:
    void followHex(const QString &hex);
    void showDecimal(const QString &text);
    void showRangeColour(int typed);
    bool confirmOutOfRange(quint16 value);
    void clearRefusalIfValid(const QString &text);
    void clearHexRefusalIfValid(const QString &text);

    Ui::ValueEditWin *ui;
    RegisterInfo registerInfo;
    int row = 0;
    quint8 slave = 1;
    // The decimal field shows what the hexadecimal one has had typed.
    bool decimalFollowsHex = false;
    QString decimalBeforeHex;
};

#endif // VALUEEDITWIN_H

#ifndef IDENTITYLINE_H
#define IDENTITYLINE_H

#include <QLabel>

#include "registermap/driverroles.h"

class RegisterStore;

// The connected driver's identity, as its identity rows were read on this
// line: "型号 Model 8964 · 固件 Firmware 1.12 · 序列号 Serial 81234".
// Hidden until one of them is read, and again when the line closes or
// another map is loaded.
class IdentityLine : public QLabel
{
    Q_OBJECT

public:
    explicit IdentityLine(const RegisterStore *store, QWidget *parent = nullptr);

    // The values read no longer describe the driver on the line.
    void forget();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void takeMap();
    void takeValue(int row, qint64 raw);
    void showIdentity();
    void showElided();

    const RegisterStore *store;
    QList<quint16> identityAddresses;
    DriverIdentity identity;
    QString wholeText;
};

#endif // IDENTITYLINE_H

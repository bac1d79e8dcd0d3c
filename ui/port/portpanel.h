#ifndef PORTPANEL_H
#define PORTPANEL_H

#include <QObject>
#include <QSerialPort>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
struct StartOptions;

// The controls of the port panel, as the window's form has them.
struct PortPanelWidgets
{
    QComboBox *port;
    QComboBox *baud;
    QComboBox *parity;
    QComboBox *stopBits;
    QLineEdit *address;
    QPushButton *open;
    QPushButton *findPorts;
};

// The port panel: the list of ports, baud rate, framing and device address
// the user picks, the open button's face, and the port state in the status
// bar. While the port is open its settings cannot change.
class PortPanel : public QObject
{
    Q_OBJECT

public:
    PortPanel(const PortPanelWidgets &widgets, QStatusBar *statusBar);

    void refreshPorts();
    QString portName() const;
    QString baudText() const;
    QSerialPort::Parity parity() const;
    QSerialPort::StopBits stopBits() const;
    // False when the field does not hold a decimal 1..247; a refused
    // address is marked red.
    bool address(quint32 *address) const;
    bool acceptAddress(const QString &text, quint32 *address);
    void setAddress(quint32 address);
    void selectLine(qint64 baud, QSerialPort::Parity parity, QSerialPort::StopBits stopBits);
    void showState(bool open);
    // The port, baud, framing and address given on the command line.
    void select(const StartOptions &options);

private:
    // In the order of the parity choices.
    static QStringList parityTexts();
    void retranslate();
    void fillBauds();
    void fillFramingChoices();

    PortPanelWidgets widgets;
    QLabel *stateLabel;
    bool open = false;
};

#endif // PORTPANEL_H

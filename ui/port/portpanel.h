#ifndef PORTPANEL_H
#define PORTPANEL_H

#include <QObject>
#include <QSerialPort>

#include "serial/networktarget.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
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
    QComboBox *lineKind;
    QLabel *portLabel;
    QLineEdit *host;
    QSpinBox *tcpPort;
    QLabel *baudLabel;
};

// The port panel: the kind of line, the list of ports, baud rate, framing
// and device address the user picks, or the host, TCP port and framing of a
// network line; the open button's face, and the port state in the status
// bar. While the line is open its settings cannot change.
class PortPanel : public QObject
{
    Q_OBJECT

public:
    PortPanel(const PortPanelWidgets &widgets, QStatusBar *statusBar);

    void refreshPorts();
    // A network line is chosen; the serial settings then mean nothing.
    bool isNetwork() const;
    // The host, TCP port and framing as the fields hold them; an error text
    // when the host field is empty or holds blanks.
    QString networkTarget(NetworkTarget *target) const;
    void selectNetwork(const NetworkTarget &target);
    // The port, or HOST:PORT, as notices name the line.
    QString lineName() const;
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
    // While the window waits for a network line's connection.
    void showConnecting(const QString &lineName);
    // The port, baud, framing and address given on the command line.
    void select(const StartOptions &options);

private:
    // In the order of the parity choices.
    static QStringList parityTexts();
    void retranslate();
    void fillBauds();
    void fillFramingChoices();
    void fillLineKinds();
    void showLineKind();

    PortPanelWidgets widgets;
    QLabel *stateLabel;
    // The command line may give another; the window has no field for it.
    int connectTimeoutMs = NetworkTarget().connectTimeoutMs;
    bool open = false;
};

#endif // PORTPANEL_H

#include "ui/port/portsession.h"
#include "ui/gate/gatequestion.h"

#include "ui/editor/valueeditwin.h"
#include "ui/log/logcolours.h"
#include "ui/log/trafficlogview.h"
#include "ui/monitor/livemonitor.h"
#include "ui/paramsets/parametersetspanel.h"
#include "ui/port/portpanel.h"
#include "ui/scan/scandialog.h"
#include "ui/table/registertableview.h"
#include "registermap/refreshcontroller.h"
#include "registermap/registerstore.h"
#include "protocol/requestscheduler.h"
#include "scan/scanrun.h"
#include "serial/lineoptions.h"
#include "serial/serial.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSerialPort>

PortSession::PortSession(const PortSessionParts &parts)
    : QObject(parts.window)
    , parts(parts)
{
}

bool PortSession::isOpen() const
{
    return Serial::instance()->isOpen();
}

void PortSession::toggle()
{
    if (isOpen())
        return close();
    open();
}

void PortSession::open()
{
    if (isOpen())
        return;
    // The field may show a refused address while an earlier one is applied;
    // polling must not go to a driver the user cannot see.
    quint32 address = 0;
    if (!parts.panel->address(&address)) {
        emit refused(tr("\n设备地址无效 !\n设备地址须为 1–247（0 为广播）\n"));
        return;
    }
    if (!(parts.panel->isNetwork() ? connectNetwork() : openSerialPort()))
        return;
    parts.scheduler->resetStatistics();
    parts.scheduler->start();
    parts.refresh->refreshAll();
    showState(true);
    if (!parts.scheduler->isBusy())
        showRefreshAvailable(true);
}

bool PortSession::openSerialPort()
{
    const QString portName = parts.panel->portName();
    const QString baudText = parts.panel->baudText();
    if (portName.isEmpty() || baudText.isEmpty())
        return false;
    Serial *serial = Serial::instance();
    if (!serial->openPort(portName, baudText.toUInt(nullptr, 10), parts.panel->parity(), parts.panel->stopBits())) {
        emit refused(tr("\n串口 %1 打开失败：\n%2\n").arg(portName, serial->openError()));
        return false;
    }
    return true;
}

// Waits for the connection, at most the connect timeout: a request needs it.
bool PortSession::connectNetwork()
{
    NetworkTarget target;
    const QString missing = parts.panel->networkTarget(&target);
    if (!missing.isEmpty()) {
        emit refused(missing);
        return false;
    }
    Serial *serial = Serial::instance();
    parts.panel->showConnecting(target.name());
    const bool connected = serial->openNetwork(target);
    if (!connected) {
        showState(false);
        emit refused(tr("\n无法连接 %1：\n%2\n").arg(target.name(), serial->openError()));
    }
    return connected;
}

void PortSession::close()
{
    parts.scheduler->stop();
    parts.editor->hide();
    parts.table->markValuesStale();
    emit valuesStale();
    parts.monitor->lineClosed();
    parts.refresh->stop();
    Serial::instance()->closeLine();
    showState(false);
    showRefreshAvailable(false);
}

// The device went away under an open port: the panel closes as if the user
// had pressed the button, so that the port can be opened again once the
// device is back.
void PortSession::lost(const QString &errorText)
{
    if (!isOpen())
        return;
    const QString line = Serial::instance()->lineName();
    const bool network = parts.panel->isNetwork();
    close();
    parts.log->showLineError(network ? QStringLiteral("Network error: %1: %2").arg(line, errorText)
                                     : QStringLiteral("Serial port error: ") + errorText);
    // The log may be stopped or scrolled away: the user is told at once.
    emit refused(network ? tr("连接 %1 已断开：%2").arg(line, errorText)
                         : tr("串口 %1 已断开：%2").arg(line, errorText));
}

// The panel, and the controls that work only on an open port.
void PortSession::showState(bool open)
{
    parts.panel->showState(open);
    parts.continuous->setEnabled(open);
    if (!open)
        parts.continuous->setChecked(false);
    parts.saveParams->setEnabled(open);
    parts.loadParams->setEnabled(open);
    if (!open)
        parts.parameterSets->stop();
    emit portStateShown(open);
}

// Every idle tick asks for the enabled face; setting a style sheet repolishes
// the button even when the text is the same, so an unchanged state is left
// alone.
void PortSession::showRefreshAvailable(bool enabled)
{
    QPushButton *button = parts.dataRefresh;
    const QString face = enabled
        ? QStringLiteral("border-image: url(:/new/prefix1/picture/dataRefresh.png)")
        : QStringLiteral("border-image: url(:/new/prefix1/picture/dataRefresh2.png)");
    if (button->isEnabled() == enabled && button->styleSheet() == face)
        return;
    button->setEnabled(enabled);
    button->setStyleSheet(face);
}

void PortSession::applyAddress(const QString &text)
{
    quint32 address = 0;
    if (!parts.panel->acceptAddress(text, &address))
        return;
    const bool another = address != parts.store->slaveAddress();
    if (another) {
        parts.parameterSets->leaveDriver();
        parts.table->markValuesStale();
    }
    parts.store->setSlaveAddress(address);
    parts.scheduler->setSlaveAddress(quint8(address & 0xFF));
    if (another)
        emit driverChanged();
}

void PortSession::write(int row, const QByteArray &frame)
{
    // A write kept until the next open could reach the driver long after the
    // user meant it; refuse it instead.
    if (!isOpen()) {
        emit refused(tr("\n串口未打开 !\n"));
        return;
    }
    // The frame must name the register of the row it is shown for.
    const bool rowKnown = parts.store->hasRow(row) && frame.size() >= 4;
    if (!rowKnown || parts.store->rows().at(row).address != quint16(quint8(frame.at(2)) << 8 | quint8(frame.at(3)))) {
        parts.editor->hide();
        emit refused(tr("\n此寄存器已不在映射表中 !\n"));
        return;
    }
    // The editor was opened for the driver at another address.
    if (quint8(frame.at(0)) != parts.scheduler->slaveAddress()) {
        parts.editor->hide();
        emit refused(tr("\n站地址已改变，请重新打开编辑窗口 !\n"));
        return;
    }
    if (!passesGate(frame))
        return;
    parts.table->setLamp(row, QStringLiteral("red"));
    parts.refresh->write(row, frame);
}

// The editor has asked its range question before it hands on the frame;
// the gate asks the rest (a danger command's value) or says why not.
bool PortSession::passesGate(const QByteArray &frame)
{
    const WriteGate gate(parts.store->rows());
    WriteConsent consent;
    consent.outOfRange = true;
    QString refusal;
    const auto judge = [&gate, &frame](const WriteConsent &given) {
        return gate.judgeFrame(WriteOrigin::Editor, frame, given);
    };
    if (askGate(parts.window, judge, &consent, &refusal))
        return true;
    emit refused(refusal.isEmpty() ? tr("\n未写入\n") : QStringLiteral("\n%1\n").arg(refusal));
    return false;
}

// An open port stays open through the scan: polling pauses, and the scan
// puts the line back as it found it.
void PortSession::scan()
{
    // The scan reopens the line: what the table shows is no longer live.
    if (isOpen()) {
        parts.refresh->abandon();
        showRefreshAvailable(false);
        parts.table->markValuesStale();
        emit valuesStale();
    }
    ScanRequest request;
    if (parts.panel->isNetwork())
        parts.panel->networkTarget(&request.network);
    request.port = parts.panel->portName();
    request.parity = parts.panel->parity();
    request.stopBits = parts.panel->stopBits();
    request.registerAddress = parts.store->rows().isEmpty() ? 0 : parts.store->rows().first().address;
    auto *dialog = new ScanDialog(parts.scheduler, parts.window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setRequest(request);
    connect(dialog, &ScanDialog::hitChosen, this, &PortSession::useScanHit);
    connect(dialog->run(), &ScanRun::hitFound, this, [this](const ScanHit &hit) { emit driverFound(hit.address); });
    connect(dialog, &QDialog::finished, this, &PortSession::resumeAfterScan);
    connect(dialog->run(), &ScanRun::baudScanned, this, [this, request](qint64 baud, int asked, int answered) {
        const QString pass = baud ? QStringLiteral("Scan at %1 baud").arg(baud)
                                  : QStringLiteral("Scan of %1").arg(request.lineName());
        parts.log->append(LogColour::Normal,
                          QStringLiteral("%1: %2 addresses asked, %3 answered").arg(pass).arg(asked).arg(answered));
    });
    connect(dialog->run(), &ScanRun::unaskedReplies, this, [this, request](qint64 baud, int count, int from) {
        const QString pass = baud ? QStringLiteral("Scan at %1 baud").arg(baud)
                                  : QStringLiteral("Scan of %1").arg(request.lineName());
        parts.log->append(LogColour::Error,
                          QStringLiteral("%1: %2 replies that no request asked for (the first from %3 %4): a driver "
                                         "slower than the reply timeout may have been missed")
                              .arg(pass).arg(count).arg(addressWord(request.network.isModbusTcp())).arg(from));
    });
    connect(dialog->run(), &ScanRun::lateReplies, this, [this, request](qint64, int count, int from) {
        parts.log->append(LogColour::Error,
                          QStringLiteral("Scan of %1: %2 replies came after the reply timeout (the first from %3 %4): "
                                         "a driver may have been missed")
                              .arg(request.lineName()).arg(count).arg(addressWord(true)).arg(from));
    });
    parts.saveParams->setEnabled(false);
    parts.loadParams->setEnabled(false);
    emit lineTakenByScan();
    dialog->open();
}

// The panel and the line must never disagree: with the port open, it is
// opened again at what the scan found.
void PortSession::useScanHit(const ScanHit &hit)
{
    auto use = [this, hit] {
        if (hit.baud > 0)
            parts.panel->selectLine(hit.baud, hit.parity, hit.stopBits);
        parts.panel->setAddress(hit.address);
        if (!isOpen())
            return;
        close();
        open();
    };
    if (isOpen() && leaveGate && !leaveGate(use))
        return;
    use();
}

void PortSession::resumeAfterScan()
{
    const bool open = isOpen();
    showState(open);
    showRefreshAvailable(open && !parts.scheduler->isBusy());
}

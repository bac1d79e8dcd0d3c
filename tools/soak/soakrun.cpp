#include "soakrun.h"

#include "ui/mainwindow.h"
#include "serial/serial.h"
#include "support/windowinternals.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTableWidget>
#include <QTimer>

using Inspect = MainWindowInspector;

namespace {

constexpr int valueColumn = 1;
constexpr int maxDescribedFailures = 10;

bool isWritable(const RegisterInfo &info)
{
    return info.permission.contains(QLatin1Char('w')) || info.permission.contains(QLatin1Char('W'));
}

quint16 frameValue(const QByteArray &frame)
{
    return quint16(uchar(frame.at(4)) << 8 | uchar(frame.at(5)));
}

} // namespace

SoakRun::SoakRun(MainWindow &window)
    : window(window)
    , table(window.findChild<QTableWidget *>(QStringLiteral("tableWidget")))
    , refreshButton(window.findChild<QPushButton *>(QStringLiteral("pushButton_dataRefresh")))
{
    const QList<RegisterInfo> &registers = Inspect::registerList(window);
    for (int row = 0; row < registers.size(); ++row) {
        if (isWritable(registers.at(row)))
            writableRows.append(row);
    }
    // Connected after the window's own handlers, so these see the state
    // that the window has just made.
    refreshButton->installEventFilter(this);
    connect(Serial::instance(), &Serial::haveReceive, this, &SoakRun::noteBlock);
    connect(&Inspect::pollTimer(window), &QTimer::timeout, this, &SoakRun::noteTick);
    connect(editor(), &ValueEditWin::writeCurrentValue, this, &SoakRun::noteWriteSent);
    // As "停止显示" does: traffic goes on, the log stays as it is.
    Inspect::isDisplayOn(window) = false;
}

bool SoakRun::openPort(const QString &path)
{
    // Qt does not list pseudo-terminals: the path goes into the editable field.
    window.findChild<QComboBox *>(QStringLiteral("comboBox_port"))->setEditText(path);
    window.findChild<QPushButton *>(QStringLiteral("pushButton_open"))->click();
    return Serial::instance()->serialPort->isOpen();
}

void SoakRun::finish()
{
    finishing = true;
}

// The window enables the button from inside its tick handler; pressing it
// there would be counted as part of the refresh just finished, so the
// reaction waits for the event loop.
bool SoakRun::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == refreshButton && event->type() == QEvent::EnabledChange && refreshButton->isEnabled())
        QTimer::singleShot(0, this, &SoakRun::onRefreshFinished);
    return QObject::eventFilter(watched, event);
}

void SoakRun::onRefreshFinished()
{
    if (!refreshButton->isEnabled())
        return;
    ++tally.refreshes;
    judgeLastWrite();
    if (finishing) {
        emit drained();
        return;
    }
    writeNextRegister();
    refreshButton->click();
}

// The write went out ahead of the refresh's reads, so by now its echo has
// come back and the read that followed it shows what the driver holds.
void SoakRun::judgeLastWrite()
{
    if (pending.row < 0)
        return;
    const QString shown = table->item(pending.row, valueColumn)->text();
    const quint16 held = Inspect::registerList(window).at(pending.row).value;
    const bool readBack = shown == QString::number(pending.value) && held == pending.value;
    if (pending.echoed && readBack)
        ++tally.writesConfirmed;
    else
        recordFailure(QStringLiteral("row %1 <- %2: echo %3, table shows %4, register list holds %5")
                          .arg(pending.row)
                          .arg(pending.value)
                          .arg(pending.echoed ? QStringLiteral("seen") : QStringLiteral("missing"))
                          .arg(shown)
                          .arg(held));
    pending = PendingWrite();
}

void SoakRun::writeNextRegister()
{
    if (writableRows.isEmpty())
        return;
    const int row = writableRows.at(writeIndex++ % writableRows.size());
    const quint16 value = nextValue(row);
    pending.row = row;
    pending.value = value;
    emit table->cellDoubleClicked(row, valueColumn);
    ValueEditWin *edit = editor();
    if (!edit->isVisible() || edit->windowTitle() != Inspect::registerList(window).at(row).name) {
        recordFailure(QStringLiteral("row %1: the editor did not open").arg(row));
        pending = PendingWrite();
        return;
    }
    // Typed over, as a technician does: the hexadecimal field follows.
    auto *decimal = edit->findChild<QLineEdit *>(QStringLiteral("lineEdit_dec"));
    decimal->selectAll();
    decimal->insert(QString::number(value));
    edit->findChild<QPushButton *>(QStringLiteral("pushButton_Write"))->click();
    if (pending.frame.isEmpty()) {
        recordFailure(QStringLiteral("row %1 <- %2: the editor sent no write").arg(row).arg(value));
        pending = PendingWrite();
    }
}

// Walks each register's range in large strides, so that consecutive writes
// differ and the extremes come up too; never the value the row holds now,
// or a lost write could not be told from a confirmed one. A range that
// leaves the 16 bits of a register is cut to them.
quint16 SoakRun::nextValue(int row) const
{
    const RegisterInfo &info = Inspect::registerList(window).at(row);
    int low = qMax(info.rangeMin, 0);
    int high = qMin(info.rangeMax, 0xFFFF);
    if (high < low) {
        low = 0;
        high = 0xFFFF;
    }
    int value = low + int((qint64(writeIndex) * 7919) % (high - low + 1));
    if (value == info.value)
        value = value < high ? value + 1 : low;
    return quint16(value);
}

void SoakRun::noteWriteSent(int row, const QByteArray &frame)
{
    ++tally.writesSent;
    if (row != pending.row || frame.size() != 8 || frameValue(frame) != pending.value) {
        recordFailure(QStringLiteral("row %1 <- %2: the editor built %3 for row %4")
                          .arg(pending.row).arg(pending.value)
                          .arg(QString::fromLatin1(frame.toHex(' '))).arg(row));
        pending = PendingWrite();
        return;
    }
    pending.frame = frame;
}

// A single-register write is confirmed by the driver echoing the request.
void SoakRun::noteBlock(const QByteArray &block)
{
    if (!pending.frame.isEmpty() && !pending.echoed && block == pending.frame) {
        pending.echoed = true;
        ++tally.writesEchoed;
    }
    observedWait = Inspect::waitElapsed(window);
}

// Only a tick that gives up waiting takes the wait from non-zero to zero; a
// reply does it in noteBlock.
void SoakRun::noteTick()
{
    const quint32 wait = Inspect::waitElapsed(window);
    if (observedWait != 0 && wait == 0)
        ++tally.timeouts;
    observedWait = wait;
}

void SoakRun::recordFailure(const QString &text)
{
    ++tally.writesFailed;
    if (failures.size() < maxDescribedFailures)
        failures.append(text);
}

ValueEditWin *SoakRun::editor() const
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *edit = qobject_cast<ValueEditWin *>(widget))
            return edit;
    }
    return nullptr;
}

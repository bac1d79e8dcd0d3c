#include "ui/testrun/testrundock.h"
#include "ui_testrundock.h"

#include "motion/testrun.h"
#include "registermap/addressrules.h"
#include "registermap/registerstore.h"
#include "registermap/registervalue.h"
#include "ui/port/portsession.h"
#include "util/interruptwatch.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QShortcut>

namespace {

enum MoveKind { Absolute, Relative, BackAndForth };

const RegisterInfo *roleRow(const RegisterStore *store, const TestRun *run, RowRole role)
{
    const int address = run->profile().motionAddress(role);
    return address < 0 ? nullptr : linesAt(store->rows(), quint16(address)).value(0);
}

// The field takes what the row takes, in its shown units.
void fitField(QDoubleSpinBox *field, const RegisterInfo *row, bool distance)
{
    if (!row)
        return;
    const RegisterValue value(row->format);
    const double low = value.shown(row->hasRange ? row->rangeMin : row->format.minRaw());
    const double high = value.shown(row->hasRange ? row->rangeMax : row->format.maxRaw());
    field->setDecimals(row->format.decimals);
    field->setRange(distance ? low - high : low, distance ? high - low : high);
    field->setSuffix(row->format.unit.isEmpty() ? QString() : QLatin1Char(' ') + row->format.unit);
}

} // namespace

TestRunDock::TestRunDock(const Parts &parts)
    : QDockWidget(parts.window)
    , ui(new Ui::TestRunDock)
    , parts(parts)
    , run(new TestRun(parts.scheduler, this))
{
    setObjectName(QStringLiteral("testRunDock"));
    setWindowTitle(tr("试运行"));
    auto *contents = new QWidget(this);
    ui->setupUi(contents);
    setWidget(contents);
    // One row of controls under the table, which keeps its rows.
    parts.window->addDockWidget(Qt::BottomDockWidgetArea, this, Qt::Vertical);
    parts.viewMenu->addAction(toggleViewAction());
    hide();
    ui->spinBox_jogSpeed->setValue(100);
    connectButtons();
    connectStops();
    useMap();
    connect(parts.store, &RegisterStore::rowsReplaced, this, &TestRunDock::useMap);
    connect(parts.session, &PortSession::portStateShown, this, &TestRunDock::setLineOpen);
    connect(run, &TestRun::stateChanged, this, &TestRunDock::showState);
    connect(run, &TestRun::refused, this, [this](const QString &reason) { emit notice(tr("试运行：%1").arg(reason)); });
    connect(run, &TestRun::commTimeoutRefused, this, &TestRunDock::refuseCommTimeout);
    setLineOpen(false);
}

TestRunDock::~TestRunDock()
{
    delete ui;
}

void TestRunDock::connectButtons()
{
    auto jog = [this](int sign) {
        if (readyToMove())
            run->jog(sign * fieldRaw(roleRow(parts.store, run, RowRole::Jog), ui->spinBox_jogSpeed->value()));
    };
    connect(ui->pushButton_jogPlus, &QPushButton::pressed, this, [jog] { jog(1); });
    connect(ui->pushButton_jogMinus, &QPushButton::pressed, this, [jog] { jog(-1); });
    for (QPushButton *button : {ui->pushButton_jogPlus, ui->pushButton_jogMinus})
        connect(button, &QPushButton::released, this, [this] { run->stop(QStringLiteral("the jog button was released")); });
    connect(ui->pushButton_move, &QPushButton::clicked, this, &TestRunDock::startMove);
    connect(ui->pushButton_stop, &QPushButton::clicked, this,
            [this] { run->stop(QStringLiteral("the Stop button"), true); });
    connect(ui->comboBox_moveKind, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int kind) {
        fitField(ui->spinBox_target, roleRow(parts.store, run, RowRole::Target), kind != Absolute);
        showState();
    });
}

// Whatever takes the technician's eyes or hands off the motor stops it; a
// closing or lost line sends the stop as its last words.
void TestRunDock::connectStops()
{
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), parts.window);
    connect(escape, &QShortcut::activated, ui->pushButton_stop, &QPushButton::click);
    // The space bar stops only while something moves: otherwise it is the
    // text fields' and the buttons'.
    spaceStop = new QShortcut(QKeySequence(Qt::Key_Space), parts.window);
    connect(spaceStop, &QShortcut::activated, ui->pushButton_stop, &QPushButton::click);
    parts.window->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            run->stop(QStringLiteral("the window lost focus"));
    });
    connect(parts.session, &PortSession::driverChanged, this, [this] {
        run->stop(QStringLiteral("another driver was chosen"));
        ui->checkBox_clear->setChecked(false);
        ui->checkBox_acceptTimeout->setChecked(false);
    });
    connect(ui->checkBox_clear, &QCheckBox::toggled, this, &TestRunDock::showState);
    // Ctrl+C or a plain kill ends the program as quitting does: the stop
    // goes out first, not a comm timeout later.
    auto *interrupts = new InterruptWatch(this, InterruptWatch::Also::Terminate);
    connect(interrupts, &InterruptWatch::interrupted, qApp, &QCoreApplication::quit);
}

// Another window in front, even one of ours: a held button's release may
// never come.
bool TestRunDock::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parts.window && event->type() == QEvent::WindowDeactivate)
        run->stop(QStringLiteral("the window lost focus"));
    return QDockWidget::eventFilter(watched, event);
}

void TestRunDock::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        run->stop(QStringLiteral("the language changed"));
        ui->retranslateUi(widget());
        setWindowTitle(tr("试运行"));
        showState();
    }
    QDockWidget::changeEvent(event);
}

void TestRunDock::useMap()
{
    run->setMap(parts.store->rows(), parts.store->writeFunction());
    fitField(ui->spinBox_jogSpeed, roleRow(parts.store, run, RowRole::Jog), false);
    ui->spinBox_jogSpeed->setMinimum(0);
    fitField(ui->spinBox_target, roleRow(parts.store, run, RowRole::Target),
             ui->comboBox_moveKind->currentIndex() != Absolute);
    showState();
}

// Each opening of the line asks anew that the machine is clear.
void TestRunDock::setLineOpen(bool open)
{
    if (open && !lineOpen) {
        ui->checkBox_clear->setChecked(false);
        ui->checkBox_acceptTimeout->setChecked(false);
    }
    lineOpen = open;
    showState();
}

void TestRunDock::showState()
{
    const bool active = run->isActive();
    const bool clear = lineOpen && ui->checkBox_clear->isChecked();
    const bool canJog = run->jogUnavailable().isEmpty();
    const bool canMove = run->moveUnavailable().isEmpty();
    ui->checkBox_clear->setEnabled(lineOpen);
    ui->pushButton_jogMinus->setEnabled(clear && canJog);
    ui->pushButton_jogPlus->setEnabled(clear && canJog);
    ui->pushButton_move->setEnabled(clear && canMove && !active);
    const bool backAndForth = ui->comboBox_moveKind->currentIndex() == BackAndForth;
    ui->spinBox_times->setEnabled(backAndForth);
    ui->spinBox_dwell->setEnabled(backAndForth);
    ui->pushButton_stop->setEnabled(lineOpen);
    spaceStop->setEnabled(lineOpen && active);
    QString state;
    if (!canJog && !canMove)
        state = tr("映射文件未描述点动或移动（role:jog、role:target 等）。");
    else if (!lineOpen)
        state = tr("串口未打开。");
    else if (!clear)
        state = tr("确认机器周围已清空后才能运动。");
    else if (active)
        state = tr("运动中…");
    ui->label_state->setText(state);
}

bool TestRunDock::readyToMove()
{
    run->acceptCommTimeout(ui->checkBox_acceptTimeout->isChecked());
    return lineOpen && ui->checkBox_clear->isChecked();
}

qint64 TestRunDock::fieldRaw(const RegisterInfo *row, double shown) const
{
    const RegisterValue value(row->format);
    return value.parse(QString::number(shown, 'f', row->format.decimals)).raw;
}

void TestRunDock::startMove()
{
    if (!readyToMove())
        return;
    const qint64 raw = fieldRaw(roleRow(parts.store, run, RowRole::Target), ui->spinBox_target->value());
    switch (ui->comboBox_moveKind->currentIndex()) {
    case Absolute: run->moveTo(raw); break;
    case Relative: run->moveBy(raw); break;
    default: run->moveBackAndForth(raw, ui->spinBox_times->value(), ui->spinBox_dwell->value()); break;
    }
}

void TestRunDock::refuseCommTimeout(const QString &rowName, const QString &valueText)
{
    if (rowName.isEmpty())
        emit notice(tr("映射文件没有通讯超时行（role:commTimeout）：工具失控时驱动器不会自行停机。"
                       "勾选“接受关闭或超过 2 秒的通讯超时”后才能运动。"));
    else
        emit notice(tr("%1 读数为 %2（0 为关闭，上限 2 秒）：工具失控时驱动器不会及时自行停机。"
                       "勾选“接受关闭或超过 2 秒的通讯超时”后才能运动。").arg(rowName, valueText));
}

#include "ui/table/registertableview.h"

#include "ui/language/corewording.h"
#include "ui/language/followlanguage.h"

#include "registermap/registervalue.h"
#include "registermap/rowvalue.h"
#include "serial/serial.h"
#include "ui/monitor/livemonitor.h"
#include "registermap/registerstore.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPixmapCache>
#include <QSerialPort>
#include <QTableWidget>
#include <QTime>

#include <algorithm>

namespace {

// Loading a picture by file name costs a stat and a time-zone lookup on
// every call; with a lamp per row and a lamp change per reply, the
// pictures are decoded once and shared by all lamps.
constexpr int lampRoom = 24;

QPixmap lampPicture(const QString &colour)
{
    const QString key = QStringLiteral("lamp-") + colour;
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture.load(QStringLiteral(":/new/prefix1/picture/%1.png").arg(colour));
        QPixmapCache::insert(key, picture);
    }
    return picture;
}

// Every state, all named bits set, or the type's limits.
QStringList widestTexts(const RegisterFormat &format)
{
    const RegisterValue value(format);
    QStringList texts{value.text(format.minRaw()), value.text(format.maxRaw())};
    for (auto state = format.states.constBegin(); state != format.states.constEnd(); ++state)
        texts << value.text(state.key());
    if (!format.bitNames.isEmpty())
        texts << value.text(value.withNamedBits(0, format.bitNames.keys()));
    return texts;
}

// The map's words where it gave them; a row made by hand says what it lacks.
QString unusableReason(const RegisterInfo &info)
{
    if (!info.problem.isEmpty())
        return wordMapProblem(info.problem);
    return RegisterTableView::tr("\n寄存器地址 %1 无效 !\n").arg(info.addressText).trimmed();
}

// The value cell of an enum or bits row lists every state or bit with its
// current value in its tooltip, written only when it is shown: replies come
// far more often than the mouse rests on a cell.
class ValueItem : public QTableWidgetItem
{
public:
    ValueItem(const QList<RegisterInfo> &registers, int row) : registers(registers), row(row) {}

    QVariant data(int role) const override
    {
        if (role != Qt::ToolTipRole || row >= registers.size())
            return QTableWidgetItem::data(role);
        const RegisterInfo &info = registers.at(row);
        if (!info.addressValid)
            return unusableReason(info);
        if (isWriteOnly(info.permission))
            return QVariant();
        return RegisterValue(info.format).toolTip(rowRaw(info));
    }

private:
    const QList<RegisterInfo> &registers;
    const int row;
};

// Before its first read a row shows the map's default, in the one
// hexadecimal form the window uses; a row the map left unusable has no
// value to show.
QString unreadText(const RegisterInfo &info)
{
    if (!info.addressValid || isWriteOnly(info.permission))
        return QStringLiteral("—");
    return RegisterValue(info.format).patternText(rowRaw(info));
}

} // namespace

RegisterTableView::RegisterTableView(QTableWidget *table, const RegisterStore *store, LiveMonitor *monitor)
    : QObject(table)
    , table(table)
    , registers(store->rows())
    , monitor(monitor)
{
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->verticalHeader()->setHidden(true);
    // Room for the lamp and no more: eight rows fit beside a dock on a
    // laptop screen.
    table->verticalHeader()->setDefaultSectionSize(std::max(table->fontMetrics().height() + 4, 24));
    table->horizontalHeader()->setFixedHeight(30);
    // Captions in another language need other widths.
    followLanguage(table, [this] { adjustColumnWidths(); });
    table->horizontalHeader()->setStyleSheet(QStringLiteral(
        "QHeaderView::section{background-color:rgb(235,235,235);font:10pt '宋体';color: black;};"));
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this, &RegisterTableView::showMenu);
    // Enter or F2 on a value cell opens the editor as a double click does;
    // the table's own key presses are filtered, so only a focused table
    // reacts.
    table->installEventFilter(this);
    connect(store, &RegisterStore::rowsReplaced, this, &RegisterTableView::fill);
    connect(store, &RegisterStore::valueRead, this, [this](int row) { showReadValue(row); });
    connect(store, &RegisterStore::writeConfirmed, this, &RegisterTableView::showConfirmedValue);
    connect(store, &RegisterStore::readFailed, this, [this](int row) { setLamp(row, QStringLiteral("stale")); });
}

void RegisterTableView::fill()
{
    table->setRowCount(registers.size());
    for (int row = 0; row < registers.size(); ++row)
        setRow(registers.at(row), row);
    widestTypedValue = 0;
    for (const RegisterInfo &info : registers) {
        if (isPlainRow(info))
            continue;
        for (const QString &text : widestTexts(info.format))
            widestTypedValue = std::max(widestTypedValue, table->fontMetrics().horizontalAdvance(text));
    }
}

void RegisterTableView::setRow(const RegisterInfo &info, int row)
{
    table->setItem(row, 0, new QTableWidgetItem(info.addressText));
    table->setItem(row, 1, new ValueItem(registers, row));
    table->item(row, 1)->setText(unreadText(info));

    // The picture goes in before the label joins the table, so that the
    // table is told about the new cell widget once. Until a driver answers,
    // the value is the map's and not live; a row never read has no lamp.
    if (info.addressValid && !isWriteOnly(info.permission)) {
        auto *lamp = new QLabel;
        lamp->resize(20, 20);
        lamp->setPixmap(lampPicture(QStringLiteral("stale")));
        table->setCellWidget(row, 1, lamp);
    } else {
        table->removeCellWidget(row, 1);
    }

    table->setItem(row, 2, new QTableWidgetItem(info.rangeText));
    table->setItem(row, 3, new QTableWidgetItem(info.permission));
    table->setItem(row, 4, new QTableWidgetItem(info.name));
    table->setItem(row, 5, new QTableWidgetItem(info.remarks));
    for (int column = 0; column < 4; ++column)
        table->item(row, column)->setTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

void RegisterTableView::setLamp(int row, const QString &colour)
{
    if (auto *lamp = qobject_cast<QLabel *>(table->cellWidget(row, 1)))
        lamp->setPixmap(lampPicture(colour));
}

// No value shown stays live once its driver is out of reach.
// A command written before was written to another driver or line.
void RegisterTableView::markValuesStale()
{
    for (int row = 0; row < registers.size(); ++row) {
        setLamp(row, QStringLiteral("stale"));
        if (isWriteOnly(registers.at(row).permission))
            table->item(row, 1)->setText(unreadText(registers.at(row)));
    }
}

void RegisterTableView::showReadValue(int row)
{
    if (isWriteOnly(registers.at(row).permission))
        return;
    QTableWidgetItem *cell = table->item(row, 1);
    const QString &text = registers.at(row).valueText;
    const bool unchanged = cell->text().trimmed() == text;
    setLamp(row, unchanged ? QStringLiteral("white") : QStringLiteral("green"));
    cell->setText(text);
}

// A command register holds nothing to read back: what the tool wrote, and
// when, is all the row can tell.
void RegisterTableView::showConfirmedValue(int row)
{
    const RegisterInfo &info = registers.at(row);
    if (isWriteOnly(info.permission)) {
        table->item(row, 1)->setText(
            tr("已写入 %1（%2）").arg(info.valueText, QTime::currentTime().toString(QStringLiteral("HH:mm"))));
        return;
    }
    table->item(row, 1)->setText(info.valueText);
    setLamp(row, QStringLiteral("green"));
}

// Shares the table width out in fortieths; the last column takes the
// remainder, so the six widths always add up to the usable width. The short
// columns never go below what their header and visible cells need, which
// differs by language and font.
void RegisterTableView::adjustColumnWidths()
{
    // QTableView hides the measure of the visible cells that its base offers.
    const QAbstractItemView *cells = table;
    const int width = table->width() - 20;
    const int unit = width / 40;
    const int headerSpare = 2 * table->fontMetrics().averageCharWidth();
    const int shares[] = {3, 6, 3, 3, 8};
    int used = 0;
    for (int column = 0; column < 5; ++column) {
        int columnWidth = shares[column] * unit;
        // The header's style sheet draws its captions in a font of its own,
        // which its size hint does not know: a little room to spare.
        if (column < 4)
            columnWidth = std::max({columnWidth, table->horizontalHeader()->sectionSizeHint(column) + headerSpare,
                                    cells->sizeHintForColumn(column)});
        // The lamp sits left of the centred value: room for it on both sides.
        if (column == 1 && widestTypedValue > 0)
            columnWidth = std::max(columnWidth, widestTypedValue + 2 * lampRoom);
        table->setColumnWidth(column, columnWidth);
        used += columnWidth;
    }
    table->setColumnWidth(5, std::max(width - used, shares[4] * unit / 2));
}

void RegisterTableView::activate(int row, int column)
{
    if (column != 1)
        return;
    const RegisterInfo &info = registers.at(row);
    if (!info.addressValid) {
        emit refused(QStringLiteral("\n%1\n").arg(unusableReason(info)));
        return;
    }
    if (!Serial::instance()->isOpen()) {
        emit refused(tr("\n串口未打开 !\n"));
        return;
    }
    const QString permission = table->item(row, 3)->text();
    if (permission.contains(QLatin1Char('w')) || permission.contains(QLatin1Char('W')))
        emit editRequested(row);
    else
        emit refused(tr("\n此寄存器无写入权限 !\n"));
}

bool RegisterTableView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != table || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_F2)
        return false;
    // From any column: the row is what the user picked, not the cell.
    if (table->currentRow() >= 0)
        activate(table->currentRow(), 1);
    return true;
}

// The rows picked in the table join or leave the trend plot.
void RegisterTableView::showMenu(const QPoint &position)
{
    QList<int> rows;
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty())
        return;
    QMenu menu(table);
    const bool allWatched = std::all_of(rows.begin(), rows.end(), [this](int row) { return monitor->isWatched(row); });
    QAction *toggle = menu.addAction(allWatched ? tr("移出曲线") : tr("加入曲线"));
    connect(toggle, &QAction::triggered, this, [this, rows] { monitor->toggleRows(rows, registers); });
    menu.exec(table->viewport()->mapToGlobal(position));
}

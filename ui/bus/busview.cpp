#include "ui/bus/busview.h"

#include "registermap/registerstore.h"
#include "scan/buswatch.h"
#include "ui/bus/buspanel.h"
#include "ui/dockplacement.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>

BusView::BusView(const Parts &parts)
    : QObject(parts.window)
    , parts(parts)
    , watch(new BusWatch(parts.scheduler, this))
    , busPanel(new BusPanel(watch, parts.window))
{
    parts.window->addDockWidget(Qt::BottomDockWidgetArea, busPanel);
    busPanel->hide();
    watch->setMap(parts.store->rows());
    connect(parts.store, &RegisterStore::rowsReplaced, watch, [this] { watch->setMap(this->parts.store->rows()); });
    offerInMenu(parts.window, busPanel, parts.viewMenu);
    usePort(parts.port->currentText());
    connect(parts.port, &QComboBox::currentTextChanged, this, &BusView::usePort);
    busPanel->showCurrent(int(parts.store->slaveAddress()));
    connect(parts.address, &QLineEdit::textChanged, busPanel,
            [this](const QString &text) { busPanel->showCurrent(text.toInt()); });
    connect(busPanel, &BusPanel::driverChosen, parts.address,
            [this](int address) { this->parts.address->setText(QString::number(address)); });
    watch->start();
}

BusDriver BusView::knownDriver(int address) const
{
    return watch->driver(address);
}

void BusView::addDrivers(const QList<int> &addresses)
{
    busPanel->addDrivers(addresses);
    showUnderTable(parts.window, busPanel);
}

// One driver needs no panel: it stays out of the table's way.
void BusView::usePort(const QString &port)
{
    busPanel->usePort(port);
    if (watch->drivers().isEmpty())
        busPanel->hide();
    else
        showUnderTable(parts.window, busPanel);
}

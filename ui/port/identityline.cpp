#include "ui/port/identityline.h"
#include "ui/language/followlanguage.h"

#include "registermap/registerstore.h"

IdentityLine::IdentityLine(const RegisterStore *store, QWidget *parent)
    : QLabel(parent)
    , store(store)
{
    setObjectName(QStringLiteral("label_identity"));
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // It shares a row with buttons: a long identity ends in "…", so that a cut
    // serial number is not read as another; the tooltip has it whole.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    followLanguage(this, [this] { showIdentity(); });
    connect(store, &RegisterStore::rowsReplaced, this, &IdentityLine::takeMap);
    connect(store, &RegisterStore::valueRead, this, &IdentityLine::takeValue);
    takeMap();
}

void IdentityLine::forget()
{
    identity = DriverIdentity();
    wholeText.clear();
    clear();
    hide();
}

void IdentityLine::takeMap()
{
    identityAddresses = driverProfile(store->rows()).identity;
    forget();
}

void IdentityLine::takeValue(int row, qint64 raw)
{
    const RegisterInfo &info = store->rows().at(row);
    if (!info.addressValid || !identityAddresses.contains(info.address))
        return;
    identity.values.insert(info.address, raw);
    showIdentity();
    show();
}

void IdentityLine::showIdentity()
{
    wholeText = identityText(identity, store->rows());
    setToolTip(wholeText + QLatin1Char('\n') + tr("已连接驱动器的型号、固件与序列号（从驱动器读取）"));
    showElided();
}

void IdentityLine::showElided()
{
    setText(fontMetrics().elidedText(wholeText, Qt::ElideRight, width()));
}

void IdentityLine::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    showElided();
}

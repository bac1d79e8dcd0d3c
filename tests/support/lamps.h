#ifndef LAMPS_H
#define LAMPS_H

#include <QLabel>
#include <QPixmap>
#include <QTableWidget>

// Which of the lamp pictures a table row shows: "white", "red", "green",
// "stale", or an empty text when it shows none of them. Pixmaps loaded
// from the same resource path share their cache key.
inline QString lampColour(const QTableWidget *table, int row)
{
    const auto *lamp = qobject_cast<const QLabel *>(table->cellWidget(row, 1));
    if (!lamp)
        return QString();
    const qint64 shown = lamp->pixmap(Qt::ReturnByValue).cacheKey();
    for (const char *colour : {"white", "red", "green", "stale"}) {
        const QPixmap picture(QStringLiteral(":/new/prefix1/picture/%1.png").arg(QLatin1String(colour)));
        if (!picture.isNull() && picture.cacheKey() == shown)
            return QLatin1String(colour);
    }
    return QString();
}

#endif // LAMPS_H

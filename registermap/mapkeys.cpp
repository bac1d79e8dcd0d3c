#include "registermap/mapkeys.h"

#include <QVector>

#include <algorithm>

namespace {

// Edits (insert, delete, replace, swap two neighbours) from one text to
// the other: "sacle" is one swap from "scale".
int editDistance(const QString &a, const QString &b)
{
    const int rows = a.size() + 1;
    const int columns = b.size() + 1;
    QVector<int> d(rows * columns);
    for (int i = 0; i < rows; ++i)
        d[i * columns] = i;
    for (int j = 0; j < columns; ++j)
        d[j] = j;
    for (int i = 1; i < rows; ++i) {
        for (int j = 1; j < columns; ++j) {
            const int cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
            int best = std::min({d[(i - 1) * columns + j] + 1, d[i * columns + j - 1] + 1,
                                 d[(i - 1) * columns + j - 1] + cost});
            if (i > 1 && j > 1 && a.at(i - 1) == b.at(j - 2) && a.at(i - 2) == b.at(j - 1))
                best = std::min(best, d[(i - 2) * columns + j - 2] + 1);
            d[i * columns + j] = best;
        }
    }
    return d.last();
}

} // namespace

const QStringList &settingsKeys()
{
    static const QStringList keys = {QStringLiteral("slaveAddress"), QStringLiteral("txTime"),
                                     QStringLiteral("rxOutTime"),    QStringLiteral("blockRead"),
                                     QStringLiteral("wordOrder"),    QStringLiteral("writeFunction")};
    return keys;
}

const QStringList &registerKeys()
{
    static const QStringList keys = {
        QStringLiteral("indexes"), QStringLiteral("permission"), QStringLiteral("defaultValue"),
        QStringLiteral("rangeValue"), QStringLiteral("name"), QStringLiteral("remarks"),
        QStringLiteral("type"), QStringLiteral("wordOrder"), QStringLiteral("scale"),
        QStringLiteral("unit"), QStringLiteral("enum"), QStringLiteral("bits"), QStringLiteral("role"),
        QStringLiteral("alarmBit"), QStringLiteral("command"), QStringLiteral("confirm"), QStringLiteral("danger"),
        QStringLiteral("save")};
    return keys;
}

QString likelyKey(const QString &key, const QStringList &known)
{
    const QString lower = key.toLower();
    // Short keys are close to too much: one edit for them, two for longer.
    int allowed = lower.size() >= 5 ? 2 : 1;
    QString best;
    for (const QString &candidate : known) {
        const int distance = editDistance(lower, candidate.toLower());
        if (distance <= allowed) {
            allowed = distance - 1;
            best = candidate;
        }
    }
    return best;
}

QString unknownKeyProblem(const QString &key, const QStringList &known)
{
    const QString likely = likelyKey(key, known);
    if (!likely.isEmpty())
        return QStringLiteral("unknown key '%1' (did you mean '%2'?)").arg(key, likely);
    return QStringLiteral("unknown key '%1' (known keys: %2)").arg(key, known.join(QStringLiteral(", ")));
}

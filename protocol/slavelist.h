#ifndef SLAVELIST_H
#define SLAVELIST_H

#include <QList>
#include <QString>

// Slave addresses as a technician types them: "3", "1,2,5", "1-6" or
// "1-4,7", each 1..247. Given order, without repeats. Empty text is no list.
// Returns why the text is refused, or an empty string.
QString parseSlaveList(const QString &text, QList<int> *addresses);

// The list as parseSlaveList reads it back, ranges folded: "1-4,7".
QString slaveListText(const QList<int> &addresses);

#endif // SLAVELIST_H

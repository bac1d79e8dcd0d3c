#ifndef PROBLEMLIST_H
#define PROBLEMLIST_H

#include <QString>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// A warning window that lists problems and stays until the user dismisses
// it; it does not block the window behind it. Long lists show their start,
// and every problem under the details.
void showProblemList(QWidget *parent, const QString &summary, const QStringList &problems);

#endif // PROBLEMLIST_H

#ifndef TOAST_H
#define TOAST_H

#include <QString>

class QObject;
class QWidget;

// A dark rounded notice that shows at once, fades out over 2.5 s and
// removes itself; it blocks nothing and needs no click. Without a parent it
// is a window of its own; the fade belongs to `owner`.
void showToast(QWidget *parent, const QString &text, const QString &fontSize, const QString &textColor,
               const QString &backgroundColor, QObject *owner);

#endif // TOAST_H

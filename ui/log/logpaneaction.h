#ifndef LOGPANEACTION_H
#define LOGPANEACTION_H

class QAction;
class QLayout;
class QObject;

// The View menu's tick for the log column (the log and the send box).
// Unticked, the column's widgets hide and the table takes the width; the
// log goes on collecting lines, and what is read stays as it was.
QAction *logPaneAction(QLayout *column, QObject *parent);

#endif // LOGPANEACTION_H

#ifndef SAVEBEFORELEAVE_H
#define SAVEBEFORELEAVE_H

#include <QList>
#include <QObject>

#include <functional>

#include "paramsets/commandrun.h"

class DriverCommands;
class QWidget;

// Before the port or the window closes: when the map names a save command
// and values written on this connection have not been saved by it, asks
// whether to save them to the drivers' memory first. Yes sends the save to
// each driver written, one after the other, and leaves only once each has
// confirmed it; No leaves; Cancel (the default) stays.
class SaveBeforeLeave : public QObject
{
    Q_OBJECT

public:
    SaveBeforeLeave(DriverCommands *commands, QWidget *window);

    // True when leaving may go ahead now. Otherwise `leave` runs later, once
    // the saves it asked for are confirmed, or never.
    bool allowsLeaving(std::function<void()> leave);
    // Whether allowsLeaving() would ask now.
    bool wouldAsk() const;

signals:
    void notice(const QString &text);

private:
    // The button chosen: Yes, No or Cancel.
    int askToSave(const DriverCommand &save);
    void saveNext();
    void onFinished(const DriverCommand &command, CommandResult result, const QString &reason);

    DriverCommands *commands;
    QWidget *window;
    std::function<void()> pendingLeave;
    QList<quint8> toSave;
};

#endif // SAVEBEFORELEAVE_H

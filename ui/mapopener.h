#ifndef MAPOPENER_H
#define MAPOPENER_H

#include <QObject>
#include <QString>

class PortPanel;
class PortSession;
class QDragEnterEvent;
class QDropEvent;
class QWidget;
class RegisterStore;
class RequestScheduler;
class TrafficLogView;
struct RegisterMap;

// Reads register maps into the store: from the open dialog, a dropped file
// or a path. The line takes its timing and address from the map, the window
// title names it, and what is wrong with a file is told once in a notice
// and a line each in the log.
class MapOpener : public QObject
{
    Q_OBJECT

public:
    // `title` is the window's title without a map.
    MapOpener(RegisterStore *store, QWidget *window, const QString &title);
    void setLine(PortSession *session, PortPanel *panel, RequestScheduler *scheduler, TrafficLogView *log);

    // Replaces the map, closing the port first; a file that cannot be read
    // leaves the current map in place and returns false.
    bool load(const QString &fileName);
    // Appends the file's rows to the store, telling what is wrong with it.
    void read(const QString &fileName);
    void useSettings(const QString &fileName);
    // Another wording of the title without a map, as when the language changes.
    void setTitle(const QString &title);
    void askForFile();
    // A local file dragged onto the window is a map to open.
    void dragEnter(QDragEnterEvent *event);
    // The map file dropped, the drop taken; empty when none.
    QString takeDrop(QDropEvent *event);

signals:
    void refused(const QString &text);

private:
    void showTitle(const QString &fileName);
    void reportProblems(const QString &fileName, const RegisterMap &map);

    RegisterStore *store;
    QWidget *window;
    QString title;
    PortSession *session = nullptr;
    PortPanel *panel = nullptr;
    RequestScheduler *scheduler = nullptr;
    TrafficLogView *log = nullptr;
};

#endif // MAPOPENER_H

#ifndef LOGFOLLOWER_H
#define LOGFOLLOWER_H

#include <QObject>

class QScrollBar;

// Keeps a log scrolled to its newest line while the user leaves it at the
// bottom, whatever changes the range: new lines, a lazy layout, a view
// made smaller by a dock. Scrolling up stops it; scrolling back to the
// bottom starts it again.
class LogFollower : public QObject
{
    Q_OBJECT

public:
    explicit LogFollower(QScrollBar *scrollBar);

private:
    QScrollBar *scrollBar;
    bool following = true;
};

#endif // LOGFOLLOWER_H

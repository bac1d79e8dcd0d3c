#include "logfollower.h"

#include <QScrollBar>

LogFollower::LogFollower(QScrollBar *scrollBar)
    : QObject(scrollBar)
    , scrollBar(scrollBar)
{
    connect(scrollBar, &QScrollBar::rangeChanged, this, [this](int, int maximum) {
        if (following)
            this->scrollBar->setValue(maximum);
    });
    connect(scrollBar, &QScrollBar::valueChanged, this,
            [this](int value) { following = value >= this->scrollBar->maximum(); });
}

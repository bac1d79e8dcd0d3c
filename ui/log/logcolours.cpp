#include "ui/log/logcolours.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {

// Above the 3:1 that large or bold text needs, with room for rounding and
// for screens that show less contrast than the numbers promise.
constexpr double targetContrast = 3.5;

double linearChannel(double srgb)
{
    return srgb <= 0.04045 ? srgb / 12.92 : std::pow((srgb + 0.055) / 1.055, 2.4);
}

// WCAG relative luminance.
double luminance(const QColor &colour)
{
    return 0.2126 * linearChannel(colour.redF()) + 0.7152 * linearChannel(colour.greenF())
        + 0.0722 * linearChannel(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Mixing with black or white keeps the hue, as every channel moves the same
// share of its way; a light red darkens to a rose that still differs from the
// pure red of a failed send.
QColor mix(const QColor &colour, const QColor &towards, double share)
{
    auto channel = [share](double from, double to) { return from + (to - from) * share; };
    return QColor::fromRgbF(channel(colour.redF(), towards.redF()), channel(colour.greenF(), towards.greenF()),
                            channel(colour.blueF(), towards.blueF()));
}

QColor eightBit(const QColor &colour)
{
    return QColor(colour.red(), colour.green(), colour.blue());
}

// The least share of the extreme (black or white) in the mix that makes the
// colour readable: contrast grows steadily with the share, so halving the
// interval finds it well within one step of an 8-bit channel.
double leastReadableShare(const QColor &background, const QColor &colour, const QColor &extreme)
{
    double low = 0.0;
    double high = 1.0;
    for (int step = 0; step < 20; ++step) {
        const double middle = (low + high) / 2;
        if (contrast(mix(colour, extreme, middle), background) >= targetContrast)
            high = middle;
        else
            low = middle;
    }
    return high;
}

// The colour itself when it is readable on the background; otherwise the
// least mix with black (light background) or white (dark one) that is.
QColor readableOn(const QColor &background, const QColor &colour)
{
    if (contrast(colour, background) >= targetContrast)
        return colour;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    const QColor extreme = contrast(black, background) >= contrast(white, background) ? black : white;
    // Whole 8-bit channels, as the log stores them; rounding can land just
    // below the target, so step further out until it does not.
    QColor result;
    for (double share = leastReadableShare(background, colour, extreme);; share = std::min(1.0, share + 1.0 / 255)) {
        result = eightBit(mix(colour, extreme, share));
        if (share >= 1.0 || contrast(result, background) >= targetContrast)
            return result;
    }
}

QColor usualColour(LogColour role, const QPalette &palette)
{
    switch (role) {
    case LogColour::SendFailed: return QColor(255, 0, 0);
    case LogColour::Received: return QColor(200, 200, 200);
    case LogColour::Error: return QColor(255, 180, 180);
    case LogColour::Normal: break;
    }
    return palette.color(QPalette::Text);
}

} // namespace

QColor logColour(LogColour role, const QPalette &palette)
{
    return readableOn(palette.color(QPalette::Base), usualColour(role, palette));
}

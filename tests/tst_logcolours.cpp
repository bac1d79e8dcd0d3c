#include <QtTest>

#include <QPalette>

#include <cmath>

#include "ui/log/logcolours.h"

// The log's colours against the WCAG contrast ratio, computed here from
// relative luminance, on the default light palette and on a dark one.
class TestLogColours : public QObject
{
    Q_OBJECT

private slots:
    void readableWithTheirHueOnLightAndDark_data();
    void readableWithTheirHueOnLightAndDark();
};

namespace {

double wcagLuminance(const QColor &colour)
{
    auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.red()) + 0.7152 * linear(colour.green()) + 0.0722 * linear(colour.blue());
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = wcagLuminance(a);
    const double lb = wcagLuminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// -1 for a grey, as QColor has it.
int hueDegrees(const QColor &colour)
{
    return colour.toHsl().hslHue();
}

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    return palette;
}

} // namespace

void TestLogColours::readableWithTheirHueOnLightAndDark_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::newRow("default light") << QPalette();
    QTest::newRow("dark") << darkPalette();
}

void TestLogColours::readableWithTheirHueOnLightAndDark()
{
    QFETCH(QPalette, palette);
    const QColor base = palette.color(QPalette::Base);
    // Sanity of the test itself: the default palette really is a light one.
    QVERIFY(QTest::currentDataTag() != QByteArray("default light") || wcagLuminance(base) > 0.5);

    const QColor normal = logColour(LogColour::Normal, palette);
    const QColor failed = logColour(LogColour::SendFailed, palette);
    const QColor received = logColour(LogColour::Received, palette);
    const QColor error = logColour(LogColour::Error, palette);
    QCOMPARE(normal, palette.color(QPalette::Text));

    const QList<QColor> all{normal, failed, received, error};
    for (const QColor &colour : all) {
        const double ratio = contrastRatio(colour, base);
        qInfo("%s on %s: %.2f:1", qPrintable(colour.name()), qPrintable(base.name()), ratio);
        QVERIFY2(ratio >= 3.0, qPrintable(colour.name() + QStringLiteral(" is unreadable")));
        QCOMPARE(colour.alpha(), 255);
    }
    // Each kind of line stays told apart from the others.
    QCOMPARE(QSet<QRgb>({normal.rgb(), failed.rgb(), received.rgb(), error.rgb()}).size(), 4);

    QCOMPARE(hueDegrees(received), -1);
    QVERIFY2(qAbs(hueDegrees(failed)) <= 3 || hueDegrees(failed) >= 357, qPrintable(failed.name()));
    QVERIFY2(qAbs(hueDegrees(error)) <= 3 || hueDegrees(error) >= 357, qPrintable(error.name()));
}

QTEST_MAIN(TestLogColours)
#include "tst_logcolours.moc"

// Draws the PNG icons that the application compiles in as resources, and
// the desktop icon in the hicolor theme's sizes (OUTPUT_DIR/hicolor/).
// Usage: drawpictures OUTPUT_DIR
//
// The icons are generated rather than hand-drawn so they stay reproducible
// and share one palette with the application.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

const QColor kBlue(18, 150, 219);
const QColor kDarkGrey(44, 44, 44);
const QColor kGrey(138, 138, 138);
const QColor kDiscGrey(81, 81, 81);
const QColor kRed(216, 30, 6);
const QColor kBlack(0, 0, 0);
const QColor kAmber(235, 150, 0);

constexpr double kPi = 3.14159265358979323846;

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void prepare(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
}

QPen roundPen(const QColor &color, double width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Point on a circle, angle in degrees, counter-clockwise on screen like Qt's arcs.
QPointF pointOnCircle(const QPointF &center, double radius, double degrees)
{
    const double rad = degrees * kPi / 180.0;
    return center + QPointF(radius * std::cos(rad), -radius * std::sin(rad));
}

// Punches a transparent hole so overlapping shapes stay visually separated.
void clearPath(QPainter &p, const QPainterPath &path)
{
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.fillPath(path, Qt::black);
    p.restore();
}

void clearDisc(QPainter &p, const QPointF &center, double radius)
{
    QPainterPath path;
    path.addEllipse(center, radius, radius);
    clearPath(p, path);
}

// One curved arrow along a circle. The head follows the circle so the tip
// lies on it instead of sticking out along the tangent.
void drawArcArrow(QPainter &p, const QPointF &center, double radius,
                  double startDeg, double spanDeg, double penWidth, const QColor &color)
{
    const double headLength = penWidth * 1.9;
    const double headHalfWidth = penWidth * 1.3;
    const double direction = spanDeg < 0 ? -1.0 : 1.0;
    const double headDeg = headLength / radius * 180.0 / kPi;
    const double baseDeg = startDeg + spanDeg - direction * headDeg;

    QPainterPath shaft;
    const QRectF box(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    shaft.arcMoveTo(box, startDeg);
    shaft.arcTo(box, startDeg, baseDeg - startDeg);
    p.strokePath(shaft, roundPen(color, penWidth));

    QPolygonF head;
    head << pointOnCircle(center, radius - headHalfWidth, baseDeg)
         << pointOnCircle(center, radius + headHalfWidth, baseDeg)
         << pointOnCircle(center, radius, startDeg + spanDeg);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(head);
}

// Two clockwise arrows chasing each other: the usual "refresh" sign.
void drawRefreshArrows(QPainter &p, const QPointF &center, double radius,
                       double penWidth, const QColor &color)
{
    drawArcArrow(p, center, radius, 165.0, -140.0, penWidth, color);
    drawArcArrow(p, center, radius, 345.0, -140.0, penWidth, color);
}

void drawDisc(QImage &image, const QColor &color)
{
    QPainter p(&image);
    prepare(p);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QRectF(0.5, 0.5, image.width() - 1.0, image.height() - 1.0));
}

void drawFindPort(QImage &image, const QColor &color)
{
    QPainter p(&image);
    prepare(p);
    drawRefreshArrows(p, QPointF(64, 64), 42, 14, color);
}

QPainterPath documentOutline(const QRectF &page, double fold)
{
    QPainterPath path;
    path.moveTo(page.topLeft());
    path.lineTo(page.right() - fold, page.top());
    path.lineTo(page.right(), page.top() + fold);
    path.lineTo(page.bottomRight());
    path.lineTo(page.bottomLeft());
    path.closeSubpath();
    return path;
}

void drawDocumentPage(QPainter &p, const QRectF &page, double fold,
                      double penWidth, const QColor &color)
{
    const QPen pen = roundPen(color, penWidth);
    p.strokePath(documentOutline(page, fold), pen);

    QPainterPath corner;
    corner.moveTo(page.right() - fold, page.top());
    corner.lineTo(page.right() - fold, page.top() + fold);
    corner.lineTo(page.right(), page.top() + fold);
    p.strokePath(corner, pen);

    // Line ends stop short of the corner that the refresh arrows take over.
    const double left = page.left() + 14;
    const std::vector<std::pair<double, double>> lines{
        {page.top() + 32, page.right() - 14},
        {page.top() + 50, page.right() - 28},
        {page.top() + 68, page.right() - 44},
        {page.top() + 86, page.right() - 44},
    };
    QPainterPath text;
    for (const auto &[y, right] : lines) {
        text.moveTo(left, y);
        text.lineTo(right, y);
    }
    p.strokePath(text, pen);
}

void drawDataRefresh(QImage &image, const QColor &color)
{
    QPainter p(&image);
    prepare(p);
    drawDocumentPage(p, QRectF(14, 6, 76, 108), 22, 7, color);

    const QPointF arrowsCenter(90, 88);
    clearDisc(p, arrowsCenter, 40);
    drawRefreshArrows(p, arrowsCenter, 25, 9, color);
}

void drawMonitor(QPainter &p, const QColor &color)
{
    const QRectF screen(10, 32, 128, 94);
    p.setBrush(Qt::NoBrush);
    p.setPen(roundPen(color, 10));
    p.drawRoundedRect(screen, 8, 8);

    // A step-pulse train on the screen hints at what the tool talks to.
    QPainterPath pulses;
    pulses.moveTo(28, 92);
    double x = 28;
    for (int i = 0; i < 4; ++i) {
        pulses.lineTo(x, 62);
        pulses.lineTo(x + 12, 62);
        pulses.lineTo(x + 12, 92);
        pulses.lineTo(x + 24, 92);
        x += 24;
    }
    p.strokePath(pulses, roundPen(color, 6));

    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRect(QRectF(64, 130, 20, 22));
    p.drawRoundedRect(QRectF(40, 150, 68, 12), 5, 5);
}

void drawMotor(QPainter &p, const QColor &color)
{
    const QRectF body(144, 110, 50, 50);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(body, 6, 6);

    const QPointF c = body.center();
    clearDisc(p, c, 13);
    const double inset = 8;
    for (const QPointF &hole : {body.topLeft() + QPointF(inset, inset),
                                body.topRight() + QPointF(-inset, inset),
                                body.bottomLeft() + QPointF(inset, -inset),
                                body.bottomRight() + QPointF(-inset, -inset)}) {
        clearDisc(p, hole, 3.5);
    }
    p.setBrush(color);
    p.drawEllipse(c, 6, 6);
}

void drawCable(QPainter &p, const QColor &color)
{
    QPainterPath cable;
    cable.moveTo(169, 110);
    cable.cubicTo(169, 70, 160, 60, 143, 60);
    p.strokePath(cable, roundPen(color, 6));
}

// Drawn on a 200-unit square and scaled to the image, so the desktop icon
// sizes come out sharp rather than resampled.
void drawMainLogo(QImage &image, const QColor &color)
{
    QPainter p(&image);
    prepare(p);
    p.scale(image.width() / 200.0, image.height() / 200.0);
    p.translate(0, 6); // centre the drawing vertically
    drawMonitor(p, color);
    drawCable(p, color);
    drawMotor(p, color);
}

// The pencil is built along the x axis from its tip at the origin, then
// rotated into place, which keeps the geometry readable.
QPainterPath pencilShape(double length, double width, double tipLength)
{
    const double h = width / 2;
    QPainterPath path;
    path.moveTo(0, 0);
    path.lineTo(tipLength, -h);
    path.lineTo(length - 6, -h);
    path.quadTo(length, -h, length, -h + 6);
    path.lineTo(length, h - 6);
    path.quadTo(length, h, length - 6, h);
    path.lineTo(tipLength, h);
    path.closeSubpath();
    return path;
}

void drawPencil(QPainter &p, const QTransform &placement, const QColor &color)
{
    const double length = 136, width = 28, tip = 30;
    const QPainterPath shape = placement.map(pencilShape(length, width, tip));

    QPainterPathStroker margin;
    margin.setWidth(20);
    margin.setJoinStyle(Qt::RoundJoin);
    clearPath(p, margin.createStroke(shape).united(shape));
    p.fillPath(shape, color);

    // Gaps mark where the wood meets the body and where the eraser cap sits.
    QPainterPath seams;
    seams.moveTo(tip, -width / 2);
    seams.lineTo(tip, width / 2);
    seams.moveTo(length - 26, -width / 2);
    seams.lineTo(length - 26, width / 2);
    QPainterPathStroker seamStroke;
    seamStroke.setWidth(6);
    clearPath(p, placement.map(seamStroke.createStroke(seams)));
}

void drawWrite(QImage &image, const QColor &color)
{
    QPainter p(&image);
    prepare(p);
    p.setPen(roundPen(color, 12));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(16, 40, 136, 136), 10, 10);

    QTransform placement;
    placement.translate(78, 118);
    placement.rotate(-45);
    drawPencil(p, placement, color);
}

// QPainter works premultiplied internally, so antialiased edge pixels come
// back with slightly shifted RGB. Every icon uses a single colour, so keep
// the coverage (alpha) and restore the exact colour everywhere.
void setUniformColour(QImage &image, const QColor &color)
{
    const QRgb rgb = color.rgb();
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(line[x]);
            line[x] = alpha == 0 ? 0u : qRgba(qRed(rgb), qGreen(rgb), qBlue(rgb), alpha);
        }
    }
}

struct Picture {
    const char *fileName;
    int width;
    int height;
    QColor color;
    void (*draw)(QImage &, const QColor &);
};

const std::vector<Picture> &allPictures()
{
    static const std::vector<Picture> pictures{
        {"mainlog.png", 200, 200, kBlue, drawMainLogo},
        {"findport.png", 128, 128, kDarkGrey, drawFindPort},
        {"findport2.png", 128, 128, kGrey, drawFindPort},
        {"dataRefresh.png", 128, 128, kBlack, drawDataRefresh},
        {"dataRefresh2.png", 128, 128, kGrey, drawDataRefresh},
        // The "green" state lamp is blue in the application's palette.
        {"green.png", 20, 20, kBlue, drawDisc},
        {"white.png", 20, 20, kDiscGrey, drawDisc},
        {"red.png", 20, 20, kRed, drawDisc},
        // A value that did not arrive: the last read timed out or was refused.
        {"stale.png", 20, 20, kAmber, drawDisc},
        {"write.png", 200, 200, kBlack, drawWrite},
    };
    return pictures;
}

bool renderPicture(const Picture &picture, const QDir &outDir, const QString &fileName)
{
    QImage image = transparentImage(picture.width, picture.height);
    picture.draw(image, picture.color);
    setUniformColour(image, picture.color);
    const QString path = outDir.filePath(fileName);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "drawpictures: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// The program's icon in the sizes of the desktop's hicolor theme, laid out
// as the theme's folders: hicolor/NxN/apps/steppertool.png.
bool renderDesktopIcons(const QDir &outDir)
{
    bool ok = true;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        if (!outDir.mkpath(folder)) {
            std::fprintf(stderr, "drawpictures: cannot create %s\n", qPrintable(outDir.filePath(folder)));
            ok = false;
            continue;
        }
        const Picture icon{"", size, size, kBlue, drawMainLogo};
        ok = renderPicture(icon, outDir, folder + QStringLiteral("/steppertool.png")) && ok;
    }
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argc > 0 ? argv[0] : "drawpictures");
        return 2;
    }

    const QString dirName = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dirName)) {
        std::fprintf(stderr, "drawpictures: cannot create directory %s\n", argv[1]);
        return 1;
    }

    const QDir outDir(dirName);
    bool ok = true;
    for (const Picture &picture : allPictures())
        ok = renderPicture(picture, outDir, QString::fromLatin1(picture.fileName)) && ok;
    ok = renderDesktopIcons(outDir) && ok;
    return ok ? 0 : 1;
}

#ifndef CAPTURE_H
#define CAPTURE_H

#include <QList>
#include <QMetaType>
#include <QPointF>
#include <QString>
#include <QVector>

// One captured row: its samples as (ms from the trigger, value in the row's
// shown units), each timed by when its read went onto the line.
struct CaptureCurve
{
    QString name;
    QString unit;
    QVector<QPointF> points;
};

// A frozen capture, time 0 at the trigger, as a run leaves it or a file
// brings it back.
struct Capture
{
    QList<CaptureCurve> curves;
    // The driver's identity as the window names it ("型号 Model 0x2304 · ...").
    QString identity;
    QString mapFile;
    QString trigger;
    double preMs = 0;
    double lengthMs = 0;

    // The curve of that row, or -1.
    int indexOf(const QString &name) const;
    bool isEmpty() const { return curves.isEmpty(); }
};

Q_DECLARE_METATYPE(Capture)

// A capture as CSV: comment lines with the identity, the map, the trigger
// and the window, a header "time [ms]" then one column per row with its
// unit in brackets, then a line per read with the values it brought
// (rows read in another request left empty there).
namespace CaptureFile {
// An empty string, or why the file could not be written.
QString save(const Capture &capture, const QString &path);
// An empty string, or why the file is refused.
QString load(const QString &path, Capture *capture);
}

#endif // CAPTURE_H

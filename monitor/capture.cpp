#include "monitor/capture.h"

#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <QTextStream>

#include <cmath>

namespace {

const QString timeColumn = QStringLiteral("time [ms]");
const QString firstLine = QStringLiteral("# steppertool capture");

QString columnTitle(const CaptureCurve &curve)
{
    return curve.unit.isEmpty() ? curve.name : QStringLiteral("%1 [%2]").arg(curve.name, curve.unit);
}

void takeColumnTitle(const QString &title, CaptureCurve *curve)
{
    const int open = title.lastIndexOf(QStringLiteral(" ["));
    if (open > 0 && title.endsWith(QLatin1Char(']'))) {
        curve->name = title.left(open);
        curve->unit = title.mid(open + 2, title.size() - open - 3);
    } else {
        curve->name = title;
    }
}

// The cells of each read, by its time: rows of one block share the line.
QMap<double, QVector<QString>> linesByTime(const Capture &capture)
{
    QMap<double, QVector<QString>> lines;
    for (int column = 0; column < capture.curves.size(); ++column) {
        for (const QPointF &point : capture.curves.at(column).points) {
            QVector<QString> &cells = lines[point.x()];
            cells.resize(capture.curves.size());
            cells[column] = QString::number(point.y(), 'g', 12);
        }
    }
    return lines;
}

void readComment(const QString &line, Capture *capture)
{
    const int colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return;
    const QString key = line.mid(1, colon - 1).trimmed();
    const QString value = line.mid(colon + 1).trimmed();
    if (key == QLatin1String("identity"))
        capture->identity = value;
    else if (key == QLatin1String("map"))
        capture->mapFile = value;
    else if (key == QLatin1String("trigger"))
        capture->trigger = value;
    else if (key == QLatin1String("pre [ms]"))
        capture->preMs = value.toDouble();
    else if (key == QLatin1String("length [ms]"))
        capture->lengthMs = value.toDouble();
}

QString readValues(const QStringList &cells, int lineNumber, Capture *capture)
{
    if (cells.size() != capture->curves.size() + 1)
        return QStringLiteral("line %1 has %2 cells, the header %3").arg(lineNumber).arg(cells.size())
            .arg(capture->curves.size() + 1);
    bool ok = false;
    const double time = cells.first().toDouble(&ok);
    if (!ok || !std::isfinite(time))
        return QStringLiteral("line %1: '%2' is not a time").arg(lineNumber).arg(cells.first());
    for (int column = 1; column < cells.size(); ++column) {
        if (cells.at(column).isEmpty())
            continue;
        const double value = cells.at(column).toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return QStringLiteral("line %1: '%2' is not a number").arg(lineNumber).arg(cells.at(column));
        capture->curves[column - 1].points.append(QPointF(time, value));
    }
    return QString();
}

} // namespace

int Capture::indexOf(const QString &name) const
{
    for (int i = 0; i < curves.size(); ++i) {
        if (curves.at(i).name == name)
            return i;
    }
    return -1;
}

QString CaptureFile::save(const Capture &capture, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return file.errorString();
    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << firstLine << '\n'
        << "# identity: " << capture.identity << '\n'
        << "# map: " << capture.mapFile << '\n'
        << "# trigger: " << capture.trigger << '\n'
        << "# pre [ms]: " << capture.preMs << '\n'
        << "# length [ms]: " << capture.lengthMs << '\n'
        << timeColumn;
    for (const CaptureCurve &curve : capture.curves)
        out << ',' << columnTitle(curve);
    out << '\n';
    const QMap<double, QVector<QString>> lines = linesByTime(capture);
    for (auto line = lines.begin(); line != lines.end(); ++line)
        out << QString::number(line.key(), 'f', 3) << ',' << QStringList(line.value().toList()).join(QLatin1Char(',')) << '\n';
    out.flush();
    if (!file.commit())
        return file.errorString();
    return QString();
}

QString CaptureFile::load(const QString &path, Capture *capture)
{
    *capture = Capture();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return file.errorString();
    QTextStream in(&file);
    in.setCodec("UTF-8");
    if (in.readLine() != firstLine)
        return QStringLiteral("it is not a capture of this tool");
    bool headerRead = false;
    for (int lineNumber = 2; !in.atEnd(); ++lineNumber) {
        const QString line = in.readLine();
        // A blank line, as an editor leaves at the end, holds nothing.
        if (line.trimmed().isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('#'))) {
            readComment(line, capture);
            continue;
        }
        const QStringList cells = line.split(QLatin1Char(','));
        if (headerRead) {
            const QString why = readValues(cells, lineNumber, capture);
            if (!why.isEmpty())
                return why;
            continue;
        }
        if (cells.first() != timeColumn || cells.size() < 2)
            return QStringLiteral("line %1 is not the header of a capture").arg(lineNumber);
        for (int column = 1; column < cells.size(); ++column) {
            capture->curves.append(CaptureCurve());
            takeColumnTitle(cells.at(column), &capture->curves.last());
        }
        headerRead = true;
    }
    return headerRead ? QString() : QStringLiteral("it has no header line");
}

#ifndef TRAFFICLOGVIEW_H
#define TRAFFICLOGVIEW_H

#include <QObject>

#include <functional>

class LogBuffer;
class QAbstractButton;
class QByteArray;
class QColor;
class QPoint;
class QTextBrowser;
enum class LogColour;

// The traffic log: its lines and their colours, following the newest line,
// the display switch, the context menu and the export to a file.
class TrafficLogView : public QObject
{
    Q_OBJECT

public:
    // `hexReceived` chooses hexadecimal or text for received blocks.
    TrafficLogView(QTextBrowser *browser, QAbstractButton *hexReceived);

    // Every log line goes in here, whatever the display switch says.
    void append(const QColor &colour, const QString &text);
    // A line in the colour of its kind, readable on the log's background.
    void append(LogColour role, const QString &text);
    // Only while the display is on.
    void showSent(const QString &data, bool isOk);
    void showReceived(const QByteArray &data);
    void showLineError(const QString &text);
    // The driver refused a function-16 write: shown even with the display
    // off, as nothing reached the register.
    void showRefusedMultipleWrite(quint16 address, quint8 exceptionCode);

    void showMenu(const QPoint &position);
    void exportToFile();
    // Text the export adds after the frames, when there is any (the alarm
    // history).
    void addExportSection(std::function<QString()> section) { exportSections.append(std::move(section)); }

    bool isDisplayOn() const { return displayOn; }
    LogBuffer &buffer() { return *lines; }

signals:
    // A file that could not be written, in the user's words.
    void refused(const QString &text);

private:
    QColor colour(LogColour role) const;
    QString receivedLine(const QByteArray &data) const;

    QTextBrowser *browser;
    QAbstractButton *hexReceived;
    LogBuffer *lines;
    bool displayOn = true;
    QList<std::function<QString()>> exportSections;

    friend struct MainWindowInspector;
};

#endif // TRAFFICLOGVIEW_H

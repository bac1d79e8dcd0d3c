#ifndef LOGBUFFER_H
#define LOGBUFFER_H

#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

class QTextBrowser;
class QTextCursor;

// The traffic log's lines, kept in the document of the view that shows them.
// Lines that arrive close together are written in one edit, so the view
// lays out and paints once for all of them; a lone line still shows at the
// next event-loop pass. The log holds at most a maximum number of lines
// (100,000 unless set): past that the oldest tenth goes, and the first time
// lines go, one line at the top says so. While the view is at the bottom it
// stays on the newest line.
class LogBuffer : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultMaximumLines = 100000;

    explicit LogBuffer(QTextBrowser *view);

    // The text as it is to be shown, timestamp included: it is not changed
    // later, only written to the view.
    void append(const QColor &colour, const QString &text);
    // Writes the lines waiting for the view now.
    void flush();
    void clear();

    // At least two: the notice of dropped lines and one line.
    void setMaximumLines(int lines);
    // Lines dropped since the log was last cleared.
    int droppedLines() const;
    // What the log holds, waiting lines included, one line per paragraph.
    QString plainText();

private:
    struct Line
    {
        QColor colour;
        QString text;
    };

    void scheduleFlush();
    void dropOldest();
    void showDropNotice(QTextCursor &cursor);
    bool showsDropNotice() const;

    QTextBrowser *view;
    QVector<Line> waiting;
    QTimer flushTimer;
    QElapsedTimer sinceFlush;
    int lineLimit = defaultMaximumLines;
    int dropped = 0;
};

#endif // LOGBUFFER_H

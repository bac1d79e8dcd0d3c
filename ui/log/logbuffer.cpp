#include "ui/log/logbuffer.h"

#include "ui/log/logcolours.h"
#include "ui/log/logfollower.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// Each write costs a layout and a paint of the view, whatever the number of
// lines; a scrolling log reads no better at more than 25 frames a second.
constexpr int flushIntervalMs = 40;

// Removing lines at the top makes the view lay out every line after them
// again, which at 100,000 lines takes a good part of a second: lines go a
// tenth of the maximum at a time, not one by one.
constexpr int dropShare = 10;

// Marks the notice's paragraph, so that a drop finds it without reading text.
constexpr int dropNoticeState = 1;

QTextCharFormat lineFormat(const QColor &colour)
{
    QTextCharFormat format;
    format.setForeground(colour);
    return format;
}

} // namespace

LogBuffer::LogBuffer(QTextBrowser *view)
    : QObject(view)
    , view(view)
{
    new LogFollower(view->verticalScrollBar());
    flushTimer.setSingleShot(true);
    connect(&flushTimer, &QTimer::timeout, this, &LogBuffer::flush);
    sinceFlush.start();
}

void LogBuffer::append(const QColor &colour, const QString &text)
{
    waiting.append({colour, text});
    // Without an event loop (a long run of calls) the waiting lines would
    // grow past any bound.
    if (waiting.size() >= lineLimit)
        flush();
    else
        scheduleFlush();
}

// A write follows the previous one no sooner than the interval, and at the
// next event-loop pass when that is long past.
void LogBuffer::scheduleFlush()
{
    if (flushTimer.isActive())
        return;
    flushTimer.start(int(std::max<qint64>(0, flushIntervalMs - sinceFlush.elapsed())));
}

// As plain text, so traffic that looks like markup is shown as it was, and
// through a cursor of its own at the end of the document, so the user's
// selection neither takes the colour nor gets recoloured. One edit block:
// one layout for all the lines.
void LogBuffer::flush()
{
    flushTimer.stop();
    sinceFlush.restart();
    if (waiting.isEmpty())
        return;
    QTextDocument *document = view->document();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (const Line &line : qAsConst(waiting)) {
        const QTextCharFormat format = lineFormat(line.colour);
        if (!document->isEmpty())
            cursor.insertBlock(QTextBlockFormat(), format);
        cursor.insertText(line.text, format);
    }
    cursor.endEditBlock();
    waiting.clear();
    if (document->blockCount() > lineLimit)
        dropOldest();
}

// A view the user has scrolled up keeps showing the same lines, unless they
// were among those dropped.
void LogBuffer::dropOldest()
{
    QTextDocument *document = view->document();
    QScrollBar *scrollBar = view->verticalScrollBar();
    const bool atBottom = scrollBar->value() >= scrollBar->maximum();
    const int firstLine = showsDropNotice() ? 1 : 0;
    const int keptLines = lineLimit - lineLimit / dropShare - 1; // the notice takes one
    const int dropping = document->blockCount() - firstLine - keptLines;
    const QTextBlock firstKept = document->findBlockByNumber(firstLine + dropping);
    const qreal keptTopBefore = document->documentLayout()->blockBoundingRect(firstKept).top();

    // One edit, so the view lays the log out once for the drop and the
    // notice.
    QTextCursor cursor(document->findBlockByNumber(firstLine));
    cursor.beginEditBlock();
    cursor.setPosition(firstKept.position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    if (firstLine == 0) {
        showDropNotice(cursor);
        dropped = 0;
    }
    cursor.endEditBlock();
    dropped += dropping;

    if (!atBottom) {
        const qreal keptTopAfter = document->documentLayout()->blockBoundingRect(document->findBlockByNumber(1)).top();
        scrollBar->setValue(scrollBar->value() - qRound(keptTopBefore - keptTopAfter));
    }
}

// The cursor stands at the start of the document.
void LogBuffer::showDropNotice(QTextCursor &cursor)
{
    QTextDocument *document = view->document();
    const QTextCharFormat format = lineFormat(logColour(LogColour::Normal, view->palette()));
    cursor.insertText(QStringLiteral("Older lines were dropped: the log keeps at most %1 lines.").arg(lineLimit),
                      format);
    cursor.insertBlock(QTextBlockFormat(), document->firstBlock().charFormat());
    document->firstBlock().setUserState(dropNoticeState);
    document->firstBlock().next().setUserState(-1);
}

bool LogBuffer::showsDropNotice() const
{
    return view->document()->firstBlock().userState() == dropNoticeState;
}

void LogBuffer::clear()
{
    flushTimer.stop();
    waiting.clear();
    view->clear();
    dropped = 0;
}

void LogBuffer::setMaximumLines(int lines)
{
    lineLimit = std::max(lines, 2);
}

// The view may have been emptied behind the buffer's back (QTextEdit::clear).
int LogBuffer::droppedLines() const
{
    return showsDropNotice() ? dropped : 0;
}

QString LogBuffer::plainText()
{
    flush();
    return view->toPlainText();
}

#ifndef LOGVIEW_H
#define LOGVIEW_H

#include <QColor>
#include <QPalette>

#include "ui/log/logbuffer.h"
#include "ui/log/logcolours.h"
#include <QStringList>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QWidget>

// The traffic log as the user sees it once the event loop has passed (lines
// still waiting for the view are written first): one entry per paragraph,
// with the colour its text was drawn in.
struct LogLine
{
    QString text;
    QColor colour;
};

inline QList<LogLine> logLines(const QWidget &window)
{
    QList<LogLine> lines;
    const auto *log = window.findChild<QTextBrowser *>(QStringLiteral("textBrowser_show"));
    if (auto *buffer = log->findChild<LogBuffer *>())
        buffer->flush();
    for (QTextBlock block = log->document()->begin(); block.isValid(); block = block.next()) {
        if (block.text().isEmpty() && !block.next().isValid() && block == log->document()->begin())
            break; // the empty document's one empty paragraph
        QColor colour = block.charFormat().foreground().color();
        const QTextBlock::iterator first = block.begin();
        if (!first.atEnd())
            colour = first.fragment().charFormat().foreground().color();
        lines.append({block.text(), colour});
    }
    return lines;
}

// The colour the log gives a kind of line on its own background.
inline QColor shownColour(const QWidget &window, LogColour role)
{
    return logColour(role, window.findChild<QTextBrowser *>(QStringLiteral("textBrowser_show"))->palette());
}

inline QStringList logTexts(const QWidget &window)
{
    QStringList texts;
    for (const LogLine &line : logLines(window))
        texts << line.text;
    return texts;
}

// The traffic lines carry "[hh:mm:ss::zzz] " in front; this drops it.
inline QString withoutTimestamp(const QString &line)
{
    return line.mid(16);
}

#endif // LOGVIEW_H

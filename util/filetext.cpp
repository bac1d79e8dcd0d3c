#include "util/filetext.h"

#include <QTextCodec>

QString utf8OrGb18030(const char *bytes, int size)
{
    static QTextCodec *const utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text = utf8->toUnicode(bytes, size, &state);
    if (state.invalidChars == 0 && state.remainingChars == 0)
        return text;
    static QTextCodec *const gb18030 = QTextCodec::codecForName("GB18030");
    return gb18030->toUnicode(bytes, size);
}

#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <QApplication>
#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "ui/mainwindow.h"
#include "support/workfolder.h"

// A broken property is a finding like a crash: libFuzzer saves the input.
#define FUZZ_CHECK(condition)                                                        \
    do {                                                                             \
        if (!(condition)) {                                                          \
            std::fprintf(stderr, "property broken: %s (%s:%d)\n", #condition,        \
                         __FILE__, __LINE__);                                        \
            std::abort();                                                            \
        }                                                                            \
    } while (0)

inline QByteArray fuzzBytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), int(size));
}

inline quint16 wordAt(const QByteArray &bytes, int index)
{
    return quint16(uchar(bytes.at(index)) << 8 | uchar(bytes.at(index + 1)));
}

// One headless application and one window for the whole run; the window
// reads `map` as its RegisterInfo at construction. Neither is ever deleted:
// the process ends with the fuzzer.
inline MainWindow *makeFuzzWindow(const QByteArray &map)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv);
    // The folder is current only while the window reads its map, so crash
    // files still land where the fuzzer was started.
    WorkFolder folder(map);
    return new MainWindow;
}

#endif // FUZZSUPPORT_H

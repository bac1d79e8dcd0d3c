// Draws the window pictures the README and the manual show, in Chinese and
// in English, from the current window: the sample map, its values read from
// the simulated driver. Beside them it writes docs/pictures.sha256, the
// sha256sum of every form and of the sample map they were drawn from, so
// that a test can tell when the window has changed since (file times cannot:
// a checkout resets them).
// Usage: drawwindow SOURCE_DIR SIMDRIVER   (scripts/drawpictures.sh runs it)

#include "app/translation.h"
#include "cli/startoptions.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Long enough for every row of the sample map to be read at its txTime.
constexpr int readingMs = 5000;

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The forms and the sample map, relative to the source folder, sorted.
QStringList windowSources(const QDir &source)
{
    QStringList paths{QStringLiteral("RegisterInfo")};
    QDirIterator forms(source.filePath(QStringLiteral("ui")), {QStringLiteral("*.ui")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (forms.hasNext())
        paths << source.relativeFilePath(forms.next());
    paths.sort();
    return paths;
}

// In sha256sum's own format, so `sha256sum --check` reads it.
bool writeRecord(const QDir &source)
{
    QByteArray record;
    for (const QString &path : windowSources(source)) {
        QFile file(source.filePath(path));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        record += QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex() + "  "
                  + path.toUtf8() + '\n';
    }
    QFile out(source.filePath(QStringLiteral("docs/pictures.sha256")));
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(record) == record.size();
}

bool save(QWidget &window, const QString &path)
{
    if (window.grab().save(path, "PNG"))
        return true;
    std::fprintf(stderr, "drawwindow: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE_DIR SIMDRIVER\n", argc > 0 ? argv[0] : "drawwindow");
        return 1;
    }
    // The pictures show a first start: no remembered port, size or language.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    QApplication app(argc, argv);
    const QDir source(QString::fromLocal8Bit(argv[1]));
    QProcess simulator;
    simulator.start(QString::fromLocal8Bit(argv[2]),
                    {QStringLiteral("--map"), source.filePath(QStringLiteral("RegisterInfo"))});
    if (!simulator.waitForStarted(5000) || !simulator.waitForReadyRead(10000)) {
        std::fprintf(stderr, "drawwindow: the simulated driver did not start\n");
        return 1;
    }
    StartOptions options;
    options.port = QString::fromLocal8Bit(simulator.readLine()).trimmed();
    options.mapFile = source.filePath(QStringLiteral("RegisterInfo"));
    options.open = true;

    installTranslation(app, QStringLiteral("zh"));
    MainWindow window;
    window.show();
    window.applyStartOptions(options);
    wait(readingMs);
    bool saved = save(window, source.filePath(QStringLiteral("docs/window-zh.png")));
    switchLanguage(app, QStringLiteral("en"));
    wait(500);
    saved = save(window, source.filePath(QStringLiteral("docs/window-en.png"))) && saved;
    window.close();
    simulator.terminate();
    simulator.waitForFinished(5000);
    if (!saved || !writeRecord(source)) {
        std::fprintf(stderr, "drawwindow: the pictures or their record could not be written\n");
        return 1;
    }
    std::printf("drew docs/window-zh.png and docs/window-en.png; recorded their forms in docs/pictures.sha256\n");
    return 0;
}

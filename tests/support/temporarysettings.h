#ifndef TEMPORARYSETTINGS_H
#define TEMPORARYSETTINGS_H

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

// Settings and Qt's file-dialog history in a temporary folder for the whole
// test program: QSettings reads XDG_CONFIG_HOME once, so the folder must be
// set before the application exists.
class TemporarySettings
{
public:
    TemporarySettings()
    {
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("HOME", dir.path().toLocal8Bit());
    }
    QString configPath() const { return dir.filePath(QStringLiteral("config")); }

private:
    QTemporaryDir dir;
};

// QTEST_MAIN with the settings moved aside and the names the program sets.
#define QTEST_MAIN_WITH_TEMPORARY_SETTINGS(TestObject) \
    int main(int argc, char *argv[]) \
    { \
        TemporarySettings settings; \
        QApplication app(argc, argv); \
        app.setOrganizationName(QStringLiteral("steppertool")); \
        app.setApplicationName(QStringLiteral("steppertool")); \
        TestObject test; \
        QTEST_SET_MAIN_SOURCE_PATH \
        return QTest::qExec(&test, argc, argv); \
    }

#endif // TEMPORARYSETTINGS_H

// The test programs' entry: a QApplication (offscreen unless told otherwise), so that
// widgets, painting, timers and coroutines on the event loop work in every test.

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Keep the tests out of the user's own folders and settings.
    QStandardPaths::setTestModeEnabled(true);
    // A temporary folder of this process's own: tests run in parallel processes, and scans
    // pass through fixed file names there.
    QTemporaryDir temp(QDir::temp().filePath("bivara-test-XXXXXX"));
    if (temp.isValid()) qputenv("TMPDIR", QFile::encodeName(temp.path()));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

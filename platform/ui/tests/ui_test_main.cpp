// Main of the widget tests: a QApplication on the offscreen platform, with
// private runtime, configuration, cache and data folders so the tests touch
// nothing of the user's.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir home;
    if (!home.isValid()) return 2;
    QDir root(home.path());
    for (const char* name : {"runtime", "config", "cache", "data"}) root.mkpath(name);
    QFile::setPermissions(root.filePath("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    setenv("XDG_RUNTIME_DIR", root.filePath("runtime").toUtf8().constData(), 1);
    setenv("XDG_CONFIG_HOME", root.filePath("config").toUtf8().constData(), 1);
    setenv("XDG_CACHE_HOME", root.filePath("cache").toUtf8().constData(), 1);
    setenv("XDG_DATA_HOME", root.filePath("data").toUtf8().constData(), 1);
    unsetenv("QELVIO_CONFIG_DIR");
    unsetenv("QELVIO_DEVICE_ROOT");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

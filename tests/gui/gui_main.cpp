// GUI tests need a QApplication (offscreen platform, set by CTest).
#include <QApplication>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Albums deleted by the tests go to a trash of their own, never the user's.
    QTemporaryDir userData;
    qputenv("XDG_DATA_HOME", userData.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    // Qt's pooled threads are joined before the program ends: one that ended on its own while
    // LeakSanitizer checked the heap at exit left both waiting on the allocator for ever.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}

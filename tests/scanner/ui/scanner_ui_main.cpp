// The scan dialog's tests need a QApplication (offscreen platform, set by CTest).
#include <QApplication>
#include <QThreadPool>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    // Qt's pooled threads are joined before the program ends: one that ended on its own while
    // LeakSanitizer checked the heap at exit left both waiting on the allocator for ever.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}

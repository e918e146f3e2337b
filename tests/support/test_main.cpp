// The main of every test program: a QCoreApplication exists for tests that run the event loop.
// A test folder that needs a QApplication defines its own main, and the linker then leaves this one
// in the archive.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Albums deleted by the tests go to a trash of their own, never the user's.
    QTemporaryDir userData;
    qputenv("XDG_DATA_HOME", userData.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    // Qt's pooled threads are joined before the program ends: one that ended on its own while
    // LeakSanitizer checked the heap at exit left both waiting on the allocator for ever.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}

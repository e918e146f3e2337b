// The main of every test program: a QCoreApplication exists for tests that run the event loop.
// A test folder that needs a QApplication defines its own main, and the linker then leaves this one
// in the archive.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Albums deleted by the tests go to a trash of their own, never the user's.
    QTemporaryDir userData;
    qputenv("XDG_DATA_HOME", userData.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The main of every test program: a QCoreApplication exists for tests that run the event loop.
// A test folder that needs a QApplication defines its own main, and the linker then leaves this one
// in the archive.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

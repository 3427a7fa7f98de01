// Runs the end-to-end tests inside a QCoreApplication, whose event loop delivers the serial
// port's events and the sequencer's timers.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Runs the reliability tests inside a QApplication: the serial port and the timers need its event
// loop, and the long run drives the main window.
#include <gtest/gtest.h>

#include <QApplication>

#include "isolated_settings.h"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");  // also when run by hand
    }
    QApplication application(argc, argv);
    const CIsolatedSettings settings;  // the windows never see the user's remembered choices
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Runs the main window's tests inside a QApplication, as its windows need one.
#include <gtest/gtest.h>

#include <QApplication>

#include "isolated_settings.h"

int main(int argc, char* argv[]) {
    // Headless unless told otherwise: the build lists the tests without a display, too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);  // a file dialog tests can fill in
    QApplication application(argc, argv);
    const CIsolatedSettings settings;  // the windows never see the user's remembered choices
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Runs a test program inside the Qt application its tests need: an event loop for the serial
// port's events, the timers and QProcess; for window tests a headless QApplication whose windows
// never see the user's remembered choices.
#include <gtest/gtest.h>

#ifdef AFD_TEST_WIDGETS
#include <QApplication>

#include "isolated_settings.h"
#else
#include <QCoreApplication>
#endif

int main(int argc, char* argv[]) {
#ifdef AFD_TEST_WIDGETS
    // Headless unless told otherwise: the build lists the tests without a display, too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);  // a file dialog tests can fill in
    QApplication application(argc, argv);
    const CIsolatedSettings settings;
#else
    QCoreApplication application(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

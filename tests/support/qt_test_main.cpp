// Runs a test program inside the Qt application its tests need: an event loop for the serial
// port's events, the timers and QProcess; for window tests a headless QApplication in one style
// and at one pixel per logical pixel, whose windows never see the user's remembered choices.
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
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");  // pixel checks: one logical pixel is one pixel
    qputenv("QT_SCALE_FACTOR", "1");
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);  // a file dialog tests can fill in
    QApplication application(argc, argv);
    // Palettes and disabled text look the same on every machine.
    QApplication::setStyle(QStringLiteral("Fusion"));
    const CIsolatedSettings settings;
#else
    QCoreApplication application(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

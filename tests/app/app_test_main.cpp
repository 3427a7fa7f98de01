// Runs the desktop program's tests inside a QApplication, as its windows need one.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
    // Headless unless told otherwise: the build lists the tests without a display, too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The widget file dialog, so tests can fill it in on every platform.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Discovery runs the program outside ctest's environment, so default to a headless platform here.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

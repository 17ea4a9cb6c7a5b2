// gtest main that creates the QApplication widget tests need; logic tests simply ignore it.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Tests never depend on the machine's language or settings.
    qputenv("LC_ALL", "C.UTF-8");
    // Where the built programs and the sources are, unless the run says otherwise.
    if (qEnvironmentVariableIsEmpty("KOLBRIN_BIN_DIR")) {
        qputenv("KOLBRIN_BIN_DIR", KOLBRIN_BUILD_BIN_DIR);
    }
    if (qEnvironmentVariableIsEmpty("KOLBRIN_SOURCE_DIR")) {
        qputenv("KOLBRIN_SOURCE_DIR", KOLBRIN_BUILD_SOURCE_DIR);
    }
    // Windows are real but offscreen unless a run asks for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The audio tests need a QApplication around them (listing them does not).
#include <QApplication>

#include <gtest/gtest.h>

#include "ProcessEnd.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    // As the program does: the audio toolkit's teardown at exit is not safe while the server
    // still reports on a sound just stopped.
    platform::EndProcess(result);
}

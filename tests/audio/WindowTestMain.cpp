// The window's audio tests: the window test helpers make the application object.
#include <gtest/gtest.h>

#include "ProcessEnd.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (testing::GTEST_FLAG(list_tests)) return result;
    // As the program does: the audio toolkit's teardown at exit is not safe while the server
    // still reports on a sound just stopped.
    platform::EndProcess(result);
}

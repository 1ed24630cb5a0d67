// Running a child program and measuring it, and the environment it inherits.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ChildProcess.h"
#include "Environment.h"

namespace {

const std::string kHelper = CHILD_HELPER;
const uint64_t kMiB = 1024 * 1024;
// What a program that does nothing may take, the sanitizers' shadow memory included.
const uint64_t kSmall = 48 * kMiB;

// Each case runs both straight from this process and through the launcher (each test runs in a
// process of its own, so the launcher of one does not leak into another).
class ChildProcess : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (GetParam()) {
            ASSERT_TRUE(platform::StartChildLauncher());
        }
    }
};

TEST_P(ChildProcess, ReportsExitCodeTimeAndFailureToStart) {
    auto run = platform::RunChild({kHelper, "exit", "3"}, true);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 3);
    run = platform::RunChild({kHelper, "exit", "0"}, true);
    EXPECT_EQ(run.exitCode, 0);

    run = platform::RunChild({kHelper, "sleep", "200"}, true);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_GE(run.seconds, 0.19);

    run = platform::RunChild({"/nonexistent/brelka-no-such-program"}, true);
    EXPECT_FALSE(run.started);
    run = platform::RunChild({"brelka-no-such-program-on-the-path"}, true);
    EXPECT_FALSE(run.started);
    EXPECT_FALSE(platform::RunChild({}, true).started);
}

TEST_P(ChildProcess, PeakMemoryIsTheChildsOwn) {
    const auto big = platform::RunChild({kHelper, "alloc", "64"}, true);
    ASSERT_EQ(big.exitCode, 0);
    EXPECT_GE(big.peakBytes, 64 * kMiB);
    EXPECT_LT(big.peakBytes, 64 * kMiB + kSmall);

    const auto small = platform::RunChild({kHelper, "exit", "0"}, true);
    ASSERT_EQ(small.exitCode, 0);
    EXPECT_GT(small.peakBytes, 0u);
    EXPECT_LT(small.peakBytes, kSmall);
}

TEST(ChildLauncher, ChildPeakLeavesOutWhatTheParentGrewTo) {
    ASSERT_TRUE(platform::StartChildLauncher());
    std::vector<char> grown(256 * kMiB);
    std::memset(grown.data(), 1, grown.size());
    EXPECT_GE(platform::PeakMemoryOfThisProcess(), 256 * kMiB);
    const auto run = platform::RunChild({kHelper, "exit", "0"}, true);
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_LT(run.peakBytes, kSmall);
    EXPECT_EQ(grown[grown.size() / 3], 1);
}

TEST_P(ChildProcess, ChildSeesTheEnvironmentAsSetNow) {
    ASSERT_TRUE(platform::SetEnv("BRELKA_TEST_VALUE", "two words"));
    EXPECT_EQ(platform::RunChild({kHelper, "env", "BRELKA_TEST_VALUE", "two words"}, true).exitCode,
              0);
    ASSERT_TRUE(platform::SetEnv("BRELKA_TEST_VALUE", "2"));
    EXPECT_EQ(platform::RunChild({kHelper, "env", "BRELKA_TEST_VALUE", "2"}, true).exitCode, 0);
    ASSERT_TRUE(platform::UnsetEnv("BRELKA_TEST_VALUE"));
    EXPECT_EQ(platform::RunChild({kHelper, "noenv", "BRELKA_TEST_VALUE"}, true).exitCode, 0);
    EXPECT_TRUE(platform::UnsetEnv("BRELKA_TEST_VALUE")); // already gone
}

INSTANTIATE_TEST_SUITE_P(Launch, ChildProcess, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? "Launcher" : "Direct";
                         });

} // namespace

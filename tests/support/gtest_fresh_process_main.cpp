// The main function of GoogleTest programs whose checks run in fresh processes
// (fresh_process_check.h): every death test re-runs the program for itself, so no earlier check
// has loaded or set up anything in it.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::GTEST_FLAG(death_test_style) = "threadsafe";
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Libraries opened on first use: what they have is found, and a missing file or function is
// reported with its name instead of ending the program.
#include "upgrade/utils/vuSharedLibrary.h"

#include <gtest/gtest.h>

using vu::TvuSharedLibrary;

namespace {

constexpr const char* kMathLibrary = "libm.so.6";

TEST(UtilsSharedLibrary, OpensTheFileAndResolvesItsFunctions) {
    TvuSharedLibrary library(kMathLibrary);
    void* opened = library.Open();
    ASSERT_NE(opened, nullptr) << library.Error();
    double (*cosine)(double) = nullptr;
    ASSERT_TRUE(library.Resolve(opened, "cos", cosine));
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_TRUE(library.Loaded());
    EXPECT_EQ(library.Error(), "");
}

TEST(UtilsSharedLibrary, MissingFileAndMissingFunctionAreReportedByName) {
    TvuSharedLibrary missing(kMathLibrary);
    // Replaced before the first use, as the tests of a missing libcurl or libcrypto do.
    missing.SetFile("libvelmora-missing.so.99");
    EXPECT_STREQ(missing.File(), "libvelmora-missing.so.99");
    EXPECT_FALSE(missing.Loaded());
    EXPECT_EQ(missing.Open(), nullptr);
    EXPECT_NE(missing.Error().find("libvelmora-missing.so.99"), std::string::npos)
        << missing.Error();
    EXPECT_FALSE(missing.Loaded());

    // A library older than the build: the function is missing, the others are still found.
    TvuSharedLibrary older(kMathLibrary);
    void* opened = older.Open();
    ASSERT_NE(opened, nullptr) << older.Error();
    void (*absent)() = reinterpret_cast<void (*)()>(1);
    EXPECT_FALSE(older.Resolve(opened, "velmora_no_such_function", absent));
    EXPECT_EQ(absent, nullptr);
    EXPECT_EQ(older.Error().rfind(std::string(kMathLibrary) + ": ", 0), 0u) << older.Error();
    EXPECT_NE(older.Error().find("velmora_no_such_function"), std::string::npos) << older.Error();
}

} // namespace

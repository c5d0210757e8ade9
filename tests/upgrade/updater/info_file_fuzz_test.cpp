// Large hostile information files: the indexed reader stays linear in time and memory. Built with
// the address and undefined-behaviour sanitizers. (Its agreement with a plain search on any input
// is checked by the fuzz program tests/fuzz/info_file_fuzz.cpp.)
#include "upgrade/updater/vuUpdaterInfoFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using vu::TvuInfoFileReader;

// Large hostile files: each must be read in a time linear in its size. A quadratic search would
// take hours on these; the bound is loose enough for a loaded machine with sanitizers.
TEST(InfoFileFuzz, LargeHostileFilesStayLinear) {
    constexpr std::size_t kSize = 8u << 20;
    std::vector<std::string> inputs;
    inputs.push_back(std::string(kSize, '#'));
    inputs.push_back("#" + std::string(kSize, 'a'));
    inputs.push_back("#message={" + std::string(kSize, 'm'));
    std::string numbered;
    for (int n = 1; numbered.size() < kSize; ++n)
        numbered += "#url" + std::to_string(n) + "=u\n";
    inputs.push_back(numbered);
    std::string distinct;
    for (int n = 1; distinct.size() < kSize; ++n)
        distinct += "#k" + std::to_string(n) + "=#url=";
    inputs.push_back(distinct);

    for (const std::string& text : inputs) {
        const auto start = std::chrono::steady_clock::now();
        const TvuInfoFileReader r(text);
        const auto files = r.Files();
        (void)r.Message();
        (void)r.Date();
        const auto seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 60.0);
        // Every listed file costs at least its marker in the input.
        EXPECT_LE(files.size(), text.size() / 6);
    }
    EXPECT_GT(TvuInfoFileReader(numbered).Files().size(), 100000u);
    EXPECT_EQ(TvuInfoFileReader(inputs[2]).Message().size(), kSize);
}

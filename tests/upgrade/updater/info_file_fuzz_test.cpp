// Random and hostile information files: the indexed reader must agree with a plain search of the
// lower-cased text, never crash, and stay linear in time and memory on large inputs. Built with the
// address and undefined-behaviour sanitizers.
#include "upgrade/updater/vuUpdaterInfoFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

using vu::TvuInfoFileReader;

namespace {

// The rules written as directly as possible: search the lower-cased copy for the marker.
struct Reference {
    std::string text, lower;
    explicit Reference(std::string t) : text(std::move(t)), lower(text) {
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
    }
    std::string Value(const std::string& key) const {
        const std::string marker = "#" + key + "=";
        std::size_t at = lower.find(marker);
        if (at == std::string::npos)
            return {};
        at += marker.size();
        std::size_t end = at;
        while (end < text.size() && static_cast<unsigned char>(text[end]) >= 32)
            ++end;
        return text.substr(at, end - at);
    }
    std::string Block(const std::string& key) const {
        const std::string marker = "#" + key + "={";
        std::size_t at = lower.find(marker);
        if (at == std::string::npos)
            return {};
        at += marker.size();
        const std::size_t end = text.find('}', at);
        return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> files;
        for (const char* k : {"url", "url0"})
            if (auto v = Value(k); !v.empty())
                files.push_back(v);
        for (std::size_t n = files.size() + 1;; ++n) {
            auto v = Value("url" + std::to_string(n));
            if (v.empty())
                break;
            files.push_back(v);
        }
        return files;
    }
};

// Random text drawn mostly from marker pieces so that markers actually form.
std::string RandomText(std::mt19937& rng) {
    static const std::vector<std::string> pieces = {
        "#",    "=",    "{",    "}",       "url",        "URL",     "Url0",   "0",
        "1",    "2",    "3",    "4",       "\r\n",       "\n",      "\t",     " ",
        "date", "DATE", "/",    "message", "method",     "version", "x",      "\xa4",
        "\x00", "##",   "#url", "=={",     "#message={", "#url1=",  "#URL2=", "#date="};
    std::uniform_int_distribution<int> len(0, 60), pick(0, static_cast<int>(pieces.size()) - 1),
        byte(0, 255), coin(0, 9);
    std::string s;
    for (int i = len(rng); i > 0; --i) {
        if (coin(rng) == 0)
            s.push_back(static_cast<char>(byte(rng)));
        else
            s += pieces[static_cast<std::size_t>(pick(rng))];
    }
    return s;
}

} // namespace

TEST(InfoFileFuzz, AgreesWithPlainSearchOnRandomInput) {
    std::mt19937 rng(20060613);
    for (int i = 0; i < 40000; ++i) {
        const std::string text = RandomText(rng);
        const TvuInfoFileReader r(text);
        const Reference ref(text);
        ASSERT_EQ(r.Files(), ref.Files()) << testing::PrintToString(text);
        ASSERT_EQ(r.Date(), ref.Value("date")) << testing::PrintToString(text);
        ASSERT_EQ(r.Version(), ref.Value("version"));
        ASSERT_EQ(r.Message(), ref.Block("message")) << testing::PrintToString(text);
        const std::string m = ref.Value("method");
        const int digit = m.empty() ? 0 : (m[0] == '1' ? 1 : m[0] == '2' ? 2 : 0);
        ASSERT_EQ(static_cast<int>(r.Method()), digit);
        ASSERT_EQ(r.Value("url7"), ref.Value("url7"));
        // The date rule on whatever the text holds never throws and gives a valid date.
        ASSERT_TRUE(vu::ReadInfoDate(r.Date(), QDate(2000, 1, 1)).isValid());
    }
}

TEST(InfoFileFuzz, RandomDatesNeverCrash) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> len(0, 24), pick(0, 13);
    const char alphabet[] = "0123456789/+- ";
    for (int i = 0; i < 100000; ++i) {
        std::string s;
        for (int n = len(rng); n > 0; --n)
            s.push_back(alphabet[pick(rng)]);
        const QDate d = vu::ParseInfoDate(s);
        if (d.isValid()) {
            ASSERT_GE(d.year(), 1);
            ASSERT_LE(d.year(), 9999);
        }
    }
}

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

// Reading the upgrade information file: markers, values, the file list and the date rule.
#include "upgrade/updater/vuUpdaterInfoFile.h"

#include <gtest/gtest.h>

#include <malloc.h>

using vu::InfoFileMethod;
using vu::TvuInfoFileReader;

namespace {

std::vector<std::string> FilesOf(const std::string& text) {
    return TvuInfoFileReader(text).Files();
}

} // namespace

TEST(InfoFileMarkers, KeysMatchWithoutCaseValuesKeepTheirCase) {
    TvuInfoFileReader r("junk\r\n#DATE=07/01/2006\r\n#Url=HTTP://Host/A.EXE\r\n#VeRsIoN=1.2\n");
    EXPECT_EQ(r.Date(), "07/01/2006");
    EXPECT_EQ(r.Value("url"), "HTTP://Host/A.EXE");
    EXPECT_EQ(r.Version(), "1.2");
}

TEST(InfoFileMarkers, BlankAfterNumberSignIsNoMarkerAndMissingIsEmpty) {
    TvuInfoFileReader r("# date=07/01/2006\n#date =1/1/2000\n");
    EXPECT_EQ(r.Date(), "");
    EXPECT_EQ(r.Version(), "");
    EXPECT_EQ(r.Message(), "");
    EXPECT_TRUE(r.Files().empty());
}

TEST(InfoFileMarkers, OnlyTheFirstOccurrenceCounts) {
    TvuInfoFileReader r("#date=1/2/2003\n#DATE=4/5/2006\n#url=a\n#url=b\n");
    EXPECT_EQ(r.Date(), "1/2/2003");
    EXPECT_EQ(r.Files(), std::vector<std::string>{"a"});
}

TEST(InfoFileMarkers, MarkerInsideOtherTextAndNestedNumberSigns) {
    // "##date=" holds the marker "#date="; "x#date=" inside a word too.
    EXPECT_EQ(TvuInfoFileReader("##date=1/1/2001").Date(), "1/1/2001");
    EXPECT_EQ(TvuInfoFileReader("comment x#date=2/2/2002 y").Date(), "2/2/2002 y");
    // "#dates=" is another key.
    EXPECT_EQ(TvuInfoFileReader("#dates=1/1/2001").Date(), "");
}

TEST(InfoFileValues, ValueEndsBeforeFirstControlCharacterAndKeepsBlanks) {
    TvuInfoFileReader r("#url=http://h/a.exe \r\n#url2=x\ty\n#version=1.0");
    EXPECT_EQ(r.Value("url"), "http://h/a.exe ");
    EXPECT_EQ(r.Value("url2"), "x");
    EXPECT_EQ(r.Version(), "1.0"); // runs to the end of the text
}

TEST(InfoFileValues, HighBytesBelongToTheValue) {
    const std::string big5 = "\xc0\xcb\xac\x64"; // two Big5 characters
    TvuInfoFileReader r("#url=http://h/" + big5 + "\n");
    EXPECT_EQ(r.Value("url"), "http://h/" + big5);
}

TEST(InfoFileValues, EmptyValueAtEndOfText) {
    TvuInfoFileReader r("#date=");
    EXPECT_EQ(r.Date(), "");
}

TEST(InfoFileMessage, BlockRunsAcrossLinesToFirstBrace) {
    TvuInfoFileReader r("#message={Line one\r\nLine Two}} tail\n");
    EXPECT_EQ(r.Message(), "Line one\r\nLine Two");
}

TEST(InfoFileMessage, UnterminatedBlockRunsToEndAndSimpleFormIsNoBlock) {
    EXPECT_EQ(TvuInfoFileReader("#MESSAGE={open\nend").Message(), "open\nend");
    EXPECT_EQ(TvuInfoFileReader("#message=plain\n").Message(), "");
    // The first "#message={" counts even after a plain "#message=".
    EXPECT_EQ(TvuInfoFileReader("#message=plain\n#message={block}").Message(), "block");
    EXPECT_EQ(TvuInfoFileReader("#message={}").Message(), "");
}

TEST(InfoFileMethodDigit, OnlyTheFirstCharacterCounts) {
    EXPECT_EQ(TvuInfoFileReader("#method=1").Method(), InfoFileMethod::ExternalSetup);
    EXPECT_EQ(TvuInfoFileReader("#method=2x").Method(), InfoFileMethod::RedirectToURL);
    EXPECT_EQ(TvuInfoFileReader("#method=12").Method(), InfoFileMethod::ExternalSetup);
    EXPECT_EQ(TvuInfoFileReader("#method= 2").Method(), InfoFileMethod::SelfUpgrade);
    EXPECT_EQ(TvuInfoFileReader("#method=3").Method(), InfoFileMethod::SelfUpgrade);
    EXPECT_EQ(TvuInfoFileReader("#method=").Method(), InfoFileMethod::SelfUpgrade);
    EXPECT_EQ(TvuInfoFileReader("").Method(), InfoFileMethod::SelfUpgrade);
}

TEST(InfoFileList, NumberingRule) {
    using V = std::vector<std::string>;
    EXPECT_EQ(FilesOf("#url=a\n#url2=b\n#url3=c\n#url4=d\n#url5=e\n"),
              (V{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(FilesOf("#url1=a\n#url2=b\n#url3=c\n"), (V{"a", "b", "c"}));
    // After one file the numbering starts at 2, so url1 is not read.
    EXPECT_EQ(FilesOf("#url=a\n#url1=b\n"), (V{"a"}));
    // url and url0: the numbering starts at 3.
    EXPECT_EQ(FilesOf("#url=a\n#url0=b\n#url2=x\n#url3=c\n"), (V{"a", "b", "c"}));
    EXPECT_EQ(FilesOf("#url0=b\n#url2=c\n"), (V{"b", "c"}));
    // The numbering stops at the first missing or empty key.
    EXPECT_EQ(FilesOf("#url1=a\n#url3=c\n"), (V{"a"}));
    EXPECT_EQ(FilesOf("#url1=a\n#url2=\n#url3=c\n"), (V{"a"}));
    // An empty "url" is left out and does not count.
    EXPECT_EQ(FilesOf("#url=\n#url1=a\n"), (V{"a"}));
    // Leading zeros are not the same number; the order in the text does not matter.
    EXPECT_EQ(FilesOf("#url01=a\n#url1=b\n"), (V{"b"}));
    EXPECT_EQ(FilesOf("#URL2=b\n#Url1=a\n"), (V{"a", "b"}));
    EXPECT_TRUE(FilesOf("#date=1/1/2001\n").empty());
}

TEST(InfoFileList, DocumentedExample) {
    TvuInfoFileReader r("#date=07/01/2006\r\n#url=http://h/kelp.exe\r\n#url2=http://h/data.bin\r\n"
                        "#method=0\r\n#message={New release.\r\nEnjoy!}\r\n");
    EXPECT_EQ(r.Files(), (std::vector<std::string>{"http://h/kelp.exe", "http://h/data.bin"}));
    EXPECT_EQ(r.Method(), InfoFileMethod::SelfUpgrade);
    EXPECT_EQ(r.Message(), "New release.\r\nEnjoy!");
    EXPECT_EQ(r.Date(), "07/01/2006");
}

// Hashes and sizes are numbered like the addresses and travel with them.
TEST(InfoFileList, HashesAndSizesFollowTheNumberingRule) {
    using vu::InfoFileEntry;
    using E = std::vector<InfoFileEntry>;
    EXPECT_EQ(
        TvuInfoFileReader("#url=a\n#sha256=A\n#size=1\n#url2=b\n#SHA2562=B\n#size2=2\n").Entries(),
        (E{{"a", "A", "1"}, {"b", "B", "2"}}));
    // url0 pairs with sha2560 and size0; after url and url0 the numbers go on at 3.
    EXPECT_EQ(TvuInfoFileReader("#url=a\n#url0=b\n#url3=c\n#sha2560=B\n#size3=3\n#sha2562=X\n"
                                "#sha2563=C\n#size=1\n")
                  .Entries(),
              (E{{"a", "", "1"}, {"b", "B", ""}, {"c", "C", "3"}}));
    // A hash of a number that is not listed belongs to no file; an empty url takes no hash.
    EXPECT_EQ(TvuInfoFileReader("#url=\n#sha256=A\n#url1=b\n#sha2561=B\n#sha2562=C\n").Entries(),
              (E{{"b", "B", ""}}));
    // Only the first occurrence counts, as for every key; leading zeros are another key.
    EXPECT_EQ(TvuInfoFileReader("#url=a\n#sha256=A\n#sha256=Z\n#sha25601=Y\n").Entries(),
              (E{{"a", "A", ""}}));
    EXPECT_EQ(TvuInfoFileReader("#url=a\n").Value("signature"), "");
    EXPECT_EQ(TvuInfoFileReader("#url=a\n#Signature=ed25519:x").Value("signature"), "ed25519:x");
}

TEST(InfoFileList, KeysOutsideTheIndexStillFound) {
    TvuInfoFileReader r("#Homepage=http://x\n#url01=y");
    EXPECT_EQ(r.Value("homepage"), "http://x");
    EXPECT_EQ(r.Value("url01"), "y");
    EXPECT_EQ(r.Value("other"), "");
}

TEST(InfoDate, SplitsAtSlashesAndUsesTheYearAsWritten) {
    EXPECT_EQ(vu::ParseInfoDate("06/13/2006"), QDate(2006, 6, 13));
    EXPECT_EQ(vu::ParseInfoDate("6/14/2006"), QDate(2006, 6, 14));
    EXPECT_EQ(vu::ParseInfoDate("06/14/06"), QDate(6, 6, 14));
    EXPECT_EQ(vu::ParseInfoDate("2/29/2004"), QDate(2004, 2, 29));
}

TEST(InfoDate, FailuresGiveToday) {
    const QDate today(2026, 12, 8);
    for (const char* bad : {"", "06132006", "06/13", "/13/2006", "06//2006", "06/13/", "x6/13/2006",
                            "06/13/2006 ", "2/30/2006", "13/01/2006", "0/1/2006", "1/1/0",
                            "2/29/2005", "06/13/2006/1", "99999999999/1/1", "1/1/-5", "--1/1/1"})
        EXPECT_EQ(vu::ReadInfoDate(bad, today), today) << bad;
    EXPECT_EQ(vu::ReadInfoDate("1/2/2003", today), QDate(2003, 1, 2));
}

TEST(InfoDate, VersionDateFormIsTwoDigitsWithSlashes) {
    EXPECT_EQ(vu::FormatVersionDate(QDate(2006, 6, 3)), "06/03/2006");
    EXPECT_EQ(vu::FormatVersionDate(QDate(6, 12, 25)), "12/25/0006");
    EXPECT_EQ(vu::ParseInfoDate(vu::FormatVersionDate(QDate(1999, 1, 31))), QDate(1999, 1, 31));
}

// The reader keeps the text and an index of the markers it reads; a large file with many markers
// must not cost more than a small multiple of its size.
TEST(InfoFileMemory, IndexStaysProportionalToTheText) {
    std::string text;
    for (int n = 1; text.size() < (4u << 20); ++n)
        text += "#url" + std::to_string(n) + "=u\n#x" + std::to_string(n) + "=#date=\n";
    const std::size_t before = mallinfo2().uordblks;
    {
        TvuInfoFileReader r(text);
        const std::size_t used = mallinfo2().uordblks - before;
        EXPECT_LT(used, 12 * text.size());
        EXPECT_GT(r.Files().size(), 100000u);
    }
}

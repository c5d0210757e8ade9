// libcurl loaded on first use: not before, exactly once after, and a missing library fails
// every call instead of the program. Each case runs in a fresh process, as the program does.

#include "upgrade/http/vuCurlLibrary.h"
#include "upgrade/http/vuCurlRequest.h"
#include "upgrade/http/vuURLParts.h"

#include "tests/support/fresh_process_check.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

using namespace vu;
using vutest::FinishCheck;

namespace {

struct NoListener : TvuCurlRequestListener {
    bool HeadersIn() override { return true; }
    bool Body(const char*, size_t) override { return true; }
};

void checkLoadedOnFirstUse() {
    if (CurlLibraryLoaded())
        FinishCheck(false, "loaded before any call");
    TvuURLParts parts;
    if (!CrackURL("http://127.0.0.1:8080/a%20b?x=1", parts) || parts.Port != 8080 ||
        parts.URLPath != "/a%20b" || parts.ExtraInfo != "?x=1")
        FinishCheck(false, "address not cracked through the loaded library");
    if (!CurlLibraryLoaded() || !CurlLibraryError().isEmpty())
        FinishCheck(false, "not loaded after the first call");
    // Text options arrive as text (the transfer tests drive every other kind through a real
    // server): an unknown protocol name is refused, a known one taken.
    CURL* easy = curl_easy_init();
    const bool set = easy && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK &&
                     curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "no-such-scheme") != CURLE_OK;
    long status = -1;
    const bool got =
        easy && curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 0;
    curl_easy_cleanup(easy);
    FinishCheck(set && got, "options and information through the forwarding functions");
}

void checkMissingLibraryFails() {
    SetCurlLibraryFileForTesting("libcurl-velmora-missing.so.99");
    TvuURLParts parts;
    if (CrackURL("http://127.0.0.1/", parts))
        FinishCheck(false, "an address cracked without the library");
    if (!CurlLibraryError().contains("libcurl-velmora-missing.so.99"))
        FinishCheck(false, "no reason given for the missing library");
    if (curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK || curl_easy_init() != nullptr ||
        curl_multi_init() != nullptr || curl_url() != nullptr ||
        curl_slist_append(nullptr, "Accept: */*") != nullptr)
        FinishCheck(false, "a call succeeded without the library");
    curl_slist_free_all(nullptr);
    curl_free(nullptr);
    TvuCurlRequestOptions options;
    options.URL = "http://127.0.0.1:1/";
    NoListener listener;
    TvuCurlRequest request;
    FinishCheck(!request.Open(options, &listener), "a request opened without the library");
}

TEST(CurlLibrary, LoadedOnFirstUseAndForwarded) {
    EXPECT_EXIT(checkLoadedOnFirstUse(), testing::ExitedWithCode(0), "");
}

TEST(CurlLibrary, MissingLibraryFailsEveryCall) {
    EXPECT_EXIT(checkMissingLibraryFails(), testing::ExitedWithCode(0), "");
}

} // namespace

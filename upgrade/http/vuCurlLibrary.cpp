// The libcurl functions the transfer code uses, each forwarding to the library loaded on the
// first call. Only the functions below exist: a new curl call needs its line here and in
// CurlFunctions.
#define CURL_DISABLE_TYPECHECK
#include "upgrade/http/vuCurlLibrary.h"

#include "upgrade/utils/vuSharedLibrary.h"

#include <curl/curl.h>

#include <cstdarg>

namespace {

struct CurlFunctions {
    decltype(&curl_global_init) global_init = nullptr;
    decltype(&curl_free) free = nullptr;
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_multi_init) multi_init = nullptr;
    decltype(&curl_multi_cleanup) multi_cleanup = nullptr;
    decltype(&curl_multi_add_handle) multi_add_handle = nullptr;
    decltype(&curl_multi_remove_handle) multi_remove_handle = nullptr;
    decltype(&curl_multi_perform) multi_perform = nullptr;
    decltype(&curl_multi_poll) multi_poll = nullptr;
    decltype(&curl_multi_wakeup) multi_wakeup = nullptr;
    decltype(&curl_multi_info_read) multi_info_read = nullptr;
    decltype(&curl_slist_append) slist_append = nullptr;
    decltype(&curl_slist_free_all) slist_free_all = nullptr;
    decltype(&curl_url) url = nullptr;
    decltype(&curl_url_cleanup) url_cleanup = nullptr;
    decltype(&curl_url_get) url_get = nullptr;
    decltype(&curl_url_set) url_set = nullptr;
};

vu::TvuSharedLibrary& library() {
    static vu::TvuSharedLibrary library(vu::CurlLibraryFile);
    return library;
}

CurlFunctions load() {
    CurlFunctions f;
    vu::TvuSharedLibrary& lib = library();
    void* opened = lib.Open();
    if (!opened)
        return f;
    const bool complete = lib.Resolve(opened, "curl_global_init", f.global_init) &&
                          lib.Resolve(opened, "curl_free", f.free) &&
                          lib.Resolve(opened, "curl_easy_init", f.easy_init) &&
                          lib.Resolve(opened, "curl_easy_cleanup", f.easy_cleanup) &&
                          lib.Resolve(opened, "curl_easy_setopt", f.easy_setopt) &&
                          lib.Resolve(opened, "curl_easy_getinfo", f.easy_getinfo) &&
                          lib.Resolve(opened, "curl_multi_init", f.multi_init) &&
                          lib.Resolve(opened, "curl_multi_cleanup", f.multi_cleanup) &&
                          lib.Resolve(opened, "curl_multi_add_handle", f.multi_add_handle) &&
                          lib.Resolve(opened, "curl_multi_remove_handle", f.multi_remove_handle) &&
                          lib.Resolve(opened, "curl_multi_perform", f.multi_perform) &&
                          lib.Resolve(opened, "curl_multi_poll", f.multi_poll) &&
                          lib.Resolve(opened, "curl_multi_wakeup", f.multi_wakeup) &&
                          lib.Resolve(opened, "curl_multi_info_read", f.multi_info_read) &&
                          lib.Resolve(opened, "curl_slist_append", f.slist_append) &&
                          lib.Resolve(opened, "curl_slist_free_all", f.slist_free_all) &&
                          lib.Resolve(opened, "curl_url", f.url) &&
                          lib.Resolve(opened, "curl_url_cleanup", f.url_cleanup) &&
                          lib.Resolve(opened, "curl_url_get", f.url_get) &&
                          lib.Resolve(opened, "curl_url_set", f.url_set);
    // Older than the version the program was built for: use none of it.
    return complete ? f : CurlFunctions();
}

// Loaded once, by whichever thread calls first.
const CurlFunctions& curl() {
    static const CurlFunctions functions = load();
    return functions;
}

} // namespace

namespace vu {

bool CurlLibraryLoaded() {
    return library().Loaded();
}

QByteArray CurlLibraryError() {
    return QByteArray::fromStdString(library().Error());
}

void SetCurlLibraryFileForTesting(const char* file) {
    library().SetFile(file);
}

} // namespace vu

extern "C" {

CURLcode curl_global_init(long flags) {
    return curl().global_init ? curl().global_init(flags) : CURLE_FAILED_INIT;
}

void curl_free(void* p) {
    // Only memory the library handed out reaches here, so it is loaded when p is set.
    if (p && curl().free)
        curl().free(p);
}

CURL* curl_easy_init() {
    return curl().easy_init ? curl().easy_init() : nullptr;
}

void curl_easy_cleanup(CURL* handle) {
    if (handle && curl().easy_cleanup)
        curl().easy_cleanup(handle);
}

CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    if (!curl().easy_setopt)
        return CURLE_FAILED_INIT;
    // The option's number says the type of its one argument.
    va_list arguments;
    va_start(arguments, option);
    CURLcode result;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        result = curl().easy_setopt(handle, option, va_arg(arguments, long));
    } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
        result = curl().easy_setopt(handle, option, va_arg(arguments, void*));
    } else if (option < CURLOPTTYPE_OFF_T) {
        using Callback = void (*)();
        result = curl().easy_setopt(handle, option, va_arg(arguments, Callback));
    } else if (option < CURLOPTTYPE_BLOB) {
        result = curl().easy_setopt(handle, option, va_arg(arguments, curl_off_t));
    } else {
        result = curl().easy_setopt(handle, option, va_arg(arguments, void*));
    }
    va_end(arguments);
    return result;
}

CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
    if (!curl().easy_getinfo)
        return CURLE_FAILED_INIT;
    // Every kind of information is returned through a pointer.
    va_list arguments;
    va_start(arguments, info);
    const CURLcode result = curl().easy_getinfo(handle, info, va_arg(arguments, void*));
    va_end(arguments);
    return result;
}

CURLM* curl_multi_init() {
    return curl().multi_init ? curl().multi_init() : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
    return curl().multi_cleanup ? curl().multi_cleanup(multi) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle) {
    return curl().multi_add_handle ? curl().multi_add_handle(multi, handle) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* handle) {
    return curl().multi_remove_handle ? curl().multi_remove_handle(multi, handle)
                                      : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    return curl().multi_perform ? curl().multi_perform(multi, running) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_poll(CURLM* multi, struct curl_waitfd extra[], unsigned int count,
                          int timeoutMs, int* ready) {
    return curl().multi_poll ? curl().multi_poll(multi, extra, count, timeoutMs, ready)
                             : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_wakeup(CURLM* multi) {
    return curl().multi_wakeup ? curl().multi_wakeup(multi) : CURLM_BAD_HANDLE;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* queued) {
    if (!curl().multi_info_read) {
        if (queued)
            *queued = 0;
        return nullptr;
    }
    return curl().multi_info_read(multi, queued);
}

struct curl_slist* curl_slist_append(struct curl_slist* list, const char* text) {
    return curl().slist_append ? curl().slist_append(list, text) : nullptr;
}

void curl_slist_free_all(struct curl_slist* list) {
    if (list && curl().slist_free_all)
        curl().slist_free_all(list);
}

CURLU* curl_url() {
    return curl().url ? curl().url() : nullptr;
}

void curl_url_cleanup(CURLU* handle) {
    if (handle && curl().url_cleanup)
        curl().url_cleanup(handle);
}

CURLUcode curl_url_get(CURLU* handle, CURLUPart what, char** part, unsigned int flags) {
    if (part)
        *part = nullptr;
    return curl().url_get ? curl().url_get(handle, what, part, flags) : CURLUE_BAD_HANDLE;
}

CURLUcode curl_url_set(CURLU* handle, CURLUPart what, const char* part, unsigned int flags) {
    return curl().url_set ? curl().url_set(handle, what, part, flags) : CURLUE_BAD_HANDLE;
}

} // extern "C"

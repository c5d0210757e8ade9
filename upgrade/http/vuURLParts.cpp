#include "upgrade/http/vuURLParts.h"

#include <curl/curl.h>

#include <memory>

namespace vu {

namespace {

struct UrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

bool getPart(CURLU* u, CURLUPart what, unsigned flags, QByteArray& out) {
    char* text = nullptr;
    if (curl_url_get(u, what, &text, flags) != CURLUE_OK)
        return false;
    out = QByteArray(text);
    curl_free(text);
    return true;
}

// What goes to the network must name the place that was cracked: an odd address (a host with
// a zone and an '@' in it, say) can give a bare form that reads as another host or as one with
// credentials. Such an address is not used at all.
bool BareFormReadsAsTheSamePlace(const TvuURLParts& parts) {
    std::unique_ptr<CURLU, UrlDeleter> u(curl_url());
    if (!u || curl_url_set(u.get(), CURLUPART_URL, parts.BareURL.constData(),
                           CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return false;
    QByteArray scheme, host, port, ignored;
    if (!getPart(u.get(), CURLUPART_SCHEME, 0, scheme) ||
        !getPart(u.get(), CURLUPART_HOST, 0, host) ||
        !getPart(u.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT, port))
        return false;
    if (host.startsWith('[') && host.endsWith(']'))
        host = host.mid(1, host.size() - 2);
    return scheme.toLower() == parts.Scheme && host == parts.HostName &&
           port.toInt() == parts.Port && !getPart(u.get(), CURLUPART_USER, 0, ignored) &&
           !getPart(u.get(), CURLUPART_PASSWORD, 0, ignored);
}

} // namespace

QByteArray CompleteURL(const QByteArray& url) {
    return url.contains("://") ? url : QByteArray("http://") + url;
}

bool CrackURL(const QByteArray& url, TvuURLParts& parts) {
    parts = TvuURLParts();
    const QByteArray full = CompleteURL(url);
    std::unique_ptr<CURLU, UrlDeleter> u(curl_url());
    if (!u || full.contains('\0'))
        return false;
    const unsigned parseFlags = CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE;
    if (curl_url_set(u.get(), CURLUPART_URL, full.constData(), parseFlags) != CURLUE_OK)
        return false;
    if (!getPart(u.get(), CURLUPART_SCHEME, 0, parts.Scheme))
        return false;
    parts.Scheme = parts.Scheme.toLower();
    const bool isFile = parts.Scheme == "file";
    if (!getPart(u.get(), CURLUPART_HOST, 0, parts.HostName)) {
        if (!isFile)
            return false;
        parts.HostName.clear();
    }
    if (parts.HostName.startsWith('[') && parts.HostName.endsWith(']'))
        parts.HostName = parts.HostName.mid(1, parts.HostName.size() - 2);
    QByteArray port;
    if (getPart(u.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT, port))
        parts.Port = port.toInt();
    parts.HasUserName = getPart(u.get(), CURLUPART_USER, CURLU_URLDECODE, parts.UserName);
    parts.HasPassword = getPart(u.get(), CURLUPART_PASSWORD, CURLU_URLDECODE, parts.Password);
    getPart(u.get(), CURLUPART_PATH, isFile ? CURLU_URLDECODE : 0u, parts.URLPath);
    QByteArray query;
    if (getPart(u.get(), CURLUPART_QUERY, 0, query))
        parts.ExtraInfo = "?" + query;
    curl_url_set(u.get(), CURLUPART_USER, nullptr, 0);
    curl_url_set(u.get(), CURLUPART_PASSWORD, nullptr, 0);
    curl_url_set(u.get(), CURLUPART_FRAGMENT, nullptr, 0);
    getPart(u.get(), CURLUPART_URL, 0, parts.BareURL);
    parts.BareURL.replace(" ", "%20");
    return isFile || BareFormReadsAsTheSamePlace(parts);
}

QByteArray OriginOf(const QByteArray& url) {
    TvuURLParts p;
    if (!CrackURL(url, p))
        return {};
    return p.Scheme + "://" + p.HostName.toLower() + ":" + QByteArray::number(p.Port);
}

bool ResolveRedirect(const QByteArray& current, const QByteArray& location, QByteArray& target) {
    std::unique_ptr<CURLU, UrlDeleter> u(curl_url());
    if (!u || curl_url_set(u.get(), CURLUPART_URL, current.constData(), 0) != CURLUE_OK ||
        curl_url_set(u.get(), CURLUPART_URL, location.constData(),
                     CURLU_ALLOW_SPACE | CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return false;
    curl_url_set(u.get(), CURLUPART_FRAGMENT, nullptr, 0);
    QByteArray scheme;
    if (!getPart(u.get(), CURLUPART_SCHEME, 0, scheme))
        return false;
    scheme = scheme.toLower();
    // A secure transfer never continues in the clear: such a redirect is not followed and its
    // answer ends the transfer as an error status.
    const bool downgrade = scheme == "http" && current.toLower().startsWith("https:");
    if ((scheme != "http" && scheme != "https") || downgrade)
        return false;
    return getPart(u.get(), CURLUPART_URL, 0, target);
}

} // namespace vu

#include "upgrade/http/vuProxyAddress.h"

#include <QByteArrayList>

namespace vu {

namespace {

QByteArray Environment(const char* name) {
    return qgetenv(name).trimmed();
}

// Whether the comma-, semicolon- or blank-separated list names the host (or a domain above it).
bool Listed(const QByteArray& list, const QByteArray& host) {
    QByteArray normalised = list;
    normalised.replace(';', ' ').replace(',', ' ').replace('\t', ' ');
    const QByteArray name = host.toLower();
    for (QByteArray item : normalised.split(' ')) {
        item = item.trimmed().toLower();
        if (item.startsWith("*."))
            item = item.mid(2);
        else if (item.startsWith('.'))
            item = item.mid(1);
        if (item.isEmpty())
            continue;
        if (item == "*" || name == item || name.endsWith("." + item))
            return true;
    }
    return false;
}

std::optional<TvuURLParts> Crack(QByteArray address) {
    if (address.isEmpty())
        return std::nullopt;
    if (!address.contains("://"))
        address.prepend("http://");
    TvuURLParts parts;
    if (!CrackURL(address, parts) || parts.HostName.isEmpty())
        return std::nullopt;
    return parts;
}

} // namespace

std::optional<TvuURLParts> ProxyFor(const QByteArray& url, const TvuHTTPProxy& proxy) {
    TvuURLParts target;
    if (!CrackURL(url.contains("://") ? url : "http://" + url, target))
        return std::nullopt;
    switch (proxy.AccessType) {
    case atDirect:
        return std::nullopt;
    case atUseProxy:
        if (Listed(proxy.ProxyBypass, target.HostName))
            return std::nullopt;
        return Crack(proxy.ProxyServer + ":" + QByteArray::number(proxy.ProxyPort));
    case atPreconfig:
        break;
    }
    QByteArray noProxy = Environment("no_proxy");
    if (noProxy.isEmpty())
        noProxy = Environment("NO_PROXY");
    if (Listed(noProxy, target.HostName))
        return std::nullopt;
    QByteArray address;
    if (target.Scheme == "https") {
        address = Environment("https_proxy");
        if (address.isEmpty())
            address = Environment("HTTPS_PROXY");
    } else {
        address = Environment("http_proxy");
    }
    if (address.isEmpty())
        address = Environment("all_proxy");
    if (address.isEmpty())
        address = Environment("ALL_PROXY");
    return Crack(address);
}

QByteArray ProxyDisplayName(const TvuURLParts& proxy) {
    const QByteArray host =
        proxy.HostName.contains(':') ? "[" + proxy.HostName + "]" : proxy.HostName;
    return host + ":" + QByteArray::number(proxy.Port);
}

QByteArray NoProxyList(const QByteArray& bypass, bool& local) {
    local = false;
    QByteArray list;
    QByteArray normalised = bypass;
    normalised.replace(';', ' ').replace(',', ' ').replace('\t', ' ');
    for (QByteArray item : normalised.split(' ')) {
        item = item.trimmed();
        if (item.isEmpty())
            continue;
        if (item.compare("<local>", Qt::CaseInsensitive) == 0) {
            local = true;
            continue;
        }
        if (item.startsWith("*."))
            item = item.mid(2);
        if (!list.isEmpty())
            list += ',';
        list += item;
    }
    return list;
}

std::optional<QByteArray> ProxyOption(const QByteArray& url, const TvuHTTPProxy& proxy,
                                      QByteArray& noProxy) {
    noProxy.clear();
    switch (proxy.AccessType) {
    case atPreconfig:
        return std::nullopt;
    case atDirect:
        return QByteArray("");
    case atUseProxy:
        break;
    }
    bool local = false;
    const QByteArray bypass = NoProxyList(proxy.ProxyBypass, local);
    TvuURLParts target;
    CrackURL(url, target);
    if (local && !target.HostName.contains('.') && !target.HostName.contains(':'))
        return QByteArray("");
    noProxy = bypass;
    return "http://" + proxy.ProxyServer + ":" + QByteArray::number(proxy.ProxyPort);
}

} // namespace vu

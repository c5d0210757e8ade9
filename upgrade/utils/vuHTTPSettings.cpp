#include "upgrade/utils/vuHTTPSettings.h"

namespace vu {

namespace {

const QByteArray kLInfo = "LInfo";

} // namespace

QByteArray AccessTypeName(TvuHTTPAccessType type) {
    switch (type) {
    case atPreconfig:
        return "atPreconfig";
    case atDirect:
        return "atDirect";
    case atUseProxy:
        return "atUseProxy";
    }
    return "atPreconfig";
}

bool AccessTypeFromName(const QByteArray& name, TvuHTTPAccessType& type) {
    for (TvuHTTPAccessType t : {atPreconfig, atDirect, atUseProxy}) {
        if (AccessTypeName(t) == name) {
            type = t;
            return true;
        }
    }
    return false;
}

void TvuHTTPProxy::WriteProperties(TvuSettingsWriter& writer, const QByteArray& prefix) const {
    const QByteArray p = prefix + '.';
    const TvuHTTPProxy defaults;
    if (AccessType != defaults.AccessType)
        writer.WriteIdent(p + "AccessType", AccessTypeName(AccessType));
    if (ProxyPort != defaults.ProxyPort)
        writer.WriteInteger(p + "ProxyPort", ProxyPort);
    if (AccessType == atUseProxy) {
        writer.WriteString(p + "ProxyServer", ProxyServer);
        writer.WriteString(p + "ProxyBypass", ProxyBypass);
    }
}

bool TvuHTTPProxy::ReadProperty(const QByteArray& name, const TvuStoredValue& value) {
    if (name == "AccessType") {
        QByteArray ident;
        TvuHTTPAccessType type;
        if (!value.ToIdent(ident) || !AccessTypeFromName(ident, type))
            return false;
        AccessType = type;
        return true;
    }
    if (name == "ProxyPort")
        return value.ToInt32(ProxyPort);
    if (name == "ProxyServer")
        return value.ToString(ProxyServer);
    if (name == "ProxyBypass")
        return value.ToString(ProxyBypass);
    return false;
}

QByteArray TvuHTTPRange::HeaderLine() const {
    if (StartRange == 0 && EndRange == 0)
        return QByteArray();
    QByteArray line = "RANGE: bytes=" + QByteArray::number(StartRange) + '-';
    if (EndRange != 0)
        line += QByteArray::number(EndRange);
    return line + "\r\n";
}

QByteArray EncodeLInfo(const QByteArray& username, const QByteArray& password) {
    if (username.isEmpty() && password.isEmpty())
        return QByteArray();
    // The record has room for 254 credential bytes (N must fit one byte); keep the user name and
    // cut the password first rather than write a record that cannot be read back.
    const QByteArray name = username.left(vuLInfoMaxCredentials);
    const QByteArray pass = password.left(vuLInfoMaxCredentials - name.size());
    const int n = name.size() + pass.size() + 1;
    QByteArray record;
    record.reserve(n + 1);
    record.append(static_cast<char>(n));
    record.append(static_cast<char>(name.size()));
    record.append(name);
    record.append(pass);
    const char mask = static_cast<char>(static_cast<quint8>(n) ^ vuLInfoKey);
    for (int i = 1; i <= n; ++i)
        record[i] = static_cast<char>(record[i] ^ mask);
    return record;
}

bool DecodeLInfo(const QByteArray& record, QByteArray& username, QByteArray& password) {
    if (record.isEmpty())
        return false;
    const int n = static_cast<quint8>(record[0]);
    if (n < 1 || record.size() != n + 1)
        return false;
    const auto mask = static_cast<quint8>(n ^ vuLInfoKey);
    const int nameLength = static_cast<quint8>(record[1]) ^ mask;
    if (nameLength > n - 1)
        return false;
    QByteArray name(nameLength, '\0');
    for (int i = 0; i < nameLength; ++i)
        name[i] = static_cast<char>(static_cast<quint8>(record[2 + i]) ^ mask);
    const int passLength = n - 1 - nameLength;
    QByteArray pass(passLength, '\0');
    for (int i = 0; i < passLength; ++i)
        pass[i] = static_cast<char>(static_cast<quint8>(record[2 + nameLength + i]) ^ mask);
    username = name;
    password = pass;
    return true;
}

TvuLoginComponent::TvuLoginComponent(QObject* owner) : TvuComponent(owner) {}

TvuLoginComponent::~TvuLoginComponent() = default;

void TvuLoginComponent::WriteProperties(TvuSettingsWriter& writer) const {
    TvuComponent::WriteProperties(writer);
    if (!username_.isEmpty() || !password_.isEmpty())
        writer.WriteBinary(kLInfo, EncodeLInfo(username_, password_));
}

bool TvuLoginComponent::ReadProperty(const QByteArray& name, const TvuStoredValue& value) {
    if (name != kLInfo)
        return TvuComponent::ReadProperty(name, value);
    QByteArray record;
    return value.ToBinary(record) && DecodeLInfo(record, username_, password_);
}

} // namespace vu

// Settings of an HTTP transfer: the server credentials of a login component (stored only in
// scrambled form, as the binary property "LInfo"), how to reach the Internet, the byte range and
// the time-outs of a request, the transfer buffer size, and the two credential event types.
#pragma once

#include "upgrade/utils/vuComponent.h"

#include <QByteArray>
#include <QObject>

#include <cstdint>
#include <functional>

namespace vu {

// ---- Events ------------------------------------------------------------------------------------

// The server asks for credentials (status 401): the handler sets the component's HTTPUsername /
// HTTPPassword and TryAgain to send the request again.
using TvuHTTPPasswordRequestEvent =
    std::function<void(QObject* Sender, const QByteArray& Realm, bool& TryAgain)>;
// The proxy asks for credentials (status 407).
using TvuHTTPProxyAuthenticationEvent = std::function<void(
    QObject* Sender, QByteArray& ProxyUsername, QByteArray& ProxyPassword, bool& TryAgain)>;

// ---- Buffer size -------------------------------------------------------------------------------

// A count from 255 to 2147483647; values outside are clamped into that range.
class TvuBufferSize {
public:
    static constexpr qint32 kMin = 255;
    static constexpr qint32 kMax = 2147483647;
    constexpr TvuBufferSize(qint64 value = 4096)
        : value_(value < kMin ? kMin : (value > kMax ? kMax : static_cast<qint32>(value))) {}
    constexpr operator qint32() const { return value_; }

private:
    qint32 value_;
};

// ---- Proxy -------------------------------------------------------------------------------------

enum TvuHTTPAccessType { atPreconfig, atDirect, atUseProxy };

class TvuHTTPProxy {
public:
    TvuHTTPAccessType AccessType = atPreconfig;
    qint32 ProxyPort = 8080;
    QByteArray ProxyServer;
    QByteArray ProxyBypass = "127.0.0.1;";

    // Stored: AccessType and ProxyPort when not the default; ProxyServer and ProxyBypass only
    // with atUseProxy. Names are `prefix` + "." + property, e.g. "Proxy.ProxyPort".
    void WriteProperties(TvuSettingsWriter& writer, const QByteArray& prefix) const;
    // `name` without the prefix; false when unknown or the value does not fit.
    bool ReadProperty(const QByteArray& name, const TvuStoredValue& value);

    bool operator==(const TvuHTTPProxy&) const = default;
};

// Identifier of an access type ("atDirect") and back; false for an unknown identifier.
QByteArray AccessTypeName(TvuHTTPAccessType type);
bool AccessTypeFromName(const QByteArray& name, TvuHTTPAccessType& type);

// ---- Range and time-outs (set by code only, never stored) --------------------------------------

class TvuHTTPRange {
public:
    qint32 StartRange = 0; // first byte to request
    qint32 EndRange = 0;   // last byte to request; 0 = to the end

    // "RANGE: bytes=<start>-[<end>]\r\n", or empty when both are 0.
    QByteArray HeaderLine() const;
};

class TvuHTTPTimeouts {
public:
    // Milliseconds; 0 keeps the transfer library's default.
    quint32 ConnectTimeout = 0;
    quint32 ReceiveTimeout = 0;
    quint32 SendTimeout = 0;
};

// ---- Credentials -------------------------------------------------------------------------------

// The fixed scrambling constant of the "LInfo" value. Stored settings depend on it: never change.
inline constexpr quint8 vuLInfoKey = 0xA5;
// User name and password together hold at most this many bytes.
inline constexpr int vuLInfoMaxCredentials = 254;

// The "LInfo" record: N (= name length + password length + 1), then the name length, the name and
// the password, each byte after the first XORed with (N XOR key). Credentials longer than 254
// bytes together are cut to fit, the password first. Empty credentials give an empty record.
QByteArray EncodeLInfo(const QByteArray& username, const QByteArray& password);
// Reads a record; false, leaving both outputs alone, when it is empty, shorter or longer than
// N + 1 bytes, or its name length exceeds N - 1.
bool DecodeLInfo(const QByteArray& record, QByteArray& username, QByteArray& password);

class TvuLoginComponent : public TvuComponent {
    Q_OBJECT
public:
    explicit TvuLoginComponent(QObject* owner = nullptr);
    ~TvuLoginComponent() override;

    QByteArray HTTPUsername() const { return username_; }
    void SetHTTPUsername(const QByteArray& value) { username_ = value; }
    QByteArray HTTPPassword() const { return password_; }
    void SetHTTPPassword(const QByteArray& value) { password_ = value; }

    // Stores "LInfo" (binary) when the user name or the password is not empty.
    void WriteProperties(TvuSettingsWriter& writer) const override;
    // Reads "LInfo"; a corrupt record is refused and the credentials stay as they were.
    bool ReadProperty(const QByteArray& name, const TvuStoredValue& value) override;

private:
    QByteArray username_;
    QByteArray password_;
};

} // namespace vu

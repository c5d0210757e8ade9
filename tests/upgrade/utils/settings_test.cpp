// HTTP settings, the scrambled credentials and the stored-settings text format.
#include "upgrade/utils/vuHTTPSettings.h"

#include <gtest/gtest.h>

using namespace vu;

namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

} // namespace

TEST(UtilsLInfo, FourByteRecordOfATwoByteName) {
    const QByteArray record = EncodeLInfo("ab", "");
    ASSERT_EQ(record.size(), 4);
    const auto mask = static_cast<quint8>(3 ^ vuLInfoKey);
    EXPECT_EQ(static_cast<quint8>(record[0]), 3);
    EXPECT_EQ(static_cast<quint8>(record[1]), 2 ^ mask);
    EXPECT_EQ(static_cast<quint8>(record[2]), 'a' ^ mask);
    EXPECT_EQ(static_cast<quint8>(record[3]), 'b' ^ mask);

    QByteArray name = "old", pass = "old";
    ASSERT_TRUE(DecodeLInfo(record, name, pass));
    EXPECT_EQ(name, "ab");
    EXPECT_EQ(pass, "");
}

TEST(UtilsLInfo, RoundTripsIncludingBig5AndLimits) {
    const QByteArray big5Name = Hex("b3c7a7d3"); // two Big5 characters
    const struct {
        QByteArray name, pass;
    } cases[] = {{"", "secret"},
                 {"user", "p@ss word"},
                 {big5Name, Hex("00ff7f80")},
                 {QByteArray(200, 'n'), QByteArray(54, 'p')}};
    for (const auto& c : cases) {
        QByteArray name, pass;
        const QByteArray record = EncodeLInfo(c.name, c.pass);
        EXPECT_EQ(record.size(), c.name.size() + c.pass.size() + 2);
        ASSERT_TRUE(DecodeLInfo(record, name, pass));
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(pass, c.pass);
    }
    EXPECT_TRUE(EncodeLInfo("", "").isEmpty());

    // More than 254 bytes together: the password is cut so that the record stays readable.
    QByteArray name, pass;
    ASSERT_TRUE(DecodeLInfo(EncodeLInfo(QByteArray(250, 'n'), QByteArray(10, 'p')), name, pass));
    EXPECT_EQ(name, QByteArray(250, 'n'));
    EXPECT_EQ(pass, QByteArray(4, 'p'));
    ASSERT_TRUE(DecodeLInfo(EncodeLInfo(QByteArray(300, 'n'), "p"), name, pass));
    EXPECT_EQ(name.size(), 254);
    EXPECT_EQ(pass, "");
}

TEST(UtilsLInfo, CorruptRecordsAreRefusedWithoutChanges) {
    const QByteArray good = EncodeLInfo("user", "pw");
    const auto mask = static_cast<quint8>(good[0]) ^ vuLInfoKey;
    QByteArray tooLongName = good;
    tooLongName[1] = static_cast<char>(6 ^ mask); // N - 1 is 6: still fine
    QByteArray name = "keep", pass = "keep";
    ASSERT_TRUE(DecodeLInfo(tooLongName, name, pass));
    EXPECT_EQ(pass, "");
    tooLongName[1] = static_cast<char>(7 ^ mask); // beyond N - 1
    const QByteArray corrupt[] = {
        QByteArray(),               // nothing at all
        good.left(good.size() - 1), // truncated
        good + 'x',                 // longer than N + 1
        Hex("00"),                  // N of 0 leaves no name length
        Hex("ff00"),                // N far beyond the data
        tooLongName,
    };
    for (const QByteArray& record : corrupt) {
        name = "keep";
        pass = "keep";
        EXPECT_FALSE(DecodeLInfo(record, name, pass)) << record.toHex().constData();
        EXPECT_EQ(name, "keep");
        EXPECT_EQ(pass, "keep");
    }
}

TEST(UtilsSettings, LoginComponentStoresLInfoOnlyWithCredentials) {
    TvuLoginComponent empty;
    EXPECT_EQ(SaveComponentSettings(empty), "");

    TvuLoginComponent login;
    login.SetHTTPUsername("ab");
    const QByteArray text = SaveComponentSettings(login);
    EXPECT_EQ(text, "LInfo={" + EncodeLInfo("ab", "").toHex().toUpper() + "}\n");

    TvuLoginComponent copy;
    copy.SetHTTPPassword("old");
    QStringList problems;
    ASSERT_TRUE(LoadComponentSettings(copy, text, &problems)) << problems.join(';').toStdString();
    EXPECT_EQ(copy.HTTPUsername(), "ab");
    EXPECT_EQ(copy.HTTPPassword(), "");

    // A corrupt value is refused and the credentials stay.
    TvuLoginComponent target;
    target.SetHTTPUsername("u");
    target.SetHTTPPassword("p");
    EXPECT_FALSE(LoadComponentSettings(target, "LInfo={FF00}\n", &problems));
    EXPECT_EQ(target.HTTPUsername(), "u");
    EXPECT_EQ(target.HTTPPassword(), "p");
    EXPECT_FALSE(LoadComponentSettings(target, "LInfo=\"not binary\"\n"));
    EXPECT_EQ(target.HTTPUsername(), "u");
}

TEST(UtilsSettings, ProxyStoringRules) {
    TvuHTTPProxy proxy;
    EXPECT_EQ(proxy.ProxyPort, 8080);
    EXPECT_EQ(proxy.ProxyBypass, "127.0.0.1;");
    EXPECT_EQ(proxy.AccessType, atPreconfig);

    TvuSettingsWriter defaults;
    proxy.WriteProperties(defaults, "Proxy");
    EXPECT_EQ(defaults.Text(), "");

    proxy.AccessType = atDirect;
    proxy.ProxyServer = "proxy.example";
    TvuSettingsWriter direct;
    proxy.WriteProperties(direct, "Proxy");
    EXPECT_EQ(direct.Names(), QList<QByteArray>{"Proxy.AccessType"});
    EXPECT_EQ(direct.Text(), "Proxy.AccessType=atDirect\n");

    proxy.AccessType = atUseProxy;
    proxy.ProxyPort = 3128;
    proxy.ProxyBypass = "";
    TvuSettingsWriter use;
    proxy.WriteProperties(use, "Proxy");
    EXPECT_EQ(use.Text(), "Proxy.AccessType=atUseProxy\nProxy.ProxyPort=3128\n"
                          "Proxy.ProxyServer=\"proxy.example\"\nProxy.ProxyBypass=\"\"\n");

    QList<std::pair<QByteArray, TvuStoredValue>> props;
    ASSERT_TRUE(ParseStoredSettings(use.Text(), props));
    TvuHTTPProxy back;
    for (const auto& [name, value] : props) {
        ASSERT_TRUE(name.startsWith("Proxy."));
        EXPECT_TRUE(back.ReadProperty(name.mid(6), value)) << name.constData();
    }
    EXPECT_EQ(back, proxy);
    EXPECT_FALSE(
        back.ReadProperty("AccessType", TvuStoredValue(TvuStoredValue::svIdent, "atNone")));
    EXPECT_FALSE(back.ReadProperty("ProxyPort", TvuStoredValue(TvuStoredValue::svString, "80")));
    EXPECT_FALSE(
        back.ReadProperty("ProxyPort", TvuStoredValue(TvuStoredValue::svInteger, {}, 1LL << 40)));
    EXPECT_EQ(back.ProxyPort, 3128);
}

TEST(UtilsSettings, RangeLinesAndBufferSize) {
    TvuHTTPRange range;
    EXPECT_EQ(range.HeaderLine(), "");
    range.StartRange = 100;
    EXPECT_EQ(range.HeaderLine(), "RANGE: bytes=100-\r\n");
    range.StartRange = 0;
    range.EndRange = 99;
    EXPECT_EQ(range.HeaderLine(), "RANGE: bytes=0-99\r\n");

    EXPECT_EQ(qint32(TvuBufferSize()), 4096);
    EXPECT_EQ(qint32(TvuBufferSize(1)), 255);
    EXPECT_EQ(qint32(TvuBufferSize(1LL << 40)), 2147483647);
}

TEST(UtilsSettings, IntegersConvertOnlyWithinTheTargetRange) {
    const struct {
        qint64 number;
        bool int32, uint32;
    } rows[] = {
        {-2147483649LL, false, false},
        {-2147483648LL, true, false},
        {-1, true, false},
        {0, true, true},
        {2147483647, true, true},
        {2147483648LL, false, true},
        {4294967295LL, false, true},
        {4294967296LL, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.number);
        const TvuStoredValue value(TvuStoredValue::svInteger, {}, row.number);
        qint32 i32 = 7;
        quint32 u32 = 7;
        EXPECT_EQ(value.ToInt32(i32), row.int32);
        EXPECT_EQ(i32, row.int32 ? qint32(row.number) : 7);
        EXPECT_EQ(value.ToUInt32(u32), row.uint32);
        EXPECT_EQ(u32, row.uint32 ? quint32(row.number) : 7u);
    }
}

TEST(UtilsSettings, TextFormatValuesAndErrors) {
    TvuSettingsWriter writer;
    const QByteArray bytes("a\"b\\c\r\n\t\x01\xa4\xa4", 11);
    writer.WriteString("S", bytes);
    writer.WriteInteger("I", -9223372036854775807LL - 1);
    writer.WriteBool("B", true);
    writer.WriteBinary("X.Y", Hex("00ff10"));
    writer.WriteIdent("E", "atDirect");
    const QByteArray text = writer.Text();
    EXPECT_EQ(text, "S=\"a\\\"b\\\\c\\r\\n\\t\\x01\\xA4\\xA4\"\nI=-9223372036854775808\n"
                    "B=True\nX.Y={00FF10}\nE=atDirect\n");

    QList<std::pair<QByteArray, TvuStoredValue>> props;
    ASSERT_TRUE(ParseStoredSettings("# comment\r\n\n" + text, props));
    ASSERT_EQ(props.size(), 5);
    QByteArray s, x, e;
    qint64 i = 0;
    bool b = false;
    EXPECT_TRUE(props[0].second.ToString(s));
    EXPECT_EQ(s, bytes);
    EXPECT_TRUE(props[1].second.ToInteger(i));
    EXPECT_EQ(i, -9223372036854775807LL - 1);
    EXPECT_TRUE(props[2].second.ToBool(b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(props[3].second.ToBinary(x));
    EXPECT_EQ(x, Hex("00ff10"));
    EXPECT_TRUE(props[4].second.ToIdent(e));
    qint32 i32 = 7;
    EXPECT_FALSE(props[1].second.ToInt32(i32));
    EXPECT_EQ(i32, 7);
    EXPECT_FALSE(props[0].second.ToInteger(i));

    const char* bad[] = {"NoEquals",  "1Name=1",    "A=",      "A=\"open", "A=\"x\"y\"",
                         "A=\"\\q\"", "A=\"\\x4\"", "A={123}", "A={GG}",   "A=9223372036854775808",
                         "A=1x",      "A=1\nA=2",   "A=@",     "A..B=1"};
    for (const char* t : bad) {
        QString error;
        props.append({"stale", TvuStoredValue()});
        EXPECT_FALSE(ParseStoredSettings(t, props, &error)) << t;
        EXPECT_TRUE(props.isEmpty()) << t;
        EXPECT_FALSE(error.isEmpty()) << t;
    }
}

namespace {

// A component that adds its own properties to the login component's.
class Derived : public TvuLoginComponent {
public:
    TvuHTTPProxy Proxy;
    qint32 Interval = 0;
    int loadedCalls = 0;
    void WriteProperties(TvuSettingsWriter& w) const override {
        TvuLoginComponent::WriteProperties(w);
        Proxy.WriteProperties(w, "Proxy");
        if (Interval != 0)
            w.WriteInteger("Interval", Interval);
    }
    bool ReadProperty(const QByteArray& name, const TvuStoredValue& v) override {
        if (name.startsWith("Proxy."))
            return Proxy.ReadProperty(name.mid(6), v);
        if (name == "Interval")
            return v.ToInt32(Interval);
        return TvuLoginComponent::ReadProperty(name, v);
    }
    void Loaded() override { ++loadedCalls; }
};

} // namespace

TEST(UtilsSettings, DerivedComponentRoundTripAndLoaded) {
    Derived a;
    a.SetHTTPUsername("me");
    a.SetHTTPPassword("pw");
    a.Proxy.AccessType = atUseProxy;
    a.Proxy.ProxyServer = "p";
    a.Interval = 5;
    Derived b;
    QStringList problems;
    ASSERT_TRUE(LoadComponentSettings(b, SaveComponentSettings(a), &problems));
    EXPECT_EQ(b.HTTPUsername(), "me");
    EXPECT_EQ(b.HTTPPassword(), "pw");
    EXPECT_EQ(b.Proxy, a.Proxy);
    EXPECT_EQ(b.Interval, 5);
    EXPECT_EQ(b.loadedCalls, 1);

    // Unknown names are reported; the others still apply and Loaded still runs.
    Derived c;
    EXPECT_FALSE(LoadComponentSettings(c, "Unknown=1\nInterval=7\n", &problems));
    EXPECT_EQ(c.Interval, 7);
    EXPECT_EQ(c.loadedCalls, 1);
    // Text that does not parse changes nothing and does not call Loaded.
    Derived d;
    EXPECT_FALSE(LoadComponentSettings(d, "Interval=7\nbroken line\n"));
    EXPECT_EQ(d.Interval, 0);
    EXPECT_EQ(d.loadedCalls, 0);
}

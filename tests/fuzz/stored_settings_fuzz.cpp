// Stored settings text and the scrambled credentials record ("LInfo") as the component reads
// them. Text that parses writes back to text that parses to the same values; a component loaded
// from any text saves settings that load into the same component again; a credentials record is
// accepted only when it is exactly what the writer makes of what was read from it.
#include "tests/fuzz/fuzz_check.h"
#include "upgrade/utils/vuComponent.h"
#include "upgrade/utils/vuHTTPSettings.h"
#include "upgrade/utils/vuStoredSettings.h"

#include <cstddef>
#include <cstdint>

using namespace vu;

namespace {

using Properties = QList<std::pair<QByteArray, TvuStoredValue>>;

// The value's kind and content as one comparable text.
QByteArray Describe(const TvuStoredValue& value) {
    QByteArray bytes;
    qint64 number = 0;
    if (value.ToString(bytes))
        return "string:" + bytes;
    if (value.ToBinary(bytes))
        return "binary:" + bytes;
    if (value.ToIdent(bytes))
        return "ident:" + bytes;
    if (value.ToInteger(number))
        return "integer:" + QByteArray::number(number);
    return "unreadable";
}

void CheckSettingsText(const QByteArray& text) {
    Properties properties;
    QString error;
    if (!ParseStoredSettings(text, properties, &error)) {
        FUZZ_CHECK(properties.isEmpty());
        FUZZ_CHECK(!error.isEmpty());
        return;
    }
    TvuSettingsWriter writer;
    for (const auto& [name, value] : properties) {
        FUZZ_CHECK(Describe(value) != "unreadable");
        writer.WriteValue(name, value);
    }
    Properties again;
    FUZZ_CHECK(ParseStoredSettings(writer.Text(), again));
    FUZZ_CHECK(again.size() == properties.size());
    for (qsizetype i = 0; i < again.size(); ++i) {
        FUZZ_CHECK(again[i].first == properties[i].first);
        FUZZ_CHECK(Describe(again[i].second) == Describe(properties[i].second));
    }
}

void CheckComponent(const QByteArray& text) {
    TvuLoginComponent loaded;
    LoadComponentSettings(loaded, text);
    const QByteArray saved = SaveComponentSettings(loaded);
    TvuLoginComponent reloaded;
    QStringList problems;
    FUZZ_CHECK(LoadComponentSettings(reloaded, saved, &problems));
    FUZZ_CHECK(reloaded.HTTPUsername() == loaded.HTTPUsername());
    FUZZ_CHECK(reloaded.HTTPPassword() == loaded.HTTPPassword());
    FUZZ_CHECK(SaveComponentSettings(reloaded) == saved);
}

void CheckCredentials(const QByteArray& record) {
    QByteArray name = "keep", password = "keep";
    if (DecodeLInfo(record, name, password)) {
        FUZZ_CHECK(EncodeLInfo(name, password) == record);
    } else {
        FUZZ_CHECK(name == "keep" && password == "keep");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CheckSettingsText(input);
    CheckComponent(input);
    CheckCredentials(input);
    // The same bytes as a stored record, the way they reach the reader from a settings file.
    CheckComponent("LInfo={" + input.toHex() + "}\n");
    return 0;
}

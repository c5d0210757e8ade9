#include "upgrade/updater/vuReleaseDecision.h"

#include "upgrade/utils/vuVersions.h"

#include <algorithm>
#include <charconv>

namespace vu {

namespace {

int Compare(const std::string& first, const std::string& second) {
    return CompareVersions(QByteArray::fromStdString(first), QByteArray::fromStdString(second));
}

// A whole decimal number without sign or blanks; nullopt otherwise.
std::optional<int> WholeNumber(std::string_view text) {
    int value = 0;
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.front() == '-' ||
        text.front() == '+')
        return std::nullopt;
    return value;
}

ReleaseDecision Refuse(ReleaseDecision decision, InfoFileRefusal refusal,
                       const std::string& detail) {
    decision.Verdict = ReleaseVerdict::Refused;
    decision.Refusal = refusal;
    decision.Reason = std::string("refused: ") + InfoFileRefusalText(refusal) + " (" + detail + ")";
    return decision;
}

// The rollout's share today, or nullopt for a "#rollout=" that is not a percentage 1 to 100.
std::optional<int> RolloutPercent(const TvuInfoFileReader& reader, const QDate& today) {
    const std::string rollout = reader.Value("rollout");
    if (rollout.empty())
        return 100;
    const auto start = WholeNumber(rollout);
    if (!start || *start < 1 || *start > 100)
        return std::nullopt;
    const auto days = WholeNumber(reader.Value("rolloutdays"));
    const QDate released = ParseInfoDate(reader.Date());
    if (!days || *days < 1 || !released.isValid() || !today.isValid())
        return *start;
    const qint64 elapsed = std::clamp<qint64>(released.daysTo(today), 0, *days);
    return static_cast<int>(*start + (100 - *start) * elapsed / *days);
}

} // namespace

ReleaseDecision DecideRelease(const TvuInfoFileReader& reader,
                              const TvuInstallation& installation) {
    ReleaseDecision decision;

    const std::string product = reader.Value("product");
    if (installation.Signed && product.empty())
        return Refuse(decision, InfoFileRefusal::OtherProduct, "it names no product");
    if (!product.empty() && product != installation.Product)
        return Refuse(decision, InfoFileRefusal::OtherProduct,
                      "it is for " + product + ", this is " + installation.Product);

    const std::string expires = reader.Value("expires");
    if (!expires.empty()) {
        const auto expiry = ParseExpiry(expires);
        if (!expiry)
            return Refuse(decision, InfoFileRefusal::Expired,
                          "'" + expires + "' is not a UTC instant");
        if (installation.Now >= *expiry)
            return Refuse(decision, InfoFileRefusal::Expired, "it expired " + expires);
    }

    // What is compared. A signed file must say it; an unsigned one falls back on today's date.
    bool newer = false;
    std::string installed;
    if (installation.ByNumber) {
        decision.Release = reader.Version();
        installed = installation.VersionNumber;
        if (installation.Signed && decision.Release.empty())
            return Refuse(decision, InfoFileRefusal::NoComparedValue, "no #version=");
        newer = Compare(decision.Release, installed) > 0;
    } else {
        const QDate date = ParseInfoDate(reader.Date());
        if (installation.Signed && !date.isValid())
            return Refuse(decision, InfoFileRefusal::NoComparedValue,
                          reader.Date().empty() ? "no #date="
                                                : "'" + reader.Date() + "' is not a date");
        const QDate release = date.isValid() ? date : installation.Today;
        decision.Release = FormatVersionDate(release);
        installed = installation.VersionDate;
        newer = ReadInfoDate(installed, installation.Today) < release;
    }

    std::string channel = reader.Value("channel");
    if (channel.empty())
        channel = kDefaultChannel;
    if (channel != installation.Channel) {
        decision.Verdict = ReleaseVerdict::OtherChannel;
        decision.Reason = "not offered: the release is on the channel '" + channel +
                          "', this installation follows '" + installation.Channel + "'";
        return decision;
    }

    if (!newer || reader.Entries().empty()) {
        decision.Verdict = ReleaseVerdict::NotNewer;
        decision.Reason = newer ? "not offered: the information file lists no files"
                                : "not newer: the release " + decision.Release +
                                      " is not newer than the installed " + installed;
        return decision;
    }

    decision.Critical = reader.Value("critical") == "1";
    const auto percent = RolloutPercent(reader, installation.Today);
    decision.RolloutPercent = percent.value_or(0);
    if (installation.Automatic && !decision.Critical) {
        if (!installation.Skipped.empty() && installation.Skipped == decision.Release) {
            decision.Verdict = ReleaseVerdict::Skipped;
            decision.Reason = "skipped: the user chose to skip the release " + decision.Release;
            return decision;
        }
        if (installation.Draw > decision.RolloutPercent) {
            decision.Verdict = ReleaseVerdict::HeldBack;
            decision.Reason = percent ? "held back by the rollout: offered to " +
                                            std::to_string(*percent) +
                                            "% of installations today, this one drew " +
                                            std::to_string(installation.Draw)
                                      : "held back by the rollout: '" + reader.Value("rollout") +
                                            "' is not a percentage from 1 to 100";
            return decision;
        }
    }

    const std::string minimum = reader.Value("minversion");
    const bool below = installation.ByNumber ? !minimum.empty() && Compare(installed, minimum) < 0
                                             : ParseInfoDate(minimum).isValid() &&
                                                   ReadInfoDate(installed, installation.Today) <
                                                       ParseInfoDate(minimum);
    const std::string critical = decision.Critical ? " (critical)" : "";
    if (below) {
        decision.Verdict = ReleaseVerdict::ReleasePageOnly;
        decision.Reason = "below the minimum version: the installed " + installed +
                          " is older than " + minimum + ", so the release " + decision.Release +
                          critical + " is offered through its page, not installed in place";
        return decision;
    }
    decision.Verdict = ReleaseVerdict::Offered;
    decision.Reason =
        "offered: the release " + decision.Release + critical + " is newer than " + installed;
    return decision;
}

std::optional<QDateTime> ParseExpiry(std::string_view text) {
    const QString value = QString::fromLatin1(text.data(), qsizetype(text.size()));
    // Only an instant: the date, "T", the time and a zone ("Z" or an offset).
    const qsizetype time = value.indexOf(u'T');
    if (time < 0 ||
        !(value.endsWith(u'Z') || value.indexOf(u'+', time) > 0 || value.indexOf(u'-', time) > 0))
        return std::nullopt;
    const QDateTime instant = QDateTime::fromString(value, Qt::ISODate);
    if (!instant.isValid())
        return std::nullopt;
    return instant.toUTC();
}

std::string FormatExpiry(const QDateTime& instant) {
    return instant.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")).toStdString();
}

bool ValidChannel(std::string_view name) {
    if (name.empty() || name.size() > 32)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

} // namespace vu

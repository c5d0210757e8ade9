// What one installation decides about the release an information file describes, from the keys
// that manage releases:
//
//   #product=     the application id the release is for (a signed file must name it)
//   #expires=     an instant in UTC (ISO 8601) after which the file is out of date
//   #channel=     the release's channel, "stable" when missing
//   #rollout=     percentage 1 to 100 of installations that automatic checks offer it to, growing
//   #rolloutdays= linearly from the release date ("#date=") to 100 over that many days
//   #critical=1   a release that fixes something serious: never held back or skipped
//   #minversion=  installations older than it get the release page instead of an upgrade in place
//
// A signed file must also carry the value the installation compares ("#date=" or "#version="):
// without it the file is refused rather than read as "released today".
//
// The upgrade component decides with it, and the publisher's tool prints the same decision for a
// given installation (`velmora-release verify --as`), so both always agree.
#pragma once

#include "upgrade/updater/vuInfoFileChecks.h"
#include "upgrade/updater/vuUpdaterInfoFile.h"

#include <QDate>
#include <QDateTime>

#include <optional>
#include <string>
#include <string_view>

namespace vu {

inline constexpr std::string_view kDefaultChannel = "stable";

// The installation that reads the information file.
struct TvuInstallation {
    bool ByNumber = false;     // compares "#version=" with VersionNumber, else "#date="
    std::string VersionNumber; // the installed version (dotted)
    std::string VersionDate;   // the installed release date, MM/DD/YYYY
    std::string Product;       // the program's application id
    std::string Channel = std::string(kDefaultChannel);
    bool Signed = false;    // the file had to be signed (keys are built in)
    bool Automatic = false; // a check the timer started, not one the user asked for
    int Draw = 0;           // this installation's rollout number, 1 to 100
    std::string Skipped;    // the release the user chose to skip; empty for none
    QDate Today;
    QDateTime Now; // UTC
};

enum class ReleaseVerdict {
    Offered,         // newer, and offered to this installation
    ReleasePageOnly, // newer, but the installation is below "#minversion=": release page only
    NotNewer,        // not newer, or no files listed
    OtherChannel,    // published on another channel
    HeldBack,        // an automatic check outside the staged rollout's share
    Skipped,         // an automatic check and the user skipped this release
    Refused          // the file must not be used at all (see Refusal)
};

struct ReleaseDecision {
    ReleaseVerdict Verdict = ReleaseVerdict::NotNewer;
    InfoFileRefusal Refusal = InfoFileRefusal::None; // with Refused
    bool Critical = false;
    // The release as the installation compares it (the version, or the date as MM/DD/YYYY):
    // what "skip this version" records.
    std::string Release;
    // The share of installations the release is offered to today by automatic checks.
    int RolloutPercent = 100;
    // One English line saying why, for the publisher's tool and the command line.
    std::string Reason;
};

ReleaseDecision DecideRelease(const TvuInfoFileReader& reader, const TvuInstallation& installation);

// Whether the decision lets the program offer the release (possibly through its page only).
inline bool IsOffered(ReleaseVerdict verdict) {
    return verdict == ReleaseVerdict::Offered || verdict == ReleaseVerdict::ReleasePageOnly;
}

// "#expires=": an ISO 8601 instant with "Z" or an offset, such as 2027-01-08T12:00:00Z. A value
// without a zone is not an instant and reads as nothing.
std::optional<QDateTime> ParseExpiry(std::string_view text);
// The form the publisher's tool writes: YYYY-MM-DDTHH:MM:SSZ.
std::string FormatExpiry(const QDateTime& instant);

// A channel name: 1 to 32 lower-case letters, digits, '-' or '_'.
bool ValidChannel(std::string_view name);

} // namespace vu

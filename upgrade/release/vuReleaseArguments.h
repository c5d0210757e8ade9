#pragma once

// The pieces of velmora-release's command line that its commands share: the usage and failure
// lines, the parsing of "--name value" options, and the checks of the values a signed
// information file is written from.

#include "upgrade/signing/vuEd25519.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vu {

namespace release {

// Options of the form "--name value"; everything else is positional, in order.
struct Arguments {
    std::vector<std::pair<std::string, std::string>> Options;
    std::vector<std::string> Positional;

    std::optional<std::string> One(const std::string& name) const {
        for (const auto& [n, v] : Options)
            if (n == name)
                return v;
        return std::nullopt;
    }
    int Count(const std::string& name) const {
        int count = 0;
        for (const auto& option : Options)
            count += option.first == name;
        return count;
    }
};

// `known` options take a value; `flags` take none and are recorded with the value "1". False,
// with the problem, on an unknown option or a missing value.
bool ParseArguments(const std::vector<std::string>& args, const std::vector<std::string>& known,
                    Arguments& parsed, std::string& problem,
                    const std::vector<std::string>& flags = {});

// The usage text, as --help prints it.
extern const char* const kUsage;

// The problem (if any) and the usage on err; returns 2.
int Usage(std::ostream& err, const std::string& problem);
// The problem on err; returns 1.
int Fail(std::ostream& err, const std::string& problem);

std::optional<std::string> ReadWholeFile(const std::string& path);

bool IsDigits(std::string_view text);
// MM/DD/YYYY naming a real calendar day.
bool ValidDate(const std::string& text);
// Dotted decimal numbers: 1, 1.2, 2.0.13 ...
bool ValidVersion(const std::string& text);
// No control character, blank or DEL: a value of the information file runs to the first one.
bool PrintableWithoutBlanks(std::string_view text);
// A name that can stand unescaped in an address and be installed as it is.
bool SafeFileName(const std::string& name);
std::string FileNameOfURL(const std::string& url);
// Every --public-key option as a key; empty, with the problem, when one is not a key.
std::vector<Ed25519PublicKey> ParseKeys(const Arguments& parsed, std::string& problem);
// "--expires": +DAYS from now, a day (midnight UTC at its start) or a UTC instant, ahead of now;
// the expiry as the information file writes it.
std::optional<std::string> ExpiryOption(const std::string& value, std::string& problem);
// A whole number from low to high.
bool InRange(const std::string& text, int low, int high);

} // namespace release

} // namespace vu

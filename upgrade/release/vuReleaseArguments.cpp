#include "upgrade/release/vuReleaseArguments.h"

#include "upgrade/updater/vuInfoFileChecks.h"
#include "upgrade/updater/vuReleaseDecision.h"
#include "upgrade/updater/vuUpdaterInfoFile.h"

#include <fstream>
#include <sstream>

#include <QDate>
#include <QDateTime>

namespace vu {

namespace release {

const char* const kUsage =
    "Usage:\n"
    "  velmora-release keygen PRIVATE_KEY_FILE\n"
    "  velmora-release sign --key PRIVATE_KEY_FILE --base-url URL\n"
    "                       [--date MM/DD/YYYY] [--version X.Y.Z] [--method 0|1|2]\n"
    "                       [--message-file FILE] [--product ID] [--channel NAME]\n"
    "                       [--expires YYYY-MM-DD[THH:MM:SSZ]|+DAYS] [--rollout PERCENT]\n"
    "                       [--rollout-days DAYS] [--critical] [--min-version VERSION_OR_DATE]\n"
    "                       FILE...\n"
    "  velmora-release renew --key PRIVATE_KEY_FILE --expires DATE|+DAYS INFO_FILE\n"
    "  velmora-release verify --public-key BASE64 [--public-key BASE64 ...]\n"
    "                       [--as VERSION_OR_DATE [--channel NAME] [--roll N] [--product ID]]\n"
    "                       INFO_FILE [FILE...]\n"
    "\n"
    "keygen writes a new Ed25519 private key (mode 0600) and prints its public key and key id.\n"
    "sign prints a signed upgrade information file listing each FILE as the base URL followed\n"
    "by its name, with its SHA-256 and size, in the order given: name the program file first.\n"
    "At least one of --date and --version is needed: the one the program compares.\n"
    "renew prints the signed file again with a new expiry and nothing else changed.\n"
    "verify checks the signature and, for each FILE given, its hash and size; with --as it\n"
    "prints what an installation of that version (or release date) would decide, and why.\n"
    "It exits with 0 only when everything holds (and, with --as, the release is offered).\n";

int Usage(std::ostream& err, const std::string& problem) {
    if (!problem.empty())
        err << "velmora-release: " << problem << "\n";
    err << kUsage;
    return 2;
}

int Fail(std::ostream& err, const std::string& problem) {
    err << "velmora-release: " << problem << "\n";
    return 1;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return text.str();
}

// `known` options take a value; `flags` take none and are recorded with the value "1".
bool ParseArguments(const std::vector<std::string>& args, const std::vector<std::string>& known,
                    Arguments& parsed, std::string& problem,
                    const std::vector<std::string>& flags) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            parsed.Positional.push_back(arg);
            continue;
        }
        bool isKnown = false, isFlag = false;
        for (const std::string& k : known)
            isKnown = isKnown || k == arg;
        for (const std::string& f : flags)
            isFlag = isFlag || f == arg;
        if (isFlag) {
            parsed.Options.emplace_back(arg, "1");
            continue;
        }
        if (!isKnown) {
            problem = "unknown option " + arg;
            return false;
        }
        if (i + 1 >= args.size()) {
            problem = "option " + arg + " needs a value";
            return false;
        }
        parsed.Options.emplace_back(arg, args[++i]);
    }
    return true;
}

bool IsDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool ValidDate(const std::string& text) {
    return text.size() == 10 && text[2] == '/' && text[5] == '/' &&
           IsDigits(std::string_view(text).substr(0, 2)) &&
           IsDigits(std::string_view(text).substr(3, 2)) &&
           IsDigits(std::string_view(text).substr(6, 4)) && ParseInfoDate(text).isValid();
}

bool ValidVersion(const std::string& text) {
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = text.find('.', start);
        if (!IsDigits(std::string_view(text).substr(start, dot - start)))
            return false;
        if (dot == std::string::npos)
            return true;
        start = dot + 1;
    }
}

// A value of the information file runs to the first control character: none may stand inside.
bool PrintableWithoutBlanks(std::string_view text) {
    for (unsigned char c : text)
        if (c <= 32 || c == 127)
            return false;
    return true;
}

// File names are written into addresses unescaped and installed under the same name.
bool SafeFileName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || !PrintableWithoutBlanks(name))
        return false;
    return name.find_first_of("#?%\"\\/") == std::string::npos;
}

std::string FileNameOfURL(const std::string& url) {
    const std::size_t slash = url.find_last_of('/');
    return slash == std::string::npos ? url : url.substr(slash + 1);
}

std::vector<Ed25519PublicKey> ParseKeys(const Arguments& parsed, std::string& problem) {
    std::vector<Ed25519PublicKey> keys;
    for (const auto& [name, value] : parsed.Options) {
        if (name != "--public-key")
            continue;
        auto key = ParsePublicKey(value);
        if (!key) {
            problem = "'" + value + "' is not a base64 Ed25519 public key";
            return {};
        }
        keys.push_back(*key);
    }
    return keys;
}

// "--expires": +DAYS from now, a day (midnight UTC at its start) or a UTC instant; it must lie
// ahead.
std::optional<std::string> ExpiryOption(const std::string& value, std::string& problem) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    std::optional<QDateTime> expiry;
    if (value.size() > 1 && value[0] == '+' && IsDigits(std::string_view(value).substr(1)) &&
        value.size() <= 6)
        expiry = now.addDays(std::stoi(value.substr(1)));
    else if (const QDate day = QDate::fromString(QString::fromStdString(value), Qt::ISODate);
             value.size() == 10 && day.isValid())
        expiry = QDateTime(day, QTime(0, 0), Qt::UTC);
    else
        expiry = ParseExpiry(value);
    if (!expiry) {
        problem = "--expires must be +DAYS, YYYY-MM-DD or an instant such as 2027-01-31T12:00:00Z";
        return std::nullopt;
    }
    if (*expiry <= now) {
        problem = "--expires " + value + " lies in the past";
        return std::nullopt;
    }
    return FormatExpiry(*expiry);
}

bool InRange(const std::string& text, int low, int high) {
    return IsDigits(text) && text.size() <= 6 && std::stoi(text) >= low && std::stoi(text) <= high;
}

} // namespace release

} // namespace vu

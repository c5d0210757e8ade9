#include "upgrade/release/vuReleaseCommands.h"

#include "upgrade/release/vuReleaseArguments.h"

#include "upgrade/signing/vuEd25519.h"
#include "upgrade/signing/vuFileDigest.h"
#include "upgrade/signing/vuSignedInfoFile.h"
#include "upgrade/updater/vuInfoFileChecks.h"
#include "upgrade/updater/vuReleaseDecision.h"
#include "upgrade/updater/vuUpdaterInfoFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include <QDateTime>

namespace vu {

namespace release {

namespace {

// Prints body followed by its signature line.
int WriteSigned(const std::string& body, const Ed25519PrivateKey& key, std::ostream& out,
                std::ostream& err) {
    const std::string signature = InfoFileSignatureLine(body, key);
    if (signature.empty())
        return Fail(err, "could not sign");
    out << body << signature << "\n";
    out.flush();
    return out ? 0 : Fail(err, "cannot write the information file");
}

// What an installation of `as` (a version, or a release date) would decide about the verified
// file: the program's own decision, after the program's own checks.
ReleaseDecision DecideAs(const std::string& as, const std::optional<std::string>& channel,
                         const std::optional<std::string>& roll,
                         const std::optional<std::string>& product,
                         const InfoFileVerification& verification,
                         const std::vector<InfoFileEntry>& entries) {
    ReleaseDecision refused;
    refused.Verdict = ReleaseVerdict::Refused;
    if (verification.Result != InfoFileSignature::Valid) {
        refused.Reason = std::string("refused: ") + SignatureResultText(verification.Result);
        return refused;
    }
    std::vector<FileExpectation> expected;
    for (const InfoFileEntry& entry : entries)
        expected.push_back({entry.Sha256, entry.Size});
    // Published over the network, checked by a program with keys built in.
    InfoFileRefusal refusal = CheckInfoFileEntries("", entries);
    if (refusal == InfoFileRefusal::None)
        refusal = CheckUpgradeFiles(expected, true);
    if (refusal != InfoFileRefusal::None) {
        refused.Refusal = refusal;
        refused.Reason = std::string("refused: ") + InfoFileRefusalText(refusal);
        return refused;
    }
    TvuInstallation installation;
    installation.ByNumber = !ValidDate(as);
    (installation.ByNumber ? installation.VersionNumber : installation.VersionDate) = as;
    installation.Product = product.value_or(VU_PRODUCT_ID);
    installation.Channel = channel.value_or(std::string(kDefaultChannel));
    installation.Signed = true;
    // With a rollout number, an automatic check of that installation; without, a check the
    // user asked for, which the rollout never holds back.
    installation.Automatic = roll.has_value();
    installation.Draw = roll ? std::stoi(*roll) : 0;
    installation.Now = QDateTime::currentDateTimeUtc();
    installation.Today = QDate::currentDate();
    return DecideRelease(TvuInfoFileReader(std::string(verification.SignedText)), installation);
}

} // namespace

int Keygen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1 || args[0].empty() || args[0].compare(0, 1, "-") == 0)
        return Usage(err, "keygen takes exactly one argument, the private key file");
    const std::string& path = args[0];
    const Ed25519PrivateKey key = Ed25519PrivateKey::Generate();
    const std::string pem = key.ToPem();
    const auto publicKey = key.PublicKey();
    if (pem.empty() || !publicKey)
        return Fail(err, "could not generate a key");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return Fail(err, "cannot create " + path + ": " + std::strerror(errno) +
                             (errno == EEXIST ? " (an existing key is never overwritten)" : ""));
    bool ok = ::fchmod(fd, 0600) == 0;
    std::size_t written = 0;
    while (ok && written < pem.size()) {
        const ssize_t n = ::write(fd, pem.data() + written, pem.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        written += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    const int saved = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(path.c_str());
        return Fail(err, "cannot write " + path + ": " + std::strerror(saved));
    }
    out << "public-key: " << PublicKeyBase64(*publicKey) << "\n";
    out << "key-id: " << KeyId(*publicKey) << "\n";
    return 0;
}

int Sign(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments parsed;
    std::string problem;
    const std::vector<std::string> known = {
        "--key",     "--base-url", "--date",    "--version", "--method",       "--message-file",
        "--product", "--channel",  "--expires", "--rollout", "--rollout-days", "--min-version"};
    if (!ParseArguments(args, known, parsed, problem, {"--critical"}))
        return Usage(err, problem);
    for (const std::string& name : known)
        if (parsed.Count(name) > 1)
            return Usage(err, "option " + name + " given more than once");
    const auto keyFile = parsed.One("--key");
    auto baseURL = parsed.One("--base-url");
    const auto date = parsed.One("--date");
    const auto version = parsed.One("--version");
    const std::string method = parsed.One("--method").value_or("0");
    const std::string product = parsed.One("--product").value_or(VU_PRODUCT_ID);
    const std::string channel = parsed.One("--channel").value_or(std::string(kDefaultChannel));
    const auto rollout = parsed.One("--rollout");
    const auto rolloutDays = parsed.One("--rollout-days");
    const auto minVersion = parsed.One("--min-version");
    if (!keyFile || !baseURL)
        return Usage(err, "sign needs --key and --base-url");
    if (!date && !version)
        return Usage(err, "sign needs --date or --version (or both)");
    if (date && !ValidDate(*date))
        return Usage(err, "--date must be a real day written MM/DD/YYYY");
    if (version && !ValidVersion(*version))
        return Usage(err, "--version must be dotted numbers such as 1.2.0");
    if (method != "0" && method != "1" && method != "2")
        return Usage(err, "--method must be 0, 1 or 2");
    if (baseURL->empty() || !PrintableWithoutBlanks(*baseURL))
        return Usage(err, "--base-url must not be empty or contain blanks or control characters");
    if (product.empty() || !PrintableWithoutBlanks(product))
        return Usage(err, "--product must be an application id without blanks");
    if (!ValidChannel(channel))
        return Usage(err, "--channel must be 1 to 32 lower-case letters, digits, '-' or '_'");
    std::optional<std::string> expires;
    if (const auto value = parsed.One("--expires");
        value && !(expires = ExpiryOption(*value, problem)))
        return Usage(err, problem);
    if (rollout && !InRange(*rollout, 1, 100))
        return Usage(err, "--rollout must be a percentage from 1 to 100");
    if (rolloutDays && (!rollout || !date || !InRange(*rolloutDays, 1, 36500)))
        return Usage(err, "--rollout-days needs --rollout and --date and is a number of days");
    // The minimum is written the way the program compares: a version, or a date.
    if (minVersion && !(ValidVersion(*minVersion) && version) && !(ValidDate(*minVersion) && date))
        return Usage(err, "--min-version must be a version (with --version) or MM/DD/YYYY (with "
                          "--date)");
    if (parsed.Positional.empty())
        return Usage(err, "sign needs at least one file to list");
    if (baseURL->back() != '/')
        *baseURL += '/';

    const auto pem = ReadWholeFile(*keyFile);
    if (!pem)
        return Fail(err, "cannot read the private key " + *keyFile);
    const Ed25519PrivateKey key = Ed25519PrivateKey::FromPem(*pem);
    if (!key.Valid())
        return Fail(err, *keyFile + " holds no Ed25519 private key");

    std::string message;
    if (const auto messageFile = parsed.One("--message-file")) {
        const auto text = ReadWholeFile(*messageFile);
        if (!text)
            return Fail(err, "cannot read the message file " + *messageFile);
        // The message block ends at the first "}".
        if (text->find('}') != std::string::npos)
            return Fail(err, "the message must not contain '}'");
        message = *text;
    }

    std::string body;
    if (date)
        body += "#date=" + *date + "\n";
    if (version)
        body += "#version=" + *version + "\n";
    body += "#method=" + method + "\n";
    std::vector<InfoFileEntry> listed;
    for (std::size_t i = 0; i < parsed.Positional.size(); ++i) {
        const std::string& path = parsed.Positional[i];
        const std::string name = std::filesystem::path(path).filename().string();
        if (!SafeFileName(name))
            return Fail(err, "the file name '" + name +
                                 "' cannot be listed: use letters, digits and . _ - + only");
        const auto digest = DigestFile(path);
        if (!digest || !std::filesystem::is_regular_file(path))
            return Fail(err, "cannot read " + path);
        // url, then url2, url3, ...: after one file the numbering goes on at 2.
        const std::string number = i == 0 ? "" : std::to_string(i + 1);
        const InfoFileEntry entry{*baseURL + name, digest->Sha256, std::to_string(digest->Size)};
        body += "#url" + number + "=" + entry.Url + "\n";
        body += "#sha256" + number + "=" + entry.Sha256 + "\n";
        body += "#size" + number + "=" + entry.Size + "\n";
        listed.push_back(entry);
    }
    // The keys that manage the release, each in the order a reader of the file meets them.
    const std::vector<std::pair<std::string, std::optional<std::string>>> release = {
        {"product", product},         {"channel", channel},
        {"expires", expires},         {"rollout", rollout},
        {"rolloutdays", rolloutDays}, {"critical", parsed.One("--critical")},
        {"minversion", minVersion}};
    for (const auto& [name, value] : release)
        if (value)
            body += "#" + name + "=" + *value + "\n";
    if (!message.empty())
        body += "#message={" + message + "}\n";

    // Read the result back as the program will: a marker hidden in the message or a file name
    // must not change what is listed.
    const TvuInfoFileReader reader(body);
    bool same = reader.Entries() == listed &&
                reader.Method() == static_cast<InfoFileMethod>(method[0] - '0') &&
                reader.Date() == date.value_or("") && reader.Version() == version.value_or("");
    for (const auto& [name, value] : release)
        same = same && reader.Value(name) == value.value_or("");
    if (!same)
        return Fail(err, "the message contains text that reads as a key of the information file "
                         "(a '#' followed by a key and '='); reword it");
    return WriteSigned(body, key, out, err);
}

int Renew(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments parsed;
    std::string problem;
    if (!ParseArguments(args, {"--key", "--expires"}, parsed, problem))
        return Usage(err, problem);
    const auto keyFile = parsed.One("--key");
    const auto value = parsed.One("--expires");
    if (!keyFile || !value || parsed.Positional.size() != 1 || parsed.Count("--key") > 1 ||
        parsed.Count("--expires") > 1)
        return Usage(err, "renew needs --key, --expires and the information file");
    const auto expires = ExpiryOption(*value, problem);
    if (!expires)
        return Usage(err, problem);
    const auto pem = ReadWholeFile(*keyFile);
    const Ed25519PrivateKey key = pem ? Ed25519PrivateKey::FromPem(*pem) : Ed25519PrivateKey();
    const auto publicKey = key.PublicKey();
    if (!key.Valid() || !publicKey)
        return Fail(err, *keyFile + " cannot be read as an Ed25519 private key");
    const auto text = ReadWholeFile(parsed.Positional.front());
    if (!text)
        return Fail(err, "cannot read " + parsed.Positional.front());
    // Only a file this key signed, unchanged, is signed again.
    const InfoFileVerification verification = VerifyInfoFile(*text, {*publicKey});
    if (verification.Result != InfoFileSignature::Valid)
        return Fail(err, parsed.Positional.front() + ": " +
                             SignatureResultText(verification.Result) + " for this key");
    const std::string old(verification.SignedText);
    std::string body = old;
    // The value the program reads is the first "#expires=" marker's: replace it, or add one.
    std::string lower = body;
    for (char& c : lower)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    const std::size_t marker = lower.find("#expires=");
    if (marker == std::string::npos) {
        if (!body.empty() && body.back() != '\n')
            body += "\n";
        body += "#expires=" + *expires + "\n";
    } else {
        const std::size_t start = marker + 9;
        std::size_t end = start;
        while (end < body.size() && static_cast<unsigned char>(body[end]) >= 32)
            ++end;
        body.replace(start, end - start, *expires);
    }
    // Nothing but the expiry may read differently.
    const TvuInfoFileReader before(old), after(body);
    bool same = after.Value("expires") == *expires && before.Entries() == after.Entries() &&
                before.Message() == after.Message() && before.Method() == after.Method();
    for (const char* name : {"date", "version", "product", "channel", "rollout", "rolloutdays",
                             "critical", "minversion"})
        same = same && before.Value(name) == after.Value(name);
    if (!same)
        return Fail(err, "the new expiry would change how the file reads (is it inside the "
                         "message?); sign the release again instead");
    return WriteSigned(body, key, out, err);
}

int Verify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments parsed;
    std::string problem;
    if (!ParseArguments(args, {"--public-key", "--as", "--channel", "--roll", "--product"}, parsed,
                        problem))
        return Usage(err, problem);
    const std::vector<Ed25519PublicKey> keys = ParseKeys(parsed, problem);
    if (!problem.empty())
        return Usage(err, problem);
    if (keys.empty())
        return Usage(err, "verify needs at least one --public-key");
    if (parsed.Positional.empty())
        return Usage(err, "verify needs the information file");
    for (const char* name : {"--as", "--channel", "--roll", "--product"})
        if (parsed.Count(name) > 1)
            return Usage(err, std::string("option ") + name + " given more than once");
    const auto as = parsed.One("--as");
    const auto roll = parsed.One("--roll");
    const auto channel = parsed.One("--channel");
    if (!as && (roll || channel || parsed.One("--product")))
        return Usage(err, "--channel, --roll and --product describe the installation of --as");
    if (as && !ValidVersion(*as) && !ValidDate(*as))
        return Usage(err, "--as must be a version such as 1.2.0 or a date MM/DD/YYYY");
    if (channel && !ValidChannel(*channel))
        return Usage(err, "--channel must be 1 to 32 lower-case letters, digits, '-' or '_'");
    if (roll && !InRange(*roll, 1, 100))
        return Usage(err, "--roll must be a number from 1 to 100");
    const std::string& infoPath = parsed.Positional.front();
    const auto text = ReadWholeFile(infoPath);
    if (!text)
        return Fail(err, "cannot read " + infoPath);

    bool ok = true;
    const InfoFileVerification verification = VerifyInfoFile(*text, keys);
    out << infoPath << ": " << SignatureResultText(verification.Result);
    if (!verification.KeyId.empty())
        out << " (key " << verification.KeyId << ")";
    out << "\n";
    ok = verification.Result == InfoFileSignature::Valid;

    // Only what the signature covers counts.
    const TvuInfoFileReader reader{std::string(verification.SignedText)};
    const std::vector<InfoFileEntry> entries = reader.Entries();
    for (std::size_t i = 1; i < parsed.Positional.size(); ++i) {
        const std::string& path = parsed.Positional[i];
        const std::string name = std::filesystem::path(path).filename().string();
        const InfoFileEntry* entry = nullptr;
        for (const InfoFileEntry& e : entries)
            if (FileNameOfURL(e.Url) == name) {
                entry = &e;
                break;
            }
        std::string verdict;
        if (entry == nullptr)
            verdict = "not listed";
        else if (entry->Sha256.empty())
            verdict = "listed without a hash";
        else {
            switch (CheckFile(path, {entry->Sha256, entry->Size})) {
            case FileCheck::Match:
                verdict = "ok";
                break;
            case FileCheck::SizeMismatch:
                verdict = "size differs from the listed " + entry->Size + " bytes";
                break;
            case FileCheck::HashMismatch:
                verdict = "SHA-256 differs from the listed one";
                break;
            case FileCheck::Unreadable:
                verdict = "cannot be read";
                break;
            case FileCheck::BadExpectation:
                verdict = "listed with a malformed hash or size";
                break;
            }
        }
        out << path << ": " << verdict << "\n";
        ok = ok && verdict == "ok";
    }
    if (as) {
        const ReleaseDecision decision =
            DecideAs(*as, channel, roll, parsed.One("--product"), verification, entries);
        out << "as " << *as << ": " << decision.Reason << "\n";
        ok = ok && decision.Verdict == ReleaseVerdict::Offered;
    }
    return ok ? 0 : 1;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty())
        return Usage(err, "");
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command == "keygen")
        return Keygen(rest, out, err);
    if (command == "sign")
        return Sign(rest, out, err);
    if (command == "renew")
        return Renew(rest, out, err);
    if (command == "verify")
        return Verify(rest, out, err);
    return Usage(err, "unknown command " + command);
}

} // namespace release

} // namespace vu

// The manifest and the journal as the replacement helper reads them, in a scratch program folder
// whose files the input chooses. The input is a two-byte choice of the files present, then the
// journal's text, a NUL byte and the manifest's text.
//
// A journal left behind is recovered: nothing outside the program folder changes, no file gains
// content that was not there before, and the journal is gone afterwards (a folder in the way of a
// file being put back is the one thing that may keep it). Without a journal the manifest is read
// and its plan installed and undone again: the install puts each download's content under its
// target name, and undoing it leaves every file that was not part of the plan as it was and
// every target with its old content.
#include "tests/fuzz/fuzz_check.h"
#include "upgrade/replacer/vuReplaceTransaction.h"
#include "upgrade/replacer/vuReplacerCommandLine.h"

#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace vu::replacer;

namespace {

// Name -> what it is: "file:" + content, "link:" + target or "folder".
using Snapshot = std::map<std::string, std::string>;

std::string ReadFile(const std::string& path) {
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW);
    FUZZ_CHECK(fd >= 0);
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return text;
}

Snapshot Take(const std::string& folder) {
    Snapshot snapshot;
    DIR* dir = opendir(folder.c_str());
    FUZZ_CHECK(dir != nullptr);
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + name;
        struct stat st {};
        FUZZ_CHECK(lstat(path.c_str(), &st) == 0);
        if (S_ISREG(st.st_mode)) {
            snapshot[name] = "file:" + ReadFile(path);
        } else if (S_ISLNK(st.st_mode)) {
            char target[512];
            const ssize_t n = readlink(path.c_str(), target, sizeof target);
            snapshot[name] = "link:" + std::string(target, n > 0 ? static_cast<std::size_t>(n) : 0);
        } else {
            snapshot[name] = "folder";
        }
    }
    closedir(dir);
    return snapshot;
}

void Clear(const std::string& folder) {
    for (const auto& [name, kind] : Take(folder)) {
        const std::string path = folder + name;
        FUZZ_CHECK((kind == "folder" ? rmdir(path.c_str()) : unlink(path.c_str())) == 0);
    }
}

struct Scratch {
    std::string root, folder, outside, program;
    Scratch() {
        char name[] = "/tmp/velmora-fuzz-XXXXXX";
        root = mkdtemp(name);
        folder = root + "/program/";
        outside = root + "/outside";
        program = folder + "prog";
        mkdir(folder.c_str(), 0755);
        WriteFile(outside, "outside\n");
    }
    ~Scratch() {
        Clear(folder);
        rmdir(folder.c_str());
        unlink(outside.c_str());
        rmdir(root.c_str());
    }
    static void WriteFile(const std::string& path, const std::string& text) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        FUZZ_CHECK(fd >= 0);
        FUZZ_CHECK(write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()));
        close(fd);
    }
};

const Scratch& Folder() {
    static const Scratch scratch;
    return scratch;
}

// The files the input may choose, each with a content of its own.
struct Candidate {
    const char* name;
    enum { File, Link, Folder } kind;
    const char* content; // a file's content or a link's target
};
const Candidate kCandidates[] = {
    {"prog", Candidate::File, "#!old program\n"},
    {"prog.uTMP", Candidate::File, "#!new program\n"},
    {"prog.uBAK", Candidate::File, "stale backup of the program\n"},
    {"a", Candidate::File, "old a\n"},
    {"a.uTMP", Candidate::File, "new a\n"},
    {"a.uBAK", Candidate::File, "stale backup of a\n"},
    {"b.uTMP", Candidate::File,
     "\x7f"
     "ELF new b\n"},
    {"b", Candidate::Folder, ""},
    {"c", Candidate::Link, "../outside"},
    {"c.uTMP", Candidate::File, "new c\n"},
    {"c.uBAK", Candidate::Link, "../outside"},
    {"d.uTMP", Candidate::Link, "../outside"},
    {"prog.uOK", Candidate::File, ""},
    {"setup.uTMP", Candidate::File, "#!setup\n"},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const Scratch& scratch = Folder();
    const unsigned chosen = data[0] | static_cast<unsigned>(data[1]) << 8;
    const std::string rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::size_t nul = rest.find('\0');
    const std::string journal = rest.substr(0, nul);
    const std::string manifest = nul == std::string::npos ? std::string() : rest.substr(nul + 1);

    Clear(scratch.folder);
    bool folderPresent = false;
    for (std::size_t i = 0; i < std::size(kCandidates); ++i) {
        if (!(chosen & (1u << i)))
            continue;
        const Candidate& c = kCandidates[i];
        const std::string path = scratch.folder + c.name;
        if (c.kind == Candidate::File)
            Scratch::WriteFile(path, c.content);
        else if (c.kind == Candidate::Link)
            FUZZ_CHECK(symlink(c.content, path.c_str()) == 0);
        else
            folderPresent = mkdir(path.c_str(), 0755) == 0;
    }
    if (!manifest.empty())
        Scratch::WriteFile(ManifestPath(scratch.program), manifest);
    const bool externalSetup = chosen & 0x8000;
    const Snapshot outsideBefore = Take(scratch.root + "/");

    if (!journal.empty()) {
        Scratch::WriteFile(JournalPath(scratch.program), journal);
        const Snapshot before = Take(scratch.folder);
        std::set<std::string> contents;
        for (const auto& [name, kind] : before)
            contents.insert(kind);
        RecoverAbandonedUpgrade(scratch.program);
        for (const auto& [name, kind] : Take(scratch.folder))
            FUZZ_CHECK(contents.count(kind) == 1 || kind == "file:");
        FUZZ_CHECK(folderPresent || access(JournalPath(scratch.program).c_str(), F_OK) != 0);
    } else {
        // The helper installs nothing when a recorded download changed, and plans only the
        // recorded ones; the plan is checked here over every listed name, recorded or not.
        const std::vector<ManifestEntry> entries = ReadManifest(ManifestPath(scratch.program));
        const std::string changed = FirstChangedDownload(scratch.folder, entries);
        std::vector<std::string> names;
        bool changedListed = changed.empty();
        for (const ManifestEntry& entry : entries) {
            FUZZ_CHECK(!entry.pendingName.empty() &&
                       entry.pendingName.find('\n') == std::string::npos);
            FUZZ_CHECK(!entry.recorded ||
                       entry.sha256.find_first_not_of("0123456789abcdef") == std::string::npos);
            changedListed = changedListed || (entry.recorded && entry.pendingName == changed);
            names.push_back(entry.pendingName);
        }
        FUZZ_CHECK(changedListed);
        const InstallPlan plan = PlanInstallation(scratch.program, externalSetup, names);
        const Snapshot before = Take(scratch.folder);
        std::set<std::string> touched = {NameOf(ManifestPath(scratch.program)),
                                         NameOf(ConfirmationPath(scratch.program))};
        std::set<std::string> targets;
        for (const PlannedFile& file : plan.files) {
            FUZZ_CHECK(file.targetName.find('/') == std::string::npos);
            FUZZ_CHECK(targets.insert(file.targetName).second);
            FUZZ_CHECK(before.count(file.pendingName) == 1 &&
                       before.at(file.pendingName).rfind("file:", 0) == 0);
            touched.insert({file.pendingName, file.targetName, file.targetName + kBackupSuffix});
        }
        FUZZ_CHECK(FolderOf(plan.programPath) == scratch.folder);
        if (!plan.files.empty()) {
            std::unique_ptr<Journal> transaction = Journal::Begin(scratch.program, plan);
            FUZZ_CHECK(transaction != nullptr);
            if (transaction->Install()) {
                const Snapshot installed = Take(scratch.folder);
                for (const PlannedFile& file : plan.files)
                    FUZZ_CHECK(installed.count(file.targetName) == 1 &&
                               installed.at(file.targetName) == before.at(file.pendingName));
                FUZZ_CHECK(transaction->RollBack());
            }
            transaction.reset();
            const Snapshot after = Take(scratch.folder);
            for (const auto& [name, kind] : before)
                if (touched.count(name) == 0)
                    FUZZ_CHECK(after.count(name) == 1 && after.at(name) == kind);
            for (const PlannedFile& file : plan.files) {
                FUZZ_CHECK(after.count(file.pendingName) == 0);
                FUZZ_CHECK(after.count(file.targetName) == before.count(file.targetName));
                if (before.count(file.targetName) == 1)
                    FUZZ_CHECK(after.at(file.targetName) == before.at(file.targetName));
            }
            FUZZ_CHECK(after.count(NameOf(JournalPath(scratch.program))) == 0);
        }
    }
    FUZZ_CHECK(Take(scratch.root + "/") == outsideBefore);
    FUZZ_CHECK(ReadFile(scratch.outside) == "outside\n");
    return 0;
}

#include "crash_states.h"

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vutest {

namespace {

std::string FolderOf(const std::string& name) {
    const std::string::size_type slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

bool ChangesNames(DiskChange change) {
    return change == DiskChange::Create || change == DiskChange::Rename ||
           change == DiskChange::Link || change == DiskChange::Unlink;
}

// Applies a change of names. A rename moves the name only when its source still names the file:
// on a disk where the source's creation never landed the target appears all the same.
void ApplyName(const DiskOperation& op, std::map<std::string, std::uint64_t>& names) {
    switch (op.change) {
    case DiskChange::Create:
        names[op.name] = op.file;
        break;
    case DiskChange::Rename: {
        const auto from = names.find(op.name);
        if (from != names.end() && from->second == op.file)
            names.erase(from);
        names[op.to] = op.file;
        break;
    }
    case DiskChange::Link:
        names[op.to] = op.file;
        break;
    case DiskChange::Unlink:
        names.erase(op.name);
        break;
    default:
        break;
    }
}

std::string ReadWhole(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot read " + path);
    std::string data;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    if (n < 0)
        throw std::runtime_error("cannot read " + path);
    return data;
}

} // namespace

DiskState ReadDiskState(const std::string& root) {
    namespace fs = std::filesystem;
    DiskState state;
    std::map<std::pair<dev_t, ino_t>, std::uint64_t> numbers;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        struct stat st {};
        if (lstat(entry.path().c_str(), &st) != 0)
            throw std::runtime_error("cannot stat " + entry.path().string());
        if (S_ISDIR(st.st_mode)) {
            state.folders.insert(name);
        } else if (S_ISREG(st.st_mode)) {
            auto [it, added] =
                numbers.emplace(std::make_pair(st.st_dev, st.st_ino), numbers.size() + 1);
            if (added)
                state.files[it->second] = {ReadWhole(entry.path()), st.st_mode & 07777};
            state.names[name] = it->second;
        } else {
            throw std::runtime_error("neither file nor folder: " + name);
        }
    }
    return state;
}

void WriteDiskState(const DiskState& state, const std::string& root) {
    const std::string base = root.empty() || root.back() == '/' ? root : root + "/";
    for (const std::string& folder : state.folders)
        if (::mkdir((base + folder).c_str(), 0755) != 0)
            throw std::runtime_error("cannot create " + folder);
    std::map<std::uint64_t, std::string> written;
    for (const auto& [name, number] : state.names) {
        const std::string path = base + name;
        if (const auto first = written.find(number); first != written.end()) {
            if (::link((base + first->second).c_str(), path.c_str()) != 0)
                throw std::runtime_error("cannot link " + name);
            continue;
        }
        const DiskFile& file = state.files.at(number);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        bool ok = fd >= 0 && ::write(fd, file.data.data(), file.data.size()) ==
                                 static_cast<ssize_t>(file.data.size());
        if (fd >= 0)
            ok = ::close(fd) == 0 && ok;
        if (!ok || ::chmod(path.c_str(), file.mode) != 0)
            throw std::runtime_error("cannot write " + name);
        written[number] = name;
    }
}

std::string Fingerprint(const DiskState& state) {
    std::string print;
    for (const std::string& folder : state.folders)
        print += "folder " + folder + "\n";
    std::map<std::uint64_t, std::string> first;
    for (const auto& [name, number] : state.names) {
        const auto [it, added] = first.emplace(number, name);
        const DiskFile& file = state.files.at(number);
        print += name + " " + std::to_string(file.mode) + " " + std::to_string(file.data.size()) +
                 " " + std::to_string(std::hash<std::string>{}(file.data)) + " " + it->second +
                 "\n";
    }
    return print;
}

std::vector<CrashState> CrashStatesAt(const DiskState& initial,
                                      const std::vector<DiskOperation>& log, std::size_t point) {
    DiskState written = initial; // everything that reached the disk
    DiskState synced = initial;  // what a sync has made durable
    std::vector<const DiskOperation*> unsynced;
    for (std::size_t i = 0; i < point && i < log.size(); ++i) {
        const DiskOperation& op = log[i];
        DiskFile* file = written.files.count(op.file) ? &written.files[op.file] : nullptr;
        switch (op.change) {
        case DiskChange::Create:
            written.files[op.file] = {"", op.mode};
            synced.files[op.file] = {"", op.mode};
            break;
        case DiskChange::Write:
            if (file) {
                if (file->data.size() < op.offset + op.data.size())
                    file->data.resize(op.offset + op.data.size());
                file->data.replace(op.offset, op.data.size(), op.data);
            }
            break;
        case DiskChange::Truncate:
            if (file)
                file->data.resize(op.offset);
            break;
        case DiskChange::Chmod:
            if (file)
                file->mode = op.mode;
            break;
        case DiskChange::SyncFile:
            if (file) {
                DiskFile& durable = synced.files[op.file];
                durable.data = file->data;
                if (!op.dataOnly)
                    durable.mode = file->mode;
            }
            break;
        case DiskChange::SyncFolder: {
            std::vector<const DiskOperation*> rest;
            for (const DiskOperation* change : unsynced) {
                if (FolderOf(change->name) == op.name)
                    ApplyName(*change, synced.names);
                else
                    rest.push_back(change);
            }
            unsynced = std::move(rest);
            break;
        }
        default:
            break;
        }
        if (ChangesNames(op.change)) {
            ApplyName(op, written.names);
            unsynced.push_back(&op);
        }
    }
    if (unsynced.size() > kMaxUnsyncedNames)
        throw std::runtime_error("too many unsynced name changes to combine: " +
                                 std::to_string(unsynced.size()));

    std::vector<CrashState> states;
    states.push_back({"everything written survived", written});
    for (std::size_t mask = 0; mask < (std::size_t{1} << unsynced.size()); ++mask) {
        CrashState state{"only what was synced survived", synced};
        for (std::size_t j = 0; j < unsynced.size(); ++j) {
            if ((mask & (std::size_t{1} << j)) == 0)
                continue;
            ApplyName(*unsynced[j], state.disk.names);
            state.label += (state.label.find(", and ") == std::string::npos ? ", and " : "; ") +
                           Describe(*unsynced[j]);
        }
        states.push_back(std::move(state));
    }
    return states;
}

std::string Describe(const DiskOperation& op) {
    switch (op.change) {
    case DiskChange::Create:
        return "create " + op.name;
    case DiskChange::Write:
        return "write " + std::to_string(op.data.size()) + " bytes at " +
               std::to_string(op.offset) + " to file " + std::to_string(op.file);
    case DiskChange::Truncate:
        return "truncate file " + std::to_string(op.file) + " to " + std::to_string(op.offset);
    case DiskChange::Chmod:
        return "chmod file " + std::to_string(op.file);
    case DiskChange::Rename:
        return "rename " + op.name + " " + op.to;
    case DiskChange::Link:
        return "link " + op.name + " " + op.to;
    case DiskChange::Unlink:
        return "unlink " + op.name;
    case DiskChange::SyncFile:
        return (op.dataOnly ? "fdatasync file " : "fsync file ") + std::to_string(op.file);
    case DiskChange::SyncFolder:
        return "fsync folder " + (op.name.empty() ? std::string("/") : op.name);
    }
    return "?";
}

} // namespace vutest

#pragma once

// A tiny file system of its own (tmpfs) mounted on a fresh temporary folder, so that a test can
// fill a disk for real. Mounting needs root; where it is refused, mounted() is false and the
// test skips itself.

#include <cstdlib>
#include <string>

#include <sys/mount.h>
#include <unistd.h>

namespace vutest {

class SmallDisk {
public:
    explicit SmallDisk(std::size_t bytes) {
        char pattern[] = "/tmp/vu-small-disk-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            return;
        path_ = pattern;
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        mounted_ = mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            umount2(path_.c_str(), MNT_DETACH);
        if (!path_.empty())
            rmdir(path_.c_str());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    // The mounted folder with a trailing "/".
    std::string path() const { return path_ + "/"; }

private:
    std::string path_;
    bool mounted_ = false;
};

} // namespace vutest

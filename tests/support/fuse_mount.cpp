#define FUSE_USE_VERSION 31
#include "tests/support/fuse_mount.h"

#include <fuse3/fuse.h>

#include <cstdlib>
#include <sys/mount.h>
#include <unistd.h>

namespace vutest {

bool FuseMount::mount(const fuse_operations& operations, void* owner, const std::string& name,
                      Serving serving, bool inodeNumbers) {
    if (mounted() || ::access("/dev/fuse", R_OK | W_OK) != 0)
        return false;
    std::string pattern = "/tmp/vu-" + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        return false;
    path_ = pattern;
    owner_ = owner;
    inodeNumbers_ = inodeNumbers;
    fuse_operations withInit = operations;
    withInit.init = [](fuse_conn_info*, fuse_config* config) -> void* {
        const auto* self = static_cast<FuseMount*>(fuse_get_context()->private_data);
        config->hard_remove = 1;
        config->nullpath_ok = 1;
        config->use_ino = self->inodeNumbers_ ? 1 : 0;
        config->entry_timeout = 0;
        config->attr_timeout = 0;
        config->negative_timeout = 0;
        return self->owner_;
    };
    std::string program = name;
    char* argv[] = {program.data(), nullptr};
    fuse_args args = FUSE_ARGS_INIT(1, argv);
    struct fuse* f = fuse_new(&args, &withInit, sizeof withInit, this);
    fuse_opt_free_args(&args);
    if (f == nullptr || fuse_mount(f, path_.c_str()) != 0) {
        if (f != nullptr)
            fuse_destroy(f);
        ::rmdir(path_.c_str());
        path_.clear();
        return false;
    }
    fuse_ = f;
    loop_ = serving == Serving::Concurrently ? std::thread([f] { fuse_loop_mt(f, 0); })
                                             : std::thread([f] { fuse_loop(f); });
    return true;
}

void FuseMount::unmount() {
    if (fuse_ != nullptr) {
        fuse_exit(fuse_);
        // A forced unmount aborts the connection at once, also while a file is still open:
        // the loop threads' reads of the device return and the loop ends. Only then is the
        // session's device closed (fuse_unmount), so that no loop thread still reads it.
        // Without the right to unmount (not root), fuse_unmount has to do both while the loop
        // may still be reading.
        const bool detached = ::umount2(path_.c_str(), MNT_FORCE | MNT_DETACH) == 0;
        if (!detached)
            fuse_unmount(fuse_);
        if (loop_.joinable())
            loop_.join();
        if (detached)
            fuse_unmount(fuse_);
        fuse_destroy(fuse_);
        fuse_ = nullptr;
    }
    if (!path_.empty())
        ::rmdir(path_.c_str());
    path_.clear();
}

} // namespace vutest

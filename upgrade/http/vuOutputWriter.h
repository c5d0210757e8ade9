// TvuOutputWriter: how a transfer's worker puts a body into its output file.
//
// Received pieces are collected and written in large, checked writes (one system call per
// batch instead of one per small chunk). Write-back to the disk is started every few MiB, so
// that the sync that ends a download has little left to wait for. Finish() writes the rest,
// syncs and closes; only then is the file complete.
//
// The writer works on its own duplicate of the output file's descriptor: the GUI thread may close
// the file (an abort) while the worker is inside a long write or sync, without waiting for it
// and without pulling the descriptor from under it. Not thread-safe: one worker uses it, except
// for Halt(), which any thread may call.
#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include <sys/types.h>

namespace vu {

class TvuOutputWriter {
public:
    static constexpr std::size_t kDefaultBatch = 256 * 1024;
    static constexpr std::uint64_t kDefaultWriteBack = 8 * 1024 * 1024;

    explicit TvuOutputWriter(std::size_t batchBytes = kDefaultBatch,
                             std::uint64_t writeBackBytes = kDefaultWriteBack);
    ~TvuOutputWriter(); // closes the descriptor without syncing (an abandoned file)
    TvuOutputWriter(const TvuOutputWriter&) = delete;
    TvuOutputWriter& operator=(const TvuOutputWriter&) = delete;

    // Takes a duplicate of an open file's descriptor; false when none can be made.
    bool Open(int fd);
    bool IsOpen() const { return fd_ >= 0; }

    // Collects bytes, writing a batch out once it is full. False once a write has failed.
    bool Append(const char* data, std::size_t n);
    // Writes out what is collected. False when a write failed (or failed before).
    bool WriteOut();
    // Writes out the rest, syncs the data to the disk and closes the descriptor, each step
    // checked. False when any of them failed.
    bool Finish();
    // Closes the descriptor without syncing.
    void Close();

    // Any thread: no write or sync starts after this (they fail). Returns whether one is in
    // progress at this moment. While it is, file systems hold every removal of the file, and
    // some also every close (they lock the file for the whole write or sync): a caller that must
    // not wait for the disk then leaves those to another thread.
    bool Halt();
    // Any thread, after Halt(): waits up to `limit` for a write in progress to end (a write to
    // the page cache takes microseconds). True when none is in progress any more; false at once
    // while the data is being synced, which takes as long as the disk needs.
    bool WaitUntilQuiet(std::chrono::milliseconds limit);

    // Bytes that reached the file (a failed write counts what it did store).
    std::uint64_t Written() const { return written_; }
    // Bytes collected and not yet written.
    std::size_t Collected() const { return batch_.size(); }
    bool Failed() const { return failed_; }

    // Removes an output file's name at once and leaves the freeing of its data to the
    // background (vuBackgroundRelease.h): on some file systems that takes a long time for a large
    // file (tenths of a second for a few hundred MiB), too long for the GUI thread. False when the
    // name was not removed.
    static bool Remove(const QString& path);
    // The same, only when the name still is the file of that device and inode (not a new file
    // made under the same name meanwhile).
    static bool RemoveIfSame(const QString& path, dev_t device, ino_t inode);

private:
    bool WriteAll(const char* data, std::size_t n);
    void StartWriteBack();
    // Marks the start and the end of a write or sync; Begin() is false once halted.
    bool Begin(bool sync = false);
    void End();

    // Halted: no write or sync may start; HaltedBusy: and one is still in progress.
    enum State { Idle, Busy, Halted, HaltedBusy };
    std::atomic<int> state_{Idle};
    std::atomic<bool> syncing_{false}; // the operation in progress is a sync
    std::mutex quietLock_;
    std::condition_variable quiet_;

    int fd_ = -1;
    std::size_t batchBytes_;
    std::uint64_t writeBackBytes_;
    std::vector<char> batch_;
    std::uint64_t written_ = 0;
    std::uint64_t sinceWriteBack_ = 0;
    bool failed_ = false;
};

} // namespace vu

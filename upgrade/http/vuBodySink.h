// Where a transfer stores the body it receives: in memory, or in its output file.
//
// The worker stores (Append, WriteOut, Finish, EndWriting); the GUI thread hands the stream to
// the events (Device) and closes it when the data is released (Close). A memory sink is shared
// by both under the transfer's data lock. A file sink writes through its own TvuOutputWriter,
// without that lock, so that the GUI thread never waits for a write or the final sync; Halt
// (any thread) keeps further writes from starting.
#pragma once

#include "upgrade/http/vuOutputWriter.h"

#include <QBuffer>
#include <QFile>
#include <QString>

#include <chrono>
#include <cstddef>
#include <memory>

#include <sys/types.h>

namespace vu {

class TvuBodySink {
public:
    virtual ~TvuBodySink() = default;

    // The stream handed to the events as Data.
    virtual QIODevice* Device() = 0;
    virtual bool IsFile() const = 0;

    // Worker: stores n bytes; false when they could not all be stored.
    virtual bool Append(const char* data, std::size_t n) = 0;
    // Worker: bytes stored (in a file: what reached it, from its first byte).
    virtual quint64 Stored() const = 0;
    // Worker: bytes taken but held back to be stored together.
    virtual std::size_t Held() const { return 0; }
    // Worker: stores what is held back.
    virtual bool WriteOut() { return true; }
    // Worker: the body is complete; a file is written out and synced, each step checked.
    virtual bool Finish() { return true; }
    // Worker: no more writes come (a file lets its own descriptor go).
    virtual void EndWriting() {}

    // GUI thread: closes the stream; false when closing it failed.
    virtual bool Close() = 0;
    // Any thread: no write or sync starts from now on. True when one is in progress and does
    // not end within `wait` (it holds the file until it does).
    virtual bool Halt(std::chrono::milliseconds wait) {
        Q_UNUSED(wait);
        return false;
    }
};

class TvuMemorySink final : public TvuBodySink {
public:
    // `presize`: the announced length, reserved in advance (up to a limit).
    explicit TvuMemorySink(quint64 presize);

    QIODevice* Device() override { return &buffer_; }
    bool IsFile() const override { return false; }
    bool Append(const char* data, std::size_t n) override;
    quint64 Stored() const override { return static_cast<quint64>(buffer_.buffer().size()); }
    // A large body is given back to the system in the background.
    bool Close() override;

private:
    QBuffer buffer_;
};

class TvuFileSink final : public TvuBodySink {
public:
    // A new file (emptied when one of that name exists); readable by its owner only when
    // hidden. Null when it cannot be made.
    static std::unique_ptr<TvuFileSink> Create(const QString& path, bool hidden);
    // The partial file continued after its first `from` bytes (anything beyond is cut); null
    // when it is shorter or cannot be opened.
    static std::unique_ptr<TvuFileSink> Continue(const QString& path, quint64 from);

    QIODevice* Device() override { return &file_; }
    bool IsFile() const override { return true; }
    bool Append(const char* data, std::size_t n) override { return writer_.Append(data, n); }
    quint64 Stored() const override { return from_ + writer_.Written(); }
    std::size_t Held() const override { return writer_.Collected(); }
    bool WriteOut() override { return writer_.WriteOut(); }
    bool Finish() override { return writer_.Finish(); }
    void EndWriting() override { writer_.Close(); }
    bool Close() override;
    bool Halt(std::chrono::milliseconds wait) override;

    QString Path() const { return file_.fileName(); }
    // Removes the file's name, unless by now it names another file; false when not removed.
    bool Remove() const;

private:
    explicit TvuFileSink(const QString& path) : file_(path) {}
    // Takes the writer's descriptor and the file's identity once it is open.
    bool Opened(quint64 from);

    QFile file_;
    TvuOutputWriter writer_;
    quint64 from_ = 0;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

} // namespace vu

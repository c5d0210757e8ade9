// The writer that puts a download into its output file: batching, what counts as written, and
// when a file counts as complete.

#include "upgrade/http/vuOutputWriter.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <iterator>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vu;

namespace {

QByteArray Bytes(int n, int seed) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    return b;
}

TEST(OutputWriter, PiecesOfAnySizeReachTheFileWholeAndInOrder) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.bin"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    TvuOutputWriter writer(16, 40); // tiny batches, write-back started every 40 bytes
    ASSERT_TRUE(writer.Open(file.handle()));
    file.close(); // the writer keeps its own descriptor

    // One byte stays collected; filling the batch writes it; a piece longer than a batch goes
    // out in whole batches and keeps only its remainder; a piece straddling batches may go either
    // way, but every byte is counted once.
    struct Piece {
        int size;
        std::optional<quint64> written, collected; // after the piece, where fixed
    };
    const Piece pieces[] = {{1, 0u, 1u}, {15, 16u, 0u}, {3 * 16 + 5, 64u, 5u}, {20, {}, {}}};
    QByteArray expected;
    for (int i = 0; i < static_cast<int>(std::size(pieces)); ++i) {
        const Piece& p = pieces[i];
        SCOPED_TRACE(p.size);
        const QByteArray piece = Bytes(p.size, i + 1);
        ASSERT_TRUE(writer.Append(piece.constData(), piece.size()));
        expected += piece;
        if (p.written) {
            EXPECT_EQ(writer.Written(), *p.written);
        }
        if (p.collected) {
            EXPECT_EQ(writer.Collected(), *p.collected);
        }
        EXPECT_EQ(writer.Written() + writer.Collected(), static_cast<quint64>(expected.size()));
    }

    ASSERT_TRUE(writer.Finish());
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(writer.Written(), static_cast<quint64>(expected.size()));
    QFile back(path);
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), expected);
}

TEST(OutputWriter, WhatCannotBeWrittenOrSyncedIsNoCompleteFile) {
    // No descriptor to write through.
    TvuOutputWriter none;
    EXPECT_FALSE(none.Open(-1));
    EXPECT_FALSE(none.Append("x", 1));
    EXPECT_FALSE(none.Finish());

    // A descriptor opened for reading only: the first write fails, and so does everything
    // after it, with nothing counted as written.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("read-only.bin"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    TvuOutputWriter readOnly(8);
    ASSERT_TRUE(readOnly.Open(file.handle()));
    const QByteArray data = Bytes(20, 5);
    EXPECT_FALSE(readOnly.Append(data.constData(), data.size()));
    EXPECT_TRUE(readOnly.Failed());
    EXPECT_EQ(readOnly.Written(), 0u);
    EXPECT_FALSE(readOnly.Append("x", 1));
    EXPECT_FALSE(readOnly.Finish());

    // Everything written, but the data cannot be synced (a pipe): not complete.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    TvuOutputWriter piped;
    ASSERT_TRUE(piped.Open(fds[1]));
    ::close(fds[1]);
    ASSERT_TRUE(piped.Append(data.constData(), data.size()));
    EXPECT_FALSE(piped.Finish());
    EXPECT_EQ(piped.Written(), 20u);
    char back[32];
    EXPECT_EQ(::read(fds[0], back, sizeof back), 20);
    ::close(fds[0]);
}

TEST(OutputWriter, RemovedFilesLoseTheirNameAtOnce) {
    QTemporaryDir dir;
    // A large file (its data freed on a helper thread) and a small one (freed at once).
    for (qint64 size : {qint64(9) * 1024 * 1024, qint64(100)}) {
        const QString path = dir.filePath(QStringLiteral("gone.bin"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size));
        file.close();
        EXPECT_TRUE(TvuOutputWriter::Remove(path)) << size;
        EXPECT_FALSE(QFile::exists(path)) << size;
        EXPECT_FALSE(TvuOutputWriter::Remove(path)) << size;
    }
}

TEST(OutputWriter, AHaltedWriterStartsNoWriteOrSync) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("halted.bin")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    TvuOutputWriter writer(8);
    ASSERT_TRUE(writer.Open(file.handle()));
    const QByteArray data = Bytes(12, 6);
    ASSERT_TRUE(writer.Append(data.constData(), data.size()));
    EXPECT_EQ(writer.Written(), 8u);
    EXPECT_FALSE(writer.Halt()) << "nothing was in progress";
    EXPECT_TRUE(writer.WaitUntilQuiet(std::chrono::milliseconds(0)));
    EXPECT_FALSE(writer.Append(data.constData(), data.size()));
    EXPECT_FALSE(writer.Finish());
    EXPECT_EQ(writer.Written(), 8u);
    EXPECT_EQ(file.size(), 8);
}

TEST(OutputWriter, ALateRemovalSparesANewFileUnderTheSameName) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("reused.bin"));
    auto make = [&](const char* text) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        struct stat st {};
        ::fstat(f.handle(), &st);
        return st;
    };
    const struct stat old = make("old");
    // The old file leaves the name (kept elsewhere, so that its inode is not reused).
    ASSERT_TRUE(QFile::rename(path, path + QStringLiteral(".old")));
    const struct stat fresh = make("new");
    ASSERT_NE(fresh.st_ino, old.st_ino);
    EXPECT_FALSE(TvuOutputWriter::RemoveIfSame(path, old.st_dev, old.st_ino));
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(TvuOutputWriter::RemoveIfSame(path, fresh.st_dev, fresh.st_ino));
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace

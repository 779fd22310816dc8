// Saves that are whole or nothing: a file that refuses writes keeps the old
// file and says why.

#include "core/atomic_file.h"
#include "core/jpeg_file.h"

#include "support/file_bytes.h"
#include "support/file_size_limit.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bc {
namespace {

using test::fileBytes;
using test::writeFileBytes;

// Every writer built on AtomicFile: writes the path, gives the reason of a failure.
using Writer = std::function<bool(const QString&, QString*)>;

const std::pair<const char*, Writer> kWriters[] = {
    {"bytes", [](const QString& path,
                 QString* why) { return WriteFileAtomically(path, QByteArray(4096, 'n'), why); }},
    {"jpeg",
     [](const QString& path, QString* why) {
         static const std::vector<uint8_t> pixels(64 * 48 * 3, 0x5a);
         ErrorReport error;
         const bool ok = JpegFile::WriteRgbAsJpeg(path, pixels.data(), 64, 48, true, 75, &error);
         *why = error.text;
         return ok;
     }},
    {"bmp",
     [](const QString& path, QString* why) {
         static const std::vector<uint8_t> pixels(64 * 48 * 3, 0x5a);
         ErrorReport error;
         const bool ok = JpegFile::SaveBmpFile(path, pixels.data(), 64, 48, 24, &error);
         *why = error.text;
         return ok;
     }},
};

QStringList filesIn(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
}

TEST(AtomicFile, AFileThatRefusesWritesKeepsTheOldFileAndSaysWhy)
{
    for (const auto& [name, write] : kWriters) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.bin"));
        const QByteArray old(300, 'o');
        ASSERT_TRUE(writeFileBytes(path, old));
        QString why;
        {
            test::FileSizeLimit full(100);
            EXPECT_FALSE(write(path, &why));
        }
        EXPECT_EQ(fileBytes(path), old);
        EXPECT_EQ(filesIn(dir), QStringList{QStringLiteral("old.bin")});
        EXPECT_TRUE(why.endsWith(SystemErrorText(EFBIG))) << why.toStdString();
        EXPECT_TRUE(write(path, &why) && fileBytes(path) != old); // with room it replaces it
    }
    EXPECT_EQ(SystemErrorText(ENOSPC), QStringLiteral("磁盘空间不足"));
    EXPECT_EQ(SystemErrorText(EROFS), QStringLiteral("文件系统只读"));
}

// A disk that takes the bytes but cannot keep them: the sync before the
// rename fails. A synced save then fails with the reason and leaves the old
// file as it was, with no temporary file; a save that is not synced (strip
// pictures) never asks the disk and goes through.
int syncFailsWithEio(int)
{
    errno = EIO;
    return -1;
}

TEST(AtomicFile, ADiskThatCannotSyncKeepsTheOldFileAndSaysWhy)
{
    for (const bool synced : {true, false}) {
        SCOPED_TRACE(synced);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.bin"));
        const QByteArray old(300, 'o');
        ASSERT_TRUE(writeFileBytes(path, old));
        QString why;
        const SyncToDiskCall previous = setSyncToDiskCall(&syncFailsWithEio);
        const bool written = WriteFileAtomically(path, QByteArray(4096, 'n'), &why, synced);
        setSyncToDiskCall(previous);
        EXPECT_EQ(written, !synced);
        EXPECT_EQ(fileBytes(path), synced ? old : QByteArray(4096, 'n'));
        EXPECT_EQ(filesIn(dir), QStringList{QStringLiteral("old.bin")});
        EXPECT_EQ(why, synced ? SystemErrorText(EIO) : QString());
    }
}

// A save killed between its temporary file and the rename leaves the
// temporary behind; the next save of the same file removes it, and nothing
// else: not one a running save holds, not those of other files, not
// look-alikes.
TEST(AtomicFile, TheNextSaveRemovesItsOwnStaleTemporaries)
{
    const std::pair<const char*, bool> leftovers[] = {
        {"old.bin.4242-7.tmp", true},      {"old.bin.1-0.tmp", true},
        {"old.bin.4243-0.tmp", false}, // held by a running save
        {"other.bin.4242-7.tmp", false},   {"old.bin.backup.tmp", false},
        {"old.bin.4242-7.tmp.txt", false}, {"xold.bin.4242-7.tmp", false},
    };
    for (const auto& [name, write] : kWriters) {
        SCOPED_TRACE(name);
        QTemporaryDir dir;
        QStringList kept;
        for (const auto& [leftover, removed] : leftovers) {
            ASSERT_TRUE(writeFileBytes(dir.filePath(leftover), "newer, never renamed"));
            QFile::setPermissions(dir.filePath(leftover), QFile::ReadOwner | QFile::WriteOwner);
            if (!removed)
                kept << leftover;
        }
        const int held =
            ::open(QFile::encodeName(dir.filePath(leftovers[2].first)).constData(), O_RDONLY);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);
        QString why;
        EXPECT_TRUE(write(dir.filePath(QStringLiteral("old.bin")), &why));
        ::close(held);
        kept << QStringLiteral("old.bin");
        kept.sort();
        EXPECT_EQ(filesIn(dir), kept);
    }
}

// Every file written gets the permissions of a file created the ordinary
// way, 0666 less the umask, whether new or replacing an older file.
TEST(AtomicFile, FilesGetTheUmasksPermissions)
{
    for (const mode_t mask : {mode_t(022), mode_t(027), mode_t(077)}) {
        const mode_t saved = ::umask(mask);
        for (const auto& [name, write] : kWriters) {
            SCOPED_TRACE(testing::Message() << name << " umask " << std::oct << mask);
            QTemporaryDir dir;
            const QString fresh = dir.filePath("new.bin"), older = dir.filePath("older.bin");
            ASSERT_TRUE(writeFileBytes(older, "x"));
            ASSERT_EQ(::chmod(QFile::encodeName(older).constData(), 0600), 0);
            QString why;
            ASSERT_TRUE(write(fresh, &why) && write(older, &why));
            for (const QString& file : {fresh, older}) {
                struct stat st {};
                ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
                EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << file.toStdString();
            }
        }
        ::umask(saved);
    }
}

// A program started while a save is under way (the capture thread writes
// while the window starts the on-screen keyboard or a viewer) inherits no
// descriptor of the temporary file: each is closed on exec.
TEST(AtomicFile, ItsDescriptorsAreClosedOnExec)
{
    QTemporaryDir dir;
    AtomicFile file(dir.filePath("f.bin"));
    ASSERT_TRUE(file.open());
    const QString temp = QFileInfo(file.tempPath()).canonicalFilePath();
    int found = 0;
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::Files)) {
        if (fd.symLinkTarget() != temp)
            continue;
        ++found;
        const int flags = ::fcntl(fd.fileName().toInt(), F_GETFD);
        EXPECT_TRUE(flags >= 0 && (flags & FD_CLOEXEC)) << fd.fileName().toStdString();
    }
    EXPECT_GE(found, 1);
}

} // namespace
} // namespace bc

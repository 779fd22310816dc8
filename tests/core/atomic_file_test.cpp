// Saves that are whole or nothing: a file that refuses writes keeps the old
// file and says why.

#include "core/atomic_file.h"
#include "core/jpeg_file.h"

#include "support/file_bytes.h"
#include "support/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bc {
namespace {

using test::fileBytes;
using test::writeFileBytes;

// Every writer built on AtomicFile, given a path; the reason of a failure.
struct Writer {
    const char* name;
    std::function<bool(const QString&, QString*)> write;
};

std::vector<Writer> writers()
{
    static const std::vector<uint8_t> pixels(64 * 48 * 3, 0x5a);
    return {
        {"bytes",
         [](const QString& path, QString* why) {
             return WriteFileAtomically(path, QByteArray(4096, 'n'), why);
         }},
        {"jpeg",
         [](const QString& path, QString* why) {
             ErrorReport error;
             const bool ok =
                 JpegFile::WriteRgbAsJpeg(path, pixels.data(), 64, 48, true, 75, &error);
             *why = error.text;
             return ok;
         }},
        {"bmp",
         [](const QString& path, QString* why) {
             ErrorReport error;
             const bool ok = JpegFile::SaveBmpFile(path, pixels.data(), 64, 48, 24, &error);
             *why = error.text;
             return ok;
         }},
    };
}

TEST(AtomicFile, AFileThatRefusesWritesKeepsTheOldFileAndSaysWhy)
{
    for (const Writer& w : writers()) {
        SCOPED_TRACE(w.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.bin"));
        const QByteArray old(300, 'o');
        ASSERT_TRUE(writeFileBytes(path, old));
        QString why;
        {
            test::FileSizeLimit full(100);
            EXPECT_FALSE(w.write(path, &why));
        }
        EXPECT_EQ(fileBytes(path), old);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("old.bin")});
        EXPECT_TRUE(why.endsWith(SystemErrorText(EFBIG))) << why.toStdString();
        // With room, the same writer replaces the file.
        EXPECT_TRUE(w.write(path, &why));
        EXPECT_NE(fileBytes(path), old);
    }
    EXPECT_EQ(SystemErrorText(ENOSPC), QStringLiteral("磁盘空间不足"));
    EXPECT_EQ(SystemErrorText(EROFS), QStringLiteral("文件系统只读"));
}

// A save killed between its temporary file and the rename leaves the
// temporary behind; the next save of the same file removes it, and nothing
// else: not a temporary a running save holds, not those of other files, not
// files that merely look alike.
TEST(AtomicFile, TheNextSaveRemovesItsOwnStaleTemporaries)
{
    const struct {
        const char* name;
        bool held; // a save in progress holds it
        bool removed;
    } leftovers[] = {
        {"old.bin.4242-7.tmp", false, true},   {"old.bin.1-0.tmp", false, true},
        {"old.bin.4243-0.tmp", true, false},   {"other.bin.4242-7.tmp", false, false},
        {"old.bin.backup.tmp", false, false},  {"old.bin.4242-7.tmp.txt", false, false},
        {"xold.bin.4242-7.tmp", false, false},
    };
    for (const Writer& w : writers()) {
        SCOPED_TRACE(w.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.bin"));
        std::vector<int> held;
        for (const auto& l : leftovers) {
            const QString leftover = dir.filePath(QString::fromLatin1(l.name));
            ASSERT_TRUE(writeFileBytes(leftover, "newer, never renamed"));
            QFile::setPermissions(leftover, QFile::ReadOwner | QFile::WriteOwner);
            if (l.held) {
                held.push_back(::open(QFile::encodeName(leftover).constData(), O_RDONLY));
                ASSERT_EQ(::flock(held.back(), LOCK_EX), 0);
            }
        }
        QString why;
        ASSERT_TRUE(w.write(path, &why));
        for (const auto& l : leftovers)
            EXPECT_EQ(QFileInfo::exists(dir.filePath(QString::fromLatin1(l.name))), !l.removed)
                << l.name;
        for (int fd : held)
            ::close(fd);
    }
}

// Every file written gets the permissions of a file created the ordinary
// way: 0666 less the umask, whether it is new or replaces an older file.
TEST(AtomicFile, FilesGetTheUmasksPermissions)
{
    for (const mode_t mask : {mode_t(022), mode_t(027), mode_t(077)}) {
        const mode_t saved = ::umask(mask);
        for (const Writer& w : writers()) {
            SCOPED_TRACE(testing::Message() << w.name << " umask " << std::oct << mask);
            QTemporaryDir dir;
            const QString fresh = dir.filePath(QStringLiteral("new.bin"));
            const QString older = dir.filePath(QStringLiteral("older.bin"));
            ASSERT_TRUE(writeFileBytes(older, "x"));
            ASSERT_EQ(::chmod(QFile::encodeName(older).constData(), 0600), 0);
            QString why;
            ASSERT_TRUE(w.write(fresh, &why) && w.write(older, &why));
            for (const QString& file : {fresh, older}) {
                struct stat st {};
                ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
                EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << file.toStdString();
            }
        }
        ::umask(saved);
    }
}

} // namespace
} // namespace bc

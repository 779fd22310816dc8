// Workbooks are saved like every other file: whole or not at all, with the
// umask's permissions.

#include "platform/report_workbook.h"

#include "core/atomic_file.h"
#include "support/file_bytes.h"
#include "support/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>

namespace bc {
namespace {

mode_t modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

TEST(WorkbookSave, UmasksPermissionsAndTheOldFileKeptOnAFullDisk)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("attitudes.xlsx"));
    const mode_t saved = ::umask(022);
    ASSERT_TRUE(writeTableWorkbook(out, QStringLiteral("Sheet1"), {{"1", "x"}}, nullptr));
    EXPECT_EQ(modeOf(out), 0644u);
    ASSERT_EQ(::chmod(QFile::encodeName(out).constData(), 0600), 0);
    ASSERT_TRUE(writeTableWorkbook(out, QStringLiteral("Sheet1"), {{"2", "y"}}, nullptr));
    EXPECT_EQ(modeOf(out), 0644u) << "a replaced file gets the umask's permissions too";
    ::umask(saved);

    const QByteArray old = test::fileBytes(out);
    std::vector<QStringList> rows(2000, QStringList{"12", "a longer text for every row"});
    QString why;
    {
        test::FileSizeLimit full(2048);
        EXPECT_FALSE(writeTableWorkbook(out, QStringLiteral("Sheet1"), rows, &why));
    }
    EXPECT_EQ(test::fileBytes(out), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("attitudes.xlsx")});
    EXPECT_EQ(why, SystemErrorText(EFBIG));
}

} // namespace
} // namespace bc

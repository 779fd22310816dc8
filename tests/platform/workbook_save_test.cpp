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

TEST(WorkbookSave, UmasksPermissionsAndTheOldFileKeptOnAFullDisk)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("attitudes.xlsx"));
    const QByteArray native = QFile::encodeName(out);
    const mode_t saved = ::umask(022);
    for (const char* row : {"new", "replacing a file of 0600"}) {
        ASSERT_TRUE(writeTableWorkbook(out, QStringLiteral("Sheet1"), {{row, "x"}}, nullptr));
        struct stat st {};
        EXPECT_EQ(::stat(native.constData(), &st) == 0 ? st.st_mode & 0777 : 0, 0644u) << row;
        ASSERT_EQ(::chmod(native.constData(), 0600), 0);
    }
    ::umask(saved);

    const QByteArray old = test::fileBytes(out);
    const std::vector<QStringList> rows(2000, {"12", "a longer text for every row"});
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

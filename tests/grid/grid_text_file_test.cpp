// Delimited text files of the grid: separators and empty texts, virtual
// grids, failed saves, the load rules, an open edit, hostile files.

#include "grid/grid_ctrl.h"
#include "grid_test_util.h"
#include "core/atomic_file.h"
#include "platform/text_codec.h"
#include "support/file_size_limit.h"
#include "support/scripted_prompter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>

namespace bc {
namespace {

using test::rowTexts;
using test::setTexts;

// A grid that records each committed edit and how many rows it had then.
class EditTrackingGrid : public CGridCtrl {
public:
    using CGridCtrl::CGridCtrl;
    std::vector<std::pair<QString, int>> commits;
    void OnEndEditCell(int row, int col, const QString& text) override
    {
        commits.emplace_back(text, GetRowCount());
        CGridCtrl::OnEndEditCell(row, col, text);
    }
};

class GridTextFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    test::ScriptedPrompter prompter;
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QByteArray read(const char* name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Writes `bytes` to `name` and returns its path.
    QString write(const char* name, const QByteArray& bytes) const
    {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        return path(name);
    }
};

TEST_F(GridTextFile, SavesOneFieldPerColumnInGbk)
{
    CGridCtrl g(2, 3, 1, 1);
    setTexts(g, 0, 0, {{"a", "b", "c"}, {"d", "", "f"}});
    for (const char sep : {'\t', ','}) {
        ASSERT_TRUE(g.SaveToTextFile(path("t.txt"), QLatin1Char(sep)));
        EXPECT_EQ(read("t.txt"), QByteArray("a\tb\tc\r\nd\t\tf\r\n").replace('\t', sep));
    }
    // A virtual grid's texts come from its owner.
    CGridCtrl v;
    v.ChangeVirtualMode(true);
    v.ChangeRowCount(2);
    v.ChangeColumnCount(2);
    v.SetDisplayCallback([](GridDispInfo* info, LPARAM) {
        info->item.text =
            info->item.row == 0 ? QStringLiteral("深度") : QString::number(info->item.col);
    });
    ASSERT_TRUE(v.SaveToTextFile(path("v.txt"), QLatin1Char(';')));
    const QByteArray head = toGbk(QStringLiteral("深度"));
    EXPECT_EQ(read("v.txt"), head + ';' + head + "\r\n0;1\r\n");
    EXPECT_TRUE(prompter.boxes.empty());
}

// An empty last field is a column; a blank line is a row only in a grid of one column.
TEST_F(GridTextFile, WhatIsSavedLoadsBackCellForCell)
{
    const std::vector<std::vector<QStringList>> grids = {
        {{"a", ""}, {"1", "2"}},         {{""}, {"x"}, {""}},
        {{"a", "b", ""}, {"1", "", ""}}, {{"", ""}, {"", ""}},
        {{"深度", "中文"}, {"1.5", ""}},
    };
    for (const auto& rows : grids) {
        const int cols = int(rows[0].size());
        CGridCtrl saved(int(rows.size()), cols, 1, 0);
        setTexts(saved, 0, 0, rows);
        ASSERT_TRUE(saved.SaveToTextFile(path("rt.txt"), QLatin1Char(';')));
        CGridCtrl loaded;
        ASSERT_TRUE(loaded.LoadFromTextFile(path("rt.txt"), QLatin1Char(';')));
        ASSERT_EQ(loaded.GetRowCount(), int(rows.size())) << read("rt.txt").toStdString();
        ASSERT_EQ(loaded.GetColumnCount(), cols);
        for (int r = 0; r < int(rows.size()); ++r)
            EXPECT_EQ(rowTexts(loaded, r), rows[size_t(r)]) << r;
    }
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(GridTextFile, LoadTable)
{
    // Headings in row 0; surplus fields dropped, missing ones empty; CR LF or
    // LF; a last line without an end; GBK text.
    const struct {
        QByteArray bytes;
        char sep;
        QStringList rows;
    } cases[] = {
        {"h0,h1,h2\r\nr1,a,b\r\nr2,c,d\r\n", ',', {"h0 h1 h2", "r1 a b", "r2 c d"}},
        {"a,b,c\r\n1,2,3,4\r\nonly\r\n5,,6\r\n7,8,\r\n\r\n9,x\r\n",
         ',',
         {"a b c", "1 2 3", "only  ", "5  6", "7 8 ", "9 x "}},
        {"a|b\n1|2\n3|\xd6\xd0\xce\xc4", '|', {"a b", "1 2", "3 中文"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.left(20).toStdString());
        CGridCtrl g(5, 5, 2, 2);
        g.MarkModified(false);
        ASSERT_TRUE(g.LoadFromTextFile(write("in.txt", c.bytes), QLatin1Char(c.sep)));
        ASSERT_EQ(g.GetRowCount(), c.rows.size());
        for (int r = 0; r < g.GetRowCount(); ++r)
            EXPECT_EQ(rowTexts(g, r).join(QLatin1Char(' ')), c.rows[r]) << r;
        EXPECT_EQ(g.GetFixedRowCount() + g.GetFixedColumnCount(), 0);
        EXPECT_EQ(g.GetItemFormat(0, 1), std::uint32_t(DT_CENTER | DT_VCENTER | DT_SINGLELINE));
        EXPECT_TRUE(g.IsCellModified(1, 1));
    }
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(GridTextFile, LoadFitsColumnsAndEndsAnOpenEditFirst)
{
    const QString file = write("in.txt", "h,v\r\nr,a much longer text than the heading\r\n");
    EditTrackingGrid g(7, 3, 1, 1);
    g.resize(300, 200);
    g.show();
    g.SetFocusCell(2, 1);
    QTest::keyClick(&g, Qt::Key_F2);
    ASSERT_NE(g.activeEditor(), nullptr);
    QTest::keyClicks(g.activeEditor(), QStringLiteral("typed"));
    ASSERT_TRUE(g.LoadFromTextFile(file, QLatin1Char(',')));
    // The edit was committed while its cell still existed, then closed.
    ASSERT_EQ(g.commits.size(), 1u);
    EXPECT_TRUE(g.commits[0].first.endsWith(QStringLiteral("typed")));
    EXPECT_EQ(g.commits[0].second, 7);
    EXPECT_EQ(g.activeEditor(), nullptr);
    EXPECT_EQ(g.GetRowCount(), 2);
    EXPECT_EQ(g.GetColumnWidth(1), g.GetCell(1, 1)->GetCellExtent(nullptr).width());
    EXPECT_GT(g.GetColumnWidth(1), g.GetColumnWidth(0));
}

TEST_F(GridTextFile, FailuresAreToldAndHarmNothing)
{
    CGridCtrl g(2, 2);
    g.SetItemText(1, 1, QStringLiteral("kept"));
    EXPECT_FALSE(g.SaveToTextFile(path("missing/dir/x.txt"), QLatin1Char(',')));
    // A folder standing where the file should go: refused, the folder stays.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken")));
    EXPECT_FALSE(g.SaveToTextFile(path("taken"), QLatin1Char(',')));
    EXPECT_TRUE(QFileInfo(path("taken")).isDir());
    EXPECT_FALSE(g.LoadFromTextFile(path("nope.txt"), QLatin1Char(',')));
    ASSERT_EQ(prompter.boxes.size(), 3u);
    EXPECT_TRUE(prompter.boxes[0].text.contains(path("missing/dir/x.txt")));
    EXPECT_TRUE(prompter.boxes[2].text.contains(QStringLiteral("nope.txt")));
    EXPECT_EQ(g.GetItemText(1, 1), QStringLiteral("kept"));

    // Virtual mode: nothing read, nothing asked, the grid untouched.
    CGridCtrl v;
    v.ChangeVirtualMode(true);
    v.ChangeRowCount(3);
    v.ChangeColumnCount(2);
    EXPECT_FALSE(v.LoadFromTextFile(write("in.txt", "a,b\r\n"), QLatin1Char(',')));
    EXPECT_EQ(v.GetRowCount(), 3);
    EXPECT_EQ(prompter.boxes.size(), 3u);
}

// A disk that refuses the writes: the old file stays whole, no temporary file
// is left, and the box gives the reason.
TEST_F(GridTextFile, ASaveOnAFullDiskKeepsTheOldFile)
{
    CGridCtrl g(40, 3);
    for (int r = 0; r < 40; ++r)
        setTexts(g, r, 0, {{"one", "two", "three"}});
    const QString old = write("t.txt", "old\r\n");
    {
        test::FileSizeLimit full(100);
        EXPECT_FALSE(g.SaveToTextFile(old, QLatin1Char(',')));
    }
    EXPECT_EQ(read("t.txt"), QByteArray("old\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"t.txt"});
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text,
              QStringLiteral("Unable to save grid list\n") + SystemErrorText(EFBIG));
}

TEST_F(GridTextFile, HostileFilesLoadOrAreRefusedWithoutHarm)
{
    // A line of two megabytes is still one row.
    const QByteArray longLine = "h,v\r\nr1," + QByteArray(2 << 20, 'y') + "\r\nr2,after\r\n";
    CGridCtrl g;
    ASSERT_TRUE(g.LoadFromTextFile(write("long.txt", longLine), QLatin1Char(',')));
    ASSERT_EQ(g.GetRowCount(), 3);
    EXPECT_EQ(g.GetItemText(1, 1).size(), 2 << 20);
    EXPECT_EQ(g.GetItemText(2, 1), QStringLiteral("after"));
    EXPECT_TRUE(g.GetRedraw());

    // More columns than any grid file holds, or a wide heading over many short
    // lines that would need more cells than a grid file may make: refused with
    // the load box before any row is made.
    QByteArray wide;
    for (int i = 0; i < 20000; ++i)
        wide += "c,";
    QByteArray many = wide.left(4000 * 2) + "\r\n";
    for (int i = 0; i < 2000; ++i)
        many += "r\r\n";
    for (const QByteArray& bytes : {QByteArray(wide + "\r\n1,2\r\n"), many}) {
        prompter.boxes.clear();
        CGridCtrl w;
        EXPECT_FALSE(w.LoadFromTextFile(write("wide.txt", bytes), QLatin1Char(',')));
        EXPECT_EQ(prompter.boxTexts(), QStringList{QStringLiteral("Unable to load grid data")});
        EXPECT_LE(w.GetRowCount(), 1);
    }

    // Bytes that are not GBK, NULs and lone carriage returns load as text.
    static const char junk[] = "a,\xff\xfe\r\n\x81\x00,\rz\r\n";
    CGridCtrl j;
    EXPECT_TRUE(
        j.LoadFromTextFile(write("junk.txt", QByteArray(junk, sizeof junk - 1)), QLatin1Char(',')));
    EXPECT_EQ(j.GetRowCount(), 2);
    EXPECT_EQ(j.GetColumnCount(), 2);
    EXPECT_EQ(j.GetItemText(1, 1), QStringLiteral("\rz"));
}

} // namespace
} // namespace bc

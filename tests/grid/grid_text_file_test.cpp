// Delimited text files of the grid: separators and empty texts, virtual
// grids, failed saves, the load rules, an open edit, hostile files.

#include "grid/grid_ctrl.h"
#include "platform/text_codec.h"
#include "support/scripted_prompter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace bc {
namespace {

using test::ScriptedPrompter;

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QStringList rowTexts(const CGridCtrl& g, int row)
{
    QStringList out;
    for (int c = 0; c < g.GetColumnCount(); ++c)
        out << g.GetItemText(row, c);
    return out;
}

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

class GridTextFileRules : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

TEST_F(GridTextFileRules, SavesEmptyTextsAsEmptyFieldsWithAnySeparator)
{
    CGridCtrl g(2, 3, 1, 1);
    const char* texts[2][3] = {{"a", "b", "c"}, {"d", "", "f"}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            g.SetItemText(r, c, QString::fromLatin1(texts[r][c]));
    ASSERT_TRUE(g.SaveToTextFile(path("t.txt"), QLatin1Char('\t')));
    EXPECT_EQ(readAll(path("t.txt")), QByteArray("a\tb\tc\r\nd\t\tf\r\n"));
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(GridTextFileRules, WhatIsSavedLoadsBackCellForCell)
{
    const std::vector<std::vector<QStringList>> grids = {
        {{"a", ""}, {"1", "2"}},       // empty last heading
        {{""}, {"x"}, {""}},           // one column, empty heading and cell
        {{"a", "b", ""}, {"1", "", ""}},
        {{"", ""}, {"", ""}},
    };
    for (const auto& rows : grids) {
        const int cols = int(rows[0].size());
        CGridCtrl saved(int(rows.size()), cols, 1, 0);
        for (int r = 0; r < int(rows.size()); ++r)
            for (int c = 0; c < cols; ++c)
                saved.SetItemText(r, c, rows[size_t(r)][c]);
        ASSERT_TRUE(saved.SaveToTextFile(path("rt.txt"), QLatin1Char(',')));
        CGridCtrl loaded;
        ASSERT_TRUE(loaded.LoadFromTextFile(path("rt.txt"), QLatin1Char(',')))
            << readAll(path("rt.txt")).toStdString();
        ASSERT_EQ(loaded.GetRowCount(), int(rows.size()));
        ASSERT_EQ(loaded.GetColumnCount(), cols);
        for (int r = 0; r < int(rows.size()); ++r)
            EXPECT_EQ(rowTexts(loaded, r), rows[size_t(r)]) << r;
    }
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(GridTextFileRules, SavesVirtualTextsThroughTheOwnerAndChineseAsGbk)
{
    CGridCtrl g;
    g.ChangeVirtualMode(true);
    g.ChangeRowCount(2);
    g.ChangeColumnCount(2);
    g.SetDisplayCallback([](GridDispInfo* info, LPARAM) {
        info->item.text = info->item.row == 0 ? QStringLiteral("深度") : QString::number(info->item.col);
    });
    ASSERT_TRUE(g.SaveToTextFile(path("v.txt"), QLatin1Char(';')));
    const QByteArray head = toGbk(QStringLiteral("深度"));
    EXPECT_EQ(readAll(path("v.txt")), head + ';' + head + "\r\n0;1\r\n");
}

TEST_F(GridTextFileRules, FailedSaveTellsWhichFile)
{
    CGridCtrl g(1, 1);
    g.SetItemText(0, 0, QStringLiteral("new"));
    EXPECT_FALSE(g.SaveToTextFile(path("missing/dir/x.txt"), QLatin1Char(',')));
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_TRUE(prompter.boxes[0].text.contains(path("missing/dir/x.txt")));

    // A folder standing where the file should go: refused, the folder stays.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken")));
    EXPECT_FALSE(g.SaveToTextFile(path("taken"), QLatin1Char(',')));
    EXPECT_EQ(prompter.boxes.size(), 2u);
    EXPECT_TRUE(QFileInfo(path("taken")).isDir());
}

TEST_F(GridTextFileRules, LoadBuildsHeadingsInRowZeroAndOneRowPerLine)
{
    writeAll(path("in.txt"), "h0,h1,h2\r\nr1,a,b\r\nr2,c,d\r\n");
    CGridCtrl g(5, 5, 2, 2);
    g.MarkModified(false);
    ASSERT_TRUE(g.LoadFromTextFile(path("in.txt"), QLatin1Char(',')));
    EXPECT_EQ(g.GetRowCount(), 3);
    EXPECT_EQ(g.GetColumnCount(), 3);
    EXPECT_EQ(g.GetFixedRowCount(), 0);
    EXPECT_EQ(g.GetFixedColumnCount(), 0);
    EXPECT_EQ(rowTexts(g, 0), (QStringList{"h0", "h1", "h2"}));
    EXPECT_EQ(rowTexts(g, 1), (QStringList{"r1", "a", "b"}));
    EXPECT_EQ(rowTexts(g, 2), (QStringList{"r2", "c", "d"}));
    EXPECT_EQ(g.GetItemFormat(0, 1), std::uint32_t(DT_CENTER | DT_VCENTER | DT_SINGLELINE));
    EXPECT_TRUE(g.IsCellModified(1, 2));
    EXPECT_TRUE(g.IsCellModified(2, 1));
    EXPECT_TRUE(g.IsCellModified(-1, -1));
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(GridTextFileRules, LoadDropsSurplusFieldsAndLeavesMissingOnesEmpty)
{
    writeAll(path("in.txt"), "a,b,c\r\n1,2,3,4\r\nonly\r\n5,,6\r\n7,8,\r\n\r\n9,x\r\n");
    CGridCtrl g;
    ASSERT_TRUE(g.LoadFromTextFile(path("in.txt"), QLatin1Char(',')));
    ASSERT_EQ(g.GetColumnCount(), 3);
    ASSERT_EQ(g.GetRowCount(), 6); // the blank line adds no row
    EXPECT_EQ(rowTexts(g, 1), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(rowTexts(g, 2), (QStringList{"only", "", ""}));
    EXPECT_FALSE(g.IsCellModified(2, 1));
    EXPECT_EQ(rowTexts(g, 3), (QStringList{"5", "", "6"}));
    EXPECT_EQ(rowTexts(g, 4), (QStringList{"7", "8", ""}));
    EXPECT_EQ(rowTexts(g, 5), (QStringList{"9", "x", ""}));
}

TEST_F(GridTextFileRules, LoadTakesBareLineFeedsAndALastLineWithoutEnd)
{
    writeAll(path("in.txt"), "a|b\n1|2\n3|4");
    CGridCtrl g;
    ASSERT_TRUE(g.LoadFromTextFile(path("in.txt"), QLatin1Char('|')));
    ASSERT_EQ(g.GetRowCount(), 3);
    EXPECT_EQ(rowTexts(g, 2), (QStringList{"3", "4"}));
}

TEST_F(GridTextFileRules, LoadFitsColumnsToTheirContents)
{
    writeAll(path("in.txt"), "h,v\r\nr,a much longer text than the heading\r\n");
    CGridCtrl g;
    ASSERT_TRUE(g.LoadFromTextFile(path("in.txt"), QLatin1Char(',')));
    CGridCellBase* cell = g.GetCell(1, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(g.GetColumnWidth(1), cell->GetCellExtent(nullptr).width());
    EXPECT_GT(g.GetColumnWidth(1), g.GetColumnWidth(0));
}

TEST_F(GridTextFileRules, LoadEndsAnOpenEditBeforeTheCellsGo)
{
    writeAll(path("in.txt"), "a,b\r\n1,2\r\n");
    EditTrackingGrid g(7, 3, 1, 1);
    g.resize(300, 200);
    g.show();
    g.SetFocusCell(2, 1);
    QTest::keyClick(&g, Qt::Key_F2);
    ASSERT_NE(g.activeEditor(), nullptr);
    QTest::keyClicks(g.activeEditor(), QStringLiteral("typed"));
    ASSERT_TRUE(g.LoadFromTextFile(path("in.txt"), QLatin1Char(',')));
    // The edit was committed while its cell still existed, then closed.
    ASSERT_EQ(g.commits.size(), 1u);
    EXPECT_TRUE(g.commits[0].first.endsWith(QStringLiteral("typed")));
    EXPECT_EQ(g.commits[0].second, 7);
    EXPECT_EQ(g.activeEditor(), nullptr);
    EXPECT_EQ(g.GetRowCount(), 2);
    EXPECT_EQ(g.GetItemText(1, 1), QStringLiteral("2"));
}

TEST_F(GridTextFileRules, LoadRefusals)
{
    // Virtual mode: nothing read, nothing asked, the grid untouched.
    writeAll(path("in.txt"), "a,b\r\n");
    CGridCtrl v;
    v.ChangeVirtualMode(true);
    v.ChangeRowCount(3);
    v.ChangeColumnCount(2);
    EXPECT_FALSE(v.LoadFromTextFile(path("in.txt"), QLatin1Char(',')));
    EXPECT_EQ(v.GetRowCount(), 3);
    EXPECT_TRUE(prompter.boxes.empty());

    // A missing file: the box names it, the grid keeps its cells.
    CGridCtrl g(2, 2);
    g.SetItemText(1, 1, QStringLiteral("kept"));
    EXPECT_FALSE(g.LoadFromTextFile(path("nope.txt"), QLatin1Char(',')));
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_TRUE(prompter.boxes[0].text.contains(QStringLiteral("nope.txt")));
    EXPECT_EQ(g.GetItemText(1, 1), QStringLiteral("kept"));
}

TEST_F(GridTextFileRules, HostileFilesLoadOrAreRefusedWithoutHarm)
{
    // A line of two megabytes is still one row.
    QByteArray bytes = "h,v\r\nr1,";
    bytes += QByteArray(2 << 20, 'y');
    bytes += "\r\nr2,after\r\n";
    writeAll(path("long.txt"), bytes);
    CGridCtrl g;
    ASSERT_TRUE(g.LoadFromTextFile(path("long.txt"), QLatin1Char(',')));
    ASSERT_EQ(g.GetRowCount(), 3);
    EXPECT_EQ(g.GetItemText(1, 1).size(), 2 << 20);
    EXPECT_EQ(g.GetItemText(2, 1), QStringLiteral("after"));
    EXPECT_TRUE(g.GetRedraw());

    // More columns than any grid file holds: refused with the load box.
    QByteArray wide;
    for (int i = 0; i < 20000; ++i)
        wide += "c,";
    wide += "\r\n1,2\r\n";
    writeAll(path("wide.txt"), wide);
    CGridCtrl w;
    EXPECT_FALSE(w.LoadFromTextFile(path("wide.txt"), QLatin1Char(',')));
    EXPECT_EQ(prompter.boxTexts(), QStringList{QStringLiteral("Unable to load grid data")});
    EXPECT_LT(w.GetColumnCount(), 20000);

    // A wide heading over many short lines would need more cells than a grid
    // file may make: refused before any row is made.
    QByteArray many = wide.left(4000 * 2) + "\r\n";
    for (int i = 0; i < 2000; ++i)
        many += "r\r\n";
    writeAll(path("many.txt"), many);
    prompter.boxes.clear();
    CGridCtrl m;
    EXPECT_FALSE(m.LoadFromTextFile(path("many.txt"), QLatin1Char(',')));
    EXPECT_EQ(prompter.boxTexts(), QStringList{QStringLiteral("Unable to load grid data")});
    EXPECT_LE(m.GetRowCount(), 1);

    // Bytes that are not GBK, NULs and lone carriage returns load as text.
    static const char junk[] = "a,\xff\xfe\r\n\x81\x00,\rz\r\n";
    writeAll(path("junk.txt"), QByteArray(junk, sizeof junk - 1));
    CGridCtrl j;
    EXPECT_TRUE(j.LoadFromTextFile(path("junk.txt"), QLatin1Char(',')));
    EXPECT_EQ(j.GetRowCount(), 2);
    EXPECT_EQ(j.GetColumnCount(), 2);
    EXPECT_EQ(j.GetItemText(1, 1), QStringLiteral("\rz"));
}

} // namespace
} // namespace bc

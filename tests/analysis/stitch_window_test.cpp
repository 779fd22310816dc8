// The stitch window's documents: it asks before it lets a changed one go
// (closing, "新建", "打开*.sfa文件", "打开JPG文件"), its attitude list follows
// the open one, and what was done to a page stays when the page is left.

#include "stitch_frame_fixture.h"

#include "analysis/input_string_dlg.h"
#include "analysis/pick_mapping.h"
#include "analysis/shape_grid.h"
#include "analysis/unwrap_frame.h"
#include "analysis/unwrap_frame_ids.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"
#include "support/synthetic_borehole.h"

#include <QAction>
#include <QDir>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace bc {
namespace {

enum Change { None, Pick, ListEdit, Turn, Delete };
enum Command { Close, New, OpenSfa, OpenJpg };

// Viewport points of the strip view: the ends of the picked line, and a
// strip far below it.
const QPoint kLineFrom(160, 90), kLineTo(310, 140), kStrip(260, 380);

std::vector<int> pageHeights(const CUnWrapData& d)
{
    std::vector<int> heights;
    for (int i = 0; i < 10; ++i)
        heights.push_back(d.GetItem(i)->shownHeight);
    return heights;
}

struct Survey : test::StitchFrame {
    QString sfa = dir.filePath("s.sfa");
    QString other = dir.filePath("o/o.sfa");
    QStringList jpgs;
    StringAsker previous = setStringAsker([](QWidget*, const QString&, const QString&, QString& t) {
        t = QStringLiteral("新裂隙");
        return true;
    });

    // Twelve strips of 60 rows, 30 new rows a step, 36 of each shown by the
    // live stitch, with one attitude picked and saved; another survey of three.
    Survey()
    {
        settings.aspectAutoFit = 0;
        const test::SyntheticBorehole wall(400, 2000, 7, 4);
        CUnWrapData s(sfa, dir.path());
        for (int i = 0; i < 12; ++i) {
            auto strip = std::make_unique<CUnWrapImage>(wall.strip(1000 + 100 * i, 30 * i, 60));
            strip->shownHeight = 36;
            strip->header.setSize(strip->width, 36);
            s.InsertImage(std::move(strip));
        }
        EXPECT_TRUE(s.SaveSfa(12, true));
        QDir(dir.path()).mkpath("o");
        CUnWrapData o(other, dir.filePath("o"));
        test::addStrips(o, 3, 2000, 100, 300, 60, true);
        EXPECT_TRUE(o.SaveSfa(3, true));
        for (int i = 0; i < 3; ++i)
            jpgs << o.GetItem(i)->jpgPath(dir.filePath("o"));
        pick(open());
        frame->commandAction(ID_FILE_SAVE)->trigger();
        EXPECT_TRUE(frame->close());
        prompter.boxes.clear();
    }
    ~Survey() { setStringAsker(previous); }

    CUnWrapFrame& open() { return openSfa(sfa, QSize(1000, 800)); }
    static void click(CUnWrapFrame& frame, QPoint at)
    {
        QWidget* vp = frame.GetUnWrapView()->viewport();
        QTest::mouseMove(vp, at);
        QTest::mousePress(vp, Qt::LeftButton, {}, at);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, at);
    }
    static void pick(CUnWrapFrame& frame)
    {
        frame.commandAction(ID_DRAW_SHAPE)->trigger();
        click(frame, kLineFrom);
        click(frame, kLineTo);
        frame.SetPickMode(0);
    }
    // The index and every strip file.
    QByteArray onDisk() const
    {
        QByteArray all = test::fileBytes(sfa);
        for (const QString& name : QDir(dir.path()).entryList({"*.jpg"}, QDir::Files, QDir::Name))
            all += test::fileBytes(dir.filePath(name));
        return all;
    }
    QStringList descriptionsOnDisk() const
    {
        QStringList texts;
        if (const auto d = test::reloadSurvey(sfa))
            for (int i = 0; i < d->GetShapeCount(); ++i)
                texts << d->GetShape(i)->GetText(TextDescription);
        return texts;
    }
};

// Opens the editor of the first attitude's description in the list, as a
// double click does; its line edit.
QLineEdit* editFirstDescription(CUnWrapFrame& frame)
{
    CShapeGrid* grid = frame.GetShapeGrid();
    GridRect r;
    grid->CellRect(1, 4, &r);
    const QPoint at = r.toQRect().center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at);
    return qobject_cast<QLineEdit*>(grid->activeEditor());
}

void change(CUnWrapFrame& frame, Change what)
{
    CUnWrapView* view = frame.GetUnWrapView();
    if (what == Pick) {
        Survey::pick(frame);
    } else if (what == ListEdit) {
        QLineEdit* edit = editFirstDescription(frame);
        ASSERT_NE(edit, nullptr);
        edit->setText(QStringLiteral("改过"));
        QTest::keyClick(edit, Qt::Key_Return);
    } else if (what == Turn) {
        Survey::click(frame, kStrip);
        ASSERT_GE(view->pageState().selectedItem, 0);
        QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    } else if (what == Delete) {
        Survey::click(frame, kLineFrom);
        ASSERT_EQ(frame.GetData()->GetSelectedCount(), 1);
        QTest::keyClick(view, Qt::Key_Delete);
    }
}

// A description still being typed in the list when the window is closed or
// another document is opened is a change like any other: it is asked about,
// and "是" saves it; "保存" saves it too.
TEST(StitchWindowDocuments, AnEditStillOpenInTheListIsAChange)
{
    for (const int command : {0, int(ID_FILE_NEW), int(ID_FILE_SAVE)}) { // 0: the window closed
        SCOPED_TRACE(command);
        Survey s;
        CUnWrapFrame* frame = &s.open();
        QLineEdit* edit = editFirstDescription(*frame);
        ASSERT_NE(edit, nullptr);
        QTest::keyClick(edit, Qt::Key_End);
        QInputMethodEvent typed; // "张开" picked in the input method
        typed.setCommitString(QStringLiteral("张开"));
        QCoreApplication::sendEvent(edit, &typed);
        const bool asks = command != ID_FILE_SAVE;
        if (asks)
            s.prompter.boxAnswers.push_back(IDYES);
        if (command == 0) {
            EXPECT_TRUE(frame->close());
        } else {
            frame->commandAction(command)->trigger();
        }
        ASSERT_EQ(s.prompter.boxes.size(), asks ? 1u : 0u);
        if (asks) {
            EXPECT_EQ(s.prompter.boxes[0].text, QStringLiteral("是否保存对s.sfa的修改?"));
        }
        EXPECT_EQ(s.descriptionsOnDisk(), QStringList({QStringLiteral("新裂隙张开")}));
    }
}

TEST(StitchWindowDocuments, AskBeforeAChangedDocumentIsLetGo)
{
    const struct {
        Change change;
        Command command;
        int answer;        // 0: no question expected
        const char* saved; // the descriptions saved, '|' between; null: nothing written
    } rows[] = {
        {None, Close, 0, nullptr},
        {None, New, 0, nullptr},
        {Pick, Close, IDYES, "新裂隙|新裂隙"},
        {Pick, Close, IDNO, nullptr},
        {Pick, Close, IDCANCEL, nullptr},
        {ListEdit, New, IDYES, "改过"},
        {ListEdit, New, IDCANCEL, nullptr},
        {Turn, OpenSfa, IDNO, nullptr},
        {Turn, OpenSfa, IDYES, "新裂隙"}, // the strip's file is new
        {Delete, OpenJpg, IDCANCEL, nullptr},
        {Delete, OpenJpg, IDNO, nullptr},
        {Delete, Close, IDYES, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.change << ' ' << row.command << ' ' << row.answer);
        Survey s;
        const QByteArray before = s.onDisk();
        CUnWrapFrame* frame = &s.open();
        change(*frame, row.change);
        if (row.answer)
            s.prompter.boxAnswers.push_back(row.answer);
        bool closed = false;
        if (row.command == Close) {
            closed = frame->close();
        } else {
            if (row.command == OpenSfa)
                s.prompter.fileAnswers.push_back(s.other);
            if (row.command == OpenJpg)
                s.prompter.multiFileAnswers.push_back(s.jpgs);
            const int ids[] = {0, ID_FILE_NEW, ID_FILE_OPEN, ID_OPEN_JPG};
            frame->commandAction(ids[row.command])->trigger();
        }
        ASSERT_EQ(s.prompter.boxes.size(), row.answer ? 1u : 0u);
        if (row.answer) {
            EXPECT_EQ(std::tuple(s.prompter.boxes[0].text, s.prompter.boxes[0].style),
                      std::tuple(QStringLiteral("是否保存对s.sfa的修改?"),
                                 unsigned(MB_YESNOCANCEL | MB_ICONQUESTION)));
        }
        // Cancel keeps the window and the document with its change.
        const bool kept = row.answer == IDCANCEL;
        const CUnWrapData* d = frame->GetData();
        EXPECT_EQ(closed, row.command == Close && !kept);
        const QString expectedPath = kept || row.command == Close ? s.sfa
                                     : row.command == OpenSfa     ? s.other
                                     : row.command == OpenJpg     ? s.dir.filePath("o/temp.sfa")
                                                                  : QString();
        EXPECT_EQ(d ? d->filePath() : QString(), expectedPath);
        if (kept) {
            EXPECT_TRUE(d->IsModified());
        }
        EXPECT_EQ(s.onDisk() == before, !row.saved);
        if (row.saved) {
            EXPECT_EQ(s.descriptionsOnDisk().join('|'), QString::fromUtf8(row.saved));
        }
        // The attitude list shows the open document's attitudes, none without one.
        if (!closed) {
            if (row.command == OpenJpg && !kept)
                Survey::pick(*frame);
            QStringList shown, held;
            for (int r = 1; r < frame->GetShapeGrid()->GetRowCount(); ++r)
                shown << frame->GetShapeGrid()->GetItemText(r, 0);
            for (int i = 0; d && i < d->GetShapeCount(); ++i)
                held << QString::number(d->GetShape(i)->GetId());
            EXPECT_EQ(shown, held);
        }
    }
}

// The shown height and a checksum of the pixels of each strip of page 0.
std::vector<std::pair<int, size_t>> pageContent(const CUnWrapData& d)
{
    std::vector<std::pair<int, size_t>> content;
    for (int i = 0; i < 10; ++i) {
        const CUnWrapImage& s = *d.GetItem(i);
        const QByteArray bytes = s.hasPixels()
                                     ? QByteArray(reinterpret_cast<const char*>(s.pixels()),
                                                  qsizetype(s.rows) * s.stride)
                                     : QByteArray();
        content.emplace_back(s.shownHeight, qHash(bytes));
    }
    return content;
}

// A strip turned and the page aligned twice, then the next page and back: the
// page is as the user left it, and what was done to it is an unsaved change
// of the document. "保存" (from another page) writes the turned picture and
// the heights and lets go of the pixels no page shows; closing asks, 是
// writes, 否 leaves the files as they were.
TEST(StitchWindowDocuments, APageLeftKeepsItsEditsAsUnsavedChanges)
{
    enum End { Save, CloseYes, CloseNo };
    for (const End end : {Save, CloseYes, CloseNo}) {
        SCOPED_TRACE(end);
        Survey s;
        const QByteArray before = s.onDisk();
        CUnWrapFrame* frame = &s.open();
        CUnWrapView* view = frame->GetUnWrapView();
        const CUnWrapData& d = *frame->GetData();
        Survey::click(*frame, kStrip);
        // The page's last strip: no strip below it blends into its picture.
        ASSERT_EQ(view->pageState().selectedItem, 9);
        const CUnWrapImage original(*d.GetItem(9));
        QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
        frame->commandAction(ID_AUTO_ALIGN)->trigger();
        const auto once = pageContent(d);
        frame->commandAction(ID_AUTO_ALIGN)->trigger();
        const auto left = pageContent(d);
        ASSERT_NE(left, once) << "the second align changes the page again";
        s.clickCommand(ID_NEXT_PAGE);
        s.clickCommand(ID_PREV_PAGE);
        EXPECT_EQ(std::tuple(view->currentPage(), pageContent(d), s.prompter.boxTexts()),
                  std::tuple(0, left, QStringList()));
        std::vector<int> heights;
        for (const auto& [height, pixels] : left)
            heights.push_back(height);
        if (end == Save) {
            s.clickCommand(ID_NEXT_PAGE);
            frame->commandAction(ID_FILE_SAVE)->trigger();
            EXPECT_EQ(test::residentStrips(d), std::vector<int>({10, 11}));
            s.clickCommand(ID_PREV_PAGE);
            EXPECT_EQ(pageHeights(d), heights);
        } else {
            s.prompter.boxAnswers.push_back(end == CloseYes ? IDYES : IDNO);
        }
        EXPECT_TRUE(frame->close());
        EXPECT_EQ(s.prompter.boxTexts(),
                  end == Save ? QStringList()
                              : QStringList{QStringLiteral("是否保存对s.sfa的修改?")});
        EXPECT_EQ(s.onDisk() == before, end == CloseNo);
        if (end == CloseNo)
            continue;
        const auto reopened = test::reloadSurvey(s.sfa);
        ASSERT_TRUE(reopened);
        EXPECT_EQ(pageHeights(*reopened), heights);
        CUnWrapImage file;
        ASSERT_TRUE(file.LoadJpgFile(original.jpgPath(s.dir.path())));
        // Read back, it is the original moved 10 columns right, give or take
        // what the picture's compression loses.
        EXPECT_LT(4 * test::meanDifference(file, test::movedRight(original, 10), 0, 60),
                  test::meanDifference(file, original, 0, 60));
    }
}

} // namespace
} // namespace bc

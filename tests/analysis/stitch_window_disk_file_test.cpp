// The stitch window's "保存" replaces only the file it read or wrote last:
// a survey another window or another copy of the program saved meanwhile,
// or a temp.sfa of other pictures, is replaced only when the user says so;
// and a disk that cannot keep the file leaves the old one whole.

#include "stitch_frame_fixture.h"

#include "analysis/input_string_dlg.h"
#include "analysis/unwrap_data.h"
#include "core/atomic_file.h"
#include "core/system_error.h"
#include "support/file_bytes.h"

#include <QDateTime>
#include <QDir>

#include <cerrno>

namespace bc {
namespace {

// Viewport points of a line picked on the first strips of a page.
const QPoint kLineFrom(120, 80), kLineTo(250, 150);

QString changedQuestion(const QString& path)
{
    return QStringLiteral("文件'%1'已被其它窗口或程序修改。\n是否用当前的分析结果替换它?")
        .arg(path);
}

// Scripts the answers `command` meets before it writes over `changed`: the
// save question of "新建" (是), then the changed-file question (`answer`,
// none when 0). Gives the questions expected, in order.
QStringList scriptAnswers(test::ScriptedPrompter& prompter, int command, int answer,
                          const QString& changed)
{
    QStringList expected;
    if (command == ID_FILE_NEW) {
        prompter.boxAnswers.push_back(IDYES);
        expected << QStringLiteral("是否保存对s.sfa的修改?");
    }
    if (answer) {
        prompter.boxAnswers.push_back(answer);
        expected << changedQuestion(changed);
    }
    return expected;
}

void click(CUnWrapFrame& frame, QPoint at)
{
    QWidget* vp = frame.GetUnWrapView()->viewport();
    QTest::mouseMove(vp, at);
    QTest::mousePress(vp, Qt::LeftButton, {}, at);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, at);
}

// A line picked with two clicks and described: the document is changed.
void pickLine(CUnWrapFrame& frame)
{
    frame.commandAction(ID_DRAW_SHAPE)->trigger();
    click(frame, kLineFrom);
    click(frame, kLineTo);
    frame.SetPickMode(0);
}

struct SavedSurvey : test::StitchFrame {
    QString sfa = dir.filePath("s.sfa");
    StringAsker previous = setStringAsker([](QWidget*, const QString&, const QString&, QString& t) {
        t = QStringLiteral("裂隙");
        return true;
    });

    // Six strips 300 wide, hole "ZK01", no attitude.
    SavedSurvey()
    {
        settings.aspectAutoFit = 0;
        CUnWrapData s(sfa, dir.path());
        test::addStrips(s, 6, 1000, 100, 300, 60);
        s.header().holeNumber = QStringLiteral("ZK01");
        EXPECT_TRUE(s.SaveSfa(6, true));
    }
    ~SavedSurvey() { setStringAsker(previous); }

    // What the survey on disk holds: strips and attitudes.
    std::pair<int, int> onDisk() const
    {
        const auto d = test::reloadSurvey(sfa);
        return d ? std::pair(d->GetItemCount(), d->GetShapeCount()) : std::pair(-1, -1);
    }
};

// What someone else did to the file between this window's load and its save.
enum Rewrite {
    Untouched,
    Removed,
    OtherCopySaved,   // another copy of the program saved one strip fewer
    SameSizeSameTime, // rewritten in place, same size, its time put back
};

void rewrite(const QString& sfa, Rewrite how)
{
    if (how == Untouched)
        return;
    if (how == Removed) {
        ASSERT_TRUE(QFile::remove(sfa));
        return;
    }
    CUnWrapData other(sfa, QFileInfo(sfa).absolutePath());
    ASSERT_TRUE(other.LoadSfa());
    if (how == OtherCopySaved) {
        ASSERT_TRUE(other.SaveSfa(other.GetItemCount() - 1, false));
        return;
    }
    // The same inode, size and time: only the content tells.
    QFile file(sfa);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QDateTime time = file.fileTime(QFileDevice::FileModificationTime);
    QByteArray bytes = file.readAll();
    const qsizetype at = bytes.indexOf("ZK01");
    ASSERT_GT(at, 0);
    bytes[at + 3] = '2';
    ASSERT_TRUE(file.seek(0) && file.write(bytes) == bytes.size() && file.flush());
    ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
}

TEST(StitchWindowDiskFile, ASurveyChangedOnDiskIsReplacedOnlyWhenTheUserSaysSo)
{
    const struct {
        Rewrite rewrite;
        int command;    // ID_FILE_SAVE, or ID_FILE_NEW answered 是
        int answer;     // to the question on the changed file; 0: not asked
        bool oursSaved; // else the other side's file stays byte for byte
    } rows[] = {
        {Untouched, ID_FILE_SAVE, 0, true},
        {Removed, ID_FILE_SAVE, 0, true},
        {OtherCopySaved, ID_FILE_SAVE, IDNO, false},
        {OtherCopySaved, ID_FILE_SAVE, IDYES, true},
        {SameSizeSameTime, ID_FILE_SAVE, IDNO, false},
        {SameSizeSameTime, ID_FILE_NEW, IDYES, true},
        {OtherCopySaved, ID_FILE_NEW, IDNO, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.rewrite << " " << row.command << " " << row.answer);
        SavedSurvey s;
        CUnWrapFrame& frame = s.openSfa(s.sfa, QSize(1000, 800));
        ASSERT_TRUE(frame.GetData());
        pickLine(frame);
        ASSERT_EQ(frame.GetData()->GetShapeCount(), 1);
        rewrite(s.sfa, row.rewrite);
        const QByteArray theirs = test::fileBytes(s.sfa);

        const QStringList expected = scriptAnswers(s.prompter, row.command, row.answer, s.sfa);
        frame.commandAction(row.command)->trigger();
        EXPECT_EQ(s.prompter.boxTexts(), expected);
        EXPECT_TRUE(s.prompter.boxAnswers.empty());
        if (row.oursSaved) {
            EXPECT_EQ(s.onDisk(), std::pair(6, 1));
        } else {
            EXPECT_EQ(test::fileBytes(s.sfa), theirs);
            // Kept, with its change: nothing of it was written.
            ASSERT_TRUE(frame.GetData());
            EXPECT_TRUE(frame.GetData()->IsModified());
        }
        // Once written, the file is this window's again: no more questions.
        s.prompter.boxes.clear();
        s.prompter.boxAnswers.push_back(IDYES);
        if (frame.GetData())
            frame.commandAction(ID_FILE_SAVE)->trigger();
        EXPECT_EQ(s.prompter.boxTexts(),
                  row.oursSaved ? QStringList() : QStringList{changedQuestion(s.sfa)});
        s.prompter.boxAnswers.clear();
    }
}

// Two windows on one survey, as two copies of the program would have: each
// saves what it has; the one that saves second is asked, and its 否 keeps
// the first one's attitude.
TEST(StitchWindowDiskFile, TwoWindowsOnOneSurveyDoNotEraseEachOthersWork)
{
    SavedSurvey s;
    const WorkspaceContext ctx{&s.settings, [] { return 0; }, {}, {}, {}};
    std::unique_ptr<CUnWrapFrame> windows[2];
    for (auto& w : windows) {
        w.reset(OpenStitchFrame(nullptr, ctx));
        ASSERT_TRUE(w);
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->resize(1000, 800);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        s.prompter.fileAnswers.push_back(s.sfa);
        w->commandAction(ID_FILE_OPEN)->trigger();
        ASSERT_TRUE(w->GetData());
    }
    pickLine(*windows[0]);
    windows[0]->commandAction(ID_FILE_SAVE)->trigger();
    EXPECT_TRUE(s.prompter.boxes.empty());
    const QByteArray first = test::fileBytes(s.sfa);

    // The second window saves what it holds: no attitude.
    for (const int answer : {IDNO, IDYES}) {
        s.prompter.boxes.clear();
        s.prompter.boxAnswers.push_back(answer);
        windows[1]->commandAction(ID_FILE_SAVE)->trigger();
        EXPECT_EQ(s.prompter.boxTexts(), QStringList{changedQuestion(s.sfa)});
        if (answer == IDNO) {
            EXPECT_EQ(test::fileBytes(s.sfa), first);
        }
    }
    EXPECT_EQ(s.onDisk(), std::pair(6, 0));
    // Now the first window's file changed under it.
    s.prompter.boxes.clear();
    s.prompter.boxAnswers.push_back(IDNO);
    windows[0]->commandAction(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(s.prompter.boxTexts(), QStringList{changedQuestion(s.sfa)});
    EXPECT_EQ(s.onDisk(), std::pair(6, 0));
}

// The strip pictures a save writes are files another window may have saved
// too: a picture rewritten since this window read it is replaced only when
// the user says so, even when the survey index itself is unchanged.
TEST(StitchWindowDiskFile, AStripPictureSavedByAnotherWindowIsReplacedOnlyWhenTheUserSaysSo)
{
    const struct {
        bool sameStrip; // the second window turns the strip the first one saved
        int command;    // ID_FILE_SAVE, or ID_FILE_NEW answered 是
        int answer;     // to the question on the changed picture; 0: not asked
    } rows[] = {
        {false, ID_FILE_SAVE, 0},  {true, ID_FILE_SAVE, IDNO}, {true, ID_FILE_SAVE, IDYES},
        {true, ID_FILE_NEW, IDNO}, {true, ID_FILE_NEW, IDYES},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.sameStrip << " " << row.command << " " << row.answer);
        SavedSurvey s;
        // Pictures whose columns differ, so that a turn changes them.
        for (int i = 0; i < 6; ++i) {
            const auto strip = test::colourStrip(1000 + 100 * i, 300, 60, [](int x, int y) {
                return qRgb(x % 256, y * 4, x * 7 % 256);
            });
            ASSERT_TRUE(strip->SaveJpg(s.dir.path()));
        }
        const WorkspaceContext ctx{&s.settings, [] { return 0; }, {}, {}, {}};
        std::unique_ptr<CUnWrapFrame> windows[2];
        int turned[2] = {-1, -1};
        for (int w = 0; w < 2; ++w) {
            windows[w].reset(OpenStitchFrame(nullptr, ctx));
            ASSERT_TRUE(windows[w]);
            windows[w]->setAttribute(Qt::WA_DeleteOnClose, false);
            windows[w]->resize(1000, 800);
            windows[w]->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(windows[w].get()));
            s.prompter.fileAnswers.push_back(s.sfa);
            windows[w]->commandAction(ID_FILE_OPEN)->trigger();
            ASSERT_TRUE(windows[w]->GetData());
            // A strip clicked in the middle of the page, turned 10 columns.
            CUnWrapView* view = windows[w]->GetUnWrapView();
            click(*windows[w], QPoint(200, w == 0 || row.sameStrip ? 150 : 260));
            turned[w] = view->pageState().selectedItem;
            ASSERT_GE(turned[w], 0);
            QTest::keyClick(view, w == 0 ? Qt::Key_Right : Qt::Key_Left, Qt::ShiftModifier);
        }
        ASSERT_EQ(turned[0] == turned[1], row.sameStrip);
        windows[0]->commandAction(ID_FILE_SAVE)->trigger();
        ASSERT_TRUE(s.prompter.boxes.empty());
        const QString picture = windows[1]->GetData()->GetItem(turned[1])->jpgPath(s.dir.path());
        const QByteArray first = test::fileBytes(picture);

        const QStringList expected = scriptAnswers(s.prompter, row.command, row.answer, picture);
        windows[1]->commandAction(row.command)->trigger();
        EXPECT_EQ(s.prompter.boxTexts(), expected);
        EXPECT_TRUE(s.prompter.boxAnswers.empty());
        if (row.answer == IDNO) {
            // The first window's turn stays; the second keeps its own, unsaved.
            EXPECT_EQ(test::fileBytes(picture), first);
            ASSERT_TRUE(windows[1]->GetData());
            EXPECT_TRUE(windows[1]->GetData()->IsModified());
        } else {
            EXPECT_NE(test::fileBytes(picture), first);
        }
        s.prompter.boxAnswers.clear();
    }
}

// "打开JPG文件" keeps its document in temp.sfa of the pictures' folder: a
// temp.sfa of other pictures is replaced only after the save dialog's own
// question; one this document read or wrote is replaced unasked.
TEST(StitchWindowDiskFile, ATempSfaOfOtherPicturesIsReplacedOnlyAfterAsking)
{
    SavedSurvey s;
    const QString pictures = s.dir.filePath("pics");
    ASSERT_TRUE(QDir().mkpath(pictures));
    const QString temp = pictures + QStringLiteral("/temp.sfa");
    auto jpgs = [&](int first, int count) {
        QStringList files;
        for (int i = 0; i < count; ++i) {
            auto strip = test::rowStrip(first + 100 * i, 300, 60);
            EXPECT_TRUE(strip->SaveJpg(pictures));
            files << strip->jpgPath(pictures);
        }
        return files;
    };
    const QStringList firstSet = jpgs(1000, 3), secondSet = jpgs(5000, 4);
    const QString replace = QStringLiteral("temp.sfa 已存在。\n您想要替换它吗？");

    CUnWrapFrame& frame = s.build(CUnWrapFrame::StandAlone, QSize(1000, 800));
    s.prompter.multiFileAnswers.push_back(firstSet);
    frame.commandAction(ID_OPEN_JPG)->trigger();
    pickLine(frame);
    frame.commandAction(ID_FILE_SAVE)->trigger(); // a new temp.sfa
    ASSERT_TRUE(s.prompter.boxes.empty());
    const QByteArray firstSaved = test::fileBytes(temp);
    ASSERT_FALSE(firstSaved.isEmpty());

    s.prompter.multiFileAnswers.push_back(secondSet);
    frame.commandAction(ID_OPEN_JPG)->trigger();
    ASSERT_EQ(frame.GetData() ? frame.GetData()->GetItemCount() : 0, 4);
    const struct {
        int answer; // 0: not asked
        std::pair<int, int> onDisk;
    } saves[] = {{IDNO, {3, 1}}, {IDYES, {4, 0}}, {0, {4, 0}}};
    for (const auto& save : saves) {
        SCOPED_TRACE(save.answer);
        s.prompter.boxes.clear();
        if (save.answer)
            s.prompter.boxAnswers.push_back(save.answer);
        frame.commandAction(ID_FILE_SAVE)->trigger();
        EXPECT_EQ(s.prompter.boxTexts(), save.answer ? QStringList{replace} : QStringList());
        const auto d = test::reloadSurvey(temp);
        ASSERT_TRUE(d);
        EXPECT_EQ(std::pair(d->GetItemCount(), d->GetShapeCount()), save.onDisk);
        if (save.answer == IDNO) {
            EXPECT_EQ(test::fileBytes(temp), firstSaved);
        }
    }
    // temp.sfa opened as a survey is this document's own file.
    s.prompter.boxes.clear();
    s.prompter.fileAnswers.push_back(temp);
    frame.commandAction(ID_FILE_OPEN)->trigger();
    pickLine(frame);
    frame.commandAction(ID_FILE_SAVE)->trigger();
    EXPECT_TRUE(s.prompter.boxes.empty());
    EXPECT_EQ(test::reloadSurvey(temp)->GetShapeCount(), 1);
}

int syncFailsWithEio(int)
{
    errno = EIO;
    return -1;
}

// A disk that takes the bytes but cannot keep them: "保存" says so with the
// reason, the old survey stays byte for byte with no temporary file beside
// it, and the change is still there to save.
TEST(StitchWindowDiskFile, ASurveyTheDiskCannotKeepLeavesTheOldFileWhole)
{
    SavedSurvey s;
    CUnWrapFrame& frame = s.openSfa(s.sfa, QSize(1000, 800));
    pickLine(frame);
    const QByteArray old = test::fileBytes(s.sfa);
    const QStringList files = QDir(s.dir.path()).entryList(QDir::Files | QDir::Hidden);

    const SyncToDiskCall previous = setSyncToDiskCall(&syncFailsWithEio);
    frame.commandAction(ID_FILE_SAVE)->trigger();
    setSyncToDiskCall(previous);

    ASSERT_EQ(s.prompter.boxes.size(), 1u);
    EXPECT_EQ(s.prompter.boxes[0].text, QStringLiteral("保存SFA文件失败\n") + SystemErrorText(EIO));
    EXPECT_EQ(test::fileBytes(s.sfa), old);
    EXPECT_EQ(QDir(s.dir.path()).entryList(QDir::Files | QDir::Hidden), files);
    ASSERT_TRUE(frame.GetData());
    EXPECT_TRUE(frame.GetData()->IsModified());
}

} // namespace
} // namespace bc

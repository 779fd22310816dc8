// The stitch window's "保存" replaces only the file it read or wrote last:
// a survey another window or another copy of the program saved meanwhile,
// or a temp.sfa of other pictures, is replaced only when the user says so;
// and a disk that cannot keep the file leaves the old one whole.

#include "stitch_frame_fixture.h"

#include "analysis/input_string_dlg.h"
#include "analysis/unwrap_data.h"
#include "core/atomic_file.h"
#include "core/system_error.h"
#include "platform/text_codec.h"
#include "support/file_bytes.h"

#include <QDateTime>
#include <QDir>

#include <cerrno>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
        if (row.answer) { // 否 the default
            EXPECT_EQ(s.prompter.boxes.back().style,
                      unsigned(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
        }
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
        bool index{};   // the first window picks a line too: one question, on the index
    } rows[] = {
        {false, ID_FILE_SAVE, 0},  {true, ID_FILE_SAVE, IDNO}, {true, ID_FILE_SAVE, IDYES},
        {true, ID_FILE_NEW, IDNO}, {true, ID_FILE_NEW, IDYES}, {true, ID_FILE_SAVE, IDYES, true},
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
        if (row.index)
            pickLine(*windows[0]);
        windows[0]->commandAction(ID_FILE_SAVE)->trigger();
        ASSERT_TRUE(s.prompter.boxes.empty());
        const QString picture = windows[1]->GetData()->GetItem(turned[1])->jpgPath(s.dir.path());
        const QByteArray first = test::fileBytes(picture);

        const QStringList expected =
            scriptAnswers(s.prompter, row.command, row.answer, row.index ? s.sfa : picture);
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
        EXPECT_EQ(s.onDisk(), std::pair(6, 0)); // 是 replaced the index too, with its line
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

// "保存" names the texts GBK cannot hold and asks once, 否 the default, before writing them as "?".
TEST(StitchWindowDiskFile, TextsTheFileCannotHoldAreWrittenAsQuestionMarksOnlyWhenTheUserSaysSo)
{
    const QString d = QStringLiteral("ID为%1的产状描述：층 리 😀 ß ✓ 𠀀"); // é and √ are in GBK
    QStringList eight{QStringLiteral("测试人员：ß ✓ 가 나 다 라 마 바 사 아 …")};
    for (int id = 0; id < 4; ++id)
        eight << d.arg(id);
    eight << QStringLiteral("……另有3处文字含有这样的字符");
    const struct {
        QString tester;      // "测试人员"
        int extraShapes;     // described as the picked line is
        int answer;          // 0: the question's default
        QStringList asked;   // the named texts
        const char* written; // the description on disk; null: nothing written
        int command;         // ID_FILE_SAVE, or ID_FILE_NEW with its save question answered 是
    } rows[] = {
        {"Müller", 0, IDYES, {d.arg(0)}, "F2 ?? ? ? ? ? é √", ID_FILE_SAVE},
        {"张三", 0, IDNO, {d.arg(0)}, nullptr, ID_FILE_NEW},
        {"Weiß ✓ 가나다라마바사아자", 6, 0, eight, nullptr, ID_FILE_SAVE}, // five named
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.asked.join(u' ').toStdString());
        SavedSurvey s;
        CUnWrapFrame& frame = s.openSfa(s.sfa, QSize(1000, 800));
        ASSERT_TRUE(frame.GetData());
        pickLine(frame);
        CUnWrapData& data = *frame.GetData();
        for (int i = 0; i < row.extraShapes; ++i)
            data.AddShape(std::make_unique<CAttitudeLine>(NextShapeId(), CShapePoint(1, 1100),
                                                          CShapePoint(2, 1120), 0, 1, 0xFF));
        for (int i = 0; i < data.GetShapeCount(); ++i)
            data.GetShape(i)->SetDescription(QStringLiteral("F2 층리 😀 ß ✓ 𠀀 é √"));
        data.header().tester = row.tester;
        const QByteArray old = test::fileBytes(s.sfa);
        const QStringList expected =
            scriptAnswers(s.prompter, row.command, 0, {})
            << QStringLiteral("以下文字含有SFA文件无法保存的字符，保存后这些字符将变为\"?\"：\n%1\n"
                              "是否仍要保存?")
                   .arg(row.asked.join(u'\n'));
        if (row.answer)
            s.prompter.boxAnswers.push_back(row.answer);
        frame.commandAction(row.command)->trigger();
        ASSERT_EQ(s.prompter.boxTexts(), expected);
        EXPECT_EQ(s.prompter.boxes.back().style,
                  unsigned(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
        ASSERT_EQ(frame.GetData(), &data); // 新建 answered 否 too keeps the window's work
        EXPECT_EQ(data.IsModified(), !row.written);
        const QByteArray bytes = test::fileBytes(s.sfa);
        EXPECT_TRUE(row.written ? bytes.contains(toGbk(QString::fromUtf8(row.written)) + '\0')
                                : bytes == old);
    }
}

// "保存" needs memory by the survey's size, not the largest there could be: a
// child process saves with its address space held to 128 MB above where it stands.
TEST(StitchWindowDiskFile, ASmallSurveySavesWithLittleMemoryToSpare)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's shadow memory takes more address space than the limit";
#else
    SavedSurvey s;
    CUnWrapFrame& frame = s.openSfa(s.sfa, QSize(1000, 800));
    pickLine(frame);
    const QByteArray proc = test::fileBytes(QStringLiteral("/proc/self/status"));
    const qsizetype vm = proc.indexOf("VmSize:") + 7; // in kB
    const rlim_t now = rlim_t(proc.mid(vm, proc.indexOf('k', vm) - vm).trimmed().toULongLong());
    const pid_t child = ::fork();
    if (child == 0) { // ends by _exit on every path, running no further test
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = (now << 10) + (rlim_t(128) << 20);
        try {
            if (setrlimit(RLIMIT_AS, &limit) == 0)
                frame.commandAction(ID_FILE_SAVE)->trigger();
        } catch (...) { // an allocation failed
            ::_exit(3);
        }
        ::_exit(s.prompter.boxes.empty() && !frame.GetData()->IsModified() ? 0 : 2);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0); // exited with 0
    EXPECT_EQ(s.onDisk(), std::pair(6, 1));
#endif
}

int syncFailsWithEio(int)
{
    errno = EIO;
    return -1;
}

// A disk that takes the bytes but cannot keep them: "保存" says so with the
// reason, the old survey stays byte for byte with no temporary file beside
// it, and the change is still there to save, then saved asking nothing.
TEST(StitchWindowDiskFile, ASurveyTheDiskCannotKeepLeavesTheOldFileWhole)
{
    SavedSurvey s;
    CUnWrapFrame& frame = s.openSfa(s.sfa, QSize(1000, 800));
    click(frame, QPoint(200, 150));
    ASSERT_GE(frame.GetUnWrapView()->pageState().selectedItem, 0);
    QTest::keyClick(frame.GetUnWrapView(), Qt::Key_Right, Qt::ShiftModifier);
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
    frame.commandAction(ID_FILE_SAVE)->trigger(); // the turned strip's picture is its own
    EXPECT_EQ(s.prompter.boxes.size(), 1u);
    EXPECT_EQ(s.onDisk(), std::pair(6, 1));
}

} // namespace
} // namespace bc

// The strip view: live strips down and up the hole with paging, stitching,
// keys and the recording on disk; the documents; painting and zoom; the
// writable temp folder.

#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/survey_params.h"
#include "platform/work_folder.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"
#include "support/synthetic_borehole.h"

#include <QDir>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace bc;
using namespace bc::test;

namespace {

constexpr int kRows = 60;
constexpr int kOverlap = 20;

// The k-th of `count` strips of a survey going down (or up) the wall.
std::unique_ptr<CUnWrapImage> surveyStrip(const SyntheticBorehole& wall, int k, int count, bool up)
{
    const int n = up ? count - 1 - k : k;
    const int top = (n * (kRows - kOverlap)) % std::max(1, wall.length() - kRows);
    return std::make_unique<CUnWrapImage>(wall.strip(1000 + 200 * n, top, kRows));
}

// Twelve strips 120 columns wide.
QString writeSurvey(const QString& sfa)
{
    const SyntheticBorehole wall(120, 1000, 5, 4);
    CUnWrapData d(sfa, QFileInfo(sfa).absolutePath());
    for (int k = 0; k < 12; ++k)
        d.InsertImage(surveyStrip(wall, k, 12, false));
    EXPECT_TRUE(d.SaveSfa(12, true));
    return sfa;
}

} // namespace

// Only the current page holds pixels at every step, in both directions, so
// that a survey of any length keeps its memory flat; a recording has every
// other strip and the index listing them on disk at every step.
TEST(StripView, LiveStripsPageStitchAndRecord)
{
    const int count = 45; // four pages left behind
    const SyntheticBorehole wall(720, count * kRows, 7);
    for (const auto& [formMode, up] : {std::pair{1, false}, {2, false}, {1, true}, {2, true}}) {
        SCOPED_TRACE(testing::Message() << "mode " << formMode << " up " << up);
        ScriptedPrompter prompter;
        StripViewFixture st(formMode);
        st.settings.moveDirection = up ? 1 : 0;
        st.settings.searchRangeIndex = 7; // no entry: the default range
        CUnWrapView& view = st.build();
        QSignalSpy pages(&view, &CUnWrapView::pageCountChanged);
        for (int k = 0; k < count; ++k) {
            view.AddCapturedImage(surveyStrip(wall, k, count, up));
            const CUnWrapData& d = *view.GetData();
            const int page = up ? 0 : k / 10;
            ASSERT_EQ(
                std::tuple(view.currentPage(), view.GetPageCount(), pages.back().at(0).toInt()),
                std::tuple(page, k / 10 + 1, k / 10 + 1))
                << k;
            std::vector<int> onPage, written;
            for (int i = 0; i <= k; ++i)
                if (i / 10 == page)
                    onPage.push_back(i);
                else
                    written.push_back(d.GetItem(i)->depthKey);
            ASSERT_EQ(residentStrips(d), onPage) << k;
            if (formMode == 2) {
                int missing = 0;
                const auto onDisk = reloadSurvey(st.sfaPath(), &missing);
                ASSERT_EQ(onDisk ? depthKeys(*onDisk) : std::vector<int32_t>{}, written) << k;
                EXPECT_EQ(missing, 0) << k;
            }
        }
        const CUnWrapData& d = *view.GetData();
        for (int i = 0; i < count; ++i) {
            // Down the hole each page starts afresh; up the hole each strip
            // is matched against the one that arrived after it, above it.
            const bool stitched = up ? i > 0 : i % 10 != 0;
            EXPECT_EQ(std::tuple(d.GetItem(i)->shownHeight, d.GetItem(i)->depthKey),
                      std::tuple(stitched ? kRows - kOverlap : kRows, 1000 + 200 * i))
                << i;
        }

        // The arrow keys turn the selected strip and change its shown rows.
        const int selected = view.currentPage() * 10 + 2;
        CUnWrapImage before = *d.GetItem(selected);
        view.setSelectedItem(selected);
        QTest::keyClick(&view, Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(&view, Qt::Key_Up);
        QTest::keyClick(&view, Qt::Key_Escape);
        const CUnWrapImage& after = *d.GetItem(selected);
        EXPECT_EQ(after.shownHeight, before.shownHeight - 1);
        EXPECT_EQ(0, std::memcmp(after.row(5), before.row(5) + 30, 3 * (720 - 10)));

        // Gone without its document being closed by anyone: a recording has
        // every strip and the index on disk, a live view nothing.
        st.view.reset();
        int missing = 0;
        const auto onDisk = reloadSurvey(st.sfaPath(), &missing);
        if (formMode == 2) {
            ASSERT_TRUE(onDisk);
            EXPECT_EQ(
                std::tuple(onDisk->GetItemCount(), missing, onDisk->GetItem(selected)->shownHeight),
                std::tuple(count, 0, before.shownHeight - 1));
        } else {
            EXPECT_EQ(QDir(st.dir.path()).entryList(QDir::Files).size(), 0);
        }
        EXPECT_TRUE(prompter.boxes.empty());
    }
}

// A recording whose folder cannot take files keeps every strip in memory,
// says so once, and still lists in its index what did reach the disk.
TEST(StripView, ARecordingThatCannotBeWrittenKeepsItsStripsAndSaysSoOnce)
{
    ScriptedPrompter prompter;
    StripViewFixture st(2);
    WorkspaceContext ctx = st.build().context();
    ctx.recordingFolder = writeSurvey(st.sfaPath()); // a file: nothing goes into it
    ctx.recordingSfaPath = ctx.recordingFolder + QStringLiteral("/x.sfa");
    CUnWrapView view(ctx);
    view.BindLiveSurvey();
    const SyntheticBorehole wall(720, 2000, 7);
    for (int k = 0; k < 25; ++k)
        view.AddCapturedImage(surveyStrip(wall, k, 25, false));
    QCoreApplication::processEvents();
    EXPECT_EQ(residentStrips(*view.GetData()).size(), 25u);
    EXPECT_EQ(prompter.boxes.size(), 1u);
}

TEST(StripView, Documents)
{
    // A survey of 12 strips, the same read-only, a damaged file, five pictures.
    QTemporaryDir folder;
    const QString sfa = writeSurvey(folder.filePath(QStringLiteral("hole.sfa")));
    const QString readOnly = folder.filePath(QStringLiteral("ro.sfa"));
    const QString damaged = folder.filePath(QStringLiteral("damaged.sfa"));
    QFile::copy(sfa, readOnly);
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
    ASSERT_TRUE(writeFileBytes(damaged, "not an analysis file"));
    QStringList jpgs;
    for (const char* name : {"1200.jpg", "1100.JPG", "abc.jpg", "1500_1.jpg", "01200.jpg"}) {
        jpgs << folder.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(QImage(120, 40, QImage::Format_RGB888).save(jpgs.back(), "JPG"));
    }
    const struct {
        char command; // o open, n open then new, j pictures
        QStringList answer;
        std::vector<int32_t> keys; // first and last; none: no document
        int pages;
        QStringList boxWords;
    } cases[] = {
        {'o', {sfa}, {1000, 3200}, 2, {}},
        {'o', {readOnly}, {1000, 3200}, 2, {}},
        {'o', {damaged}, {}, 0, {QStringLiteral("SFA")}},
        {'o', {}, {}, 0, {}}, // cancelled
        {'n', {sfa}, {}, 0, {}},
        {'j', jpgs, {1100, 1200}, 1, {"abc.jpg", "1500_1.jpg", "01200.jpg"}},
        {'j', {jpgs[2]}, {}, 0, {"abc.jpg"}}, // no picture named by depth
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.join(' ').toStdString() + c.command);
        ScriptedPrompter prompter;
        StripViewFixture st;
        CUnWrapView& view = st.build();
        QSignalSpy pages(&view, &CUnWrapView::pageCountChanged);
        if (c.command == 'j') {
            prompter.multiFileAnswers.push_back(c.answer);
            view.OnOpenJpg();
        } else {
            prompter.fileAnswers.assign(c.answer.begin(), c.answer.end());
            view.OnFileOpen();
            if (c.command == 'n')
                view.OnFileNew();
        }
        const CUnWrapData* d = view.GetData();
        ASSERT_EQ(d != nullptr, !c.keys.empty());
        if (d) {
            EXPECT_EQ(std::tuple(depthKeys(*d).front(), depthKeys(*d).back(),
                                 residentStrips(*d).size(), pages.back().at(0).toInt()),
                      std::tuple(c.keys.front(), c.keys.back(),
                                 size_t(std::min(10, d->GetItemCount())), c.pages));
        }
        EXPECT_EQ(view.GetPageCount(), c.pages);
        ASSERT_EQ(prompter.boxes.size(), c.boxWords.isEmpty() ? 0u : 1u);
        for (const QString& word : c.boxWords)
            EXPECT_TRUE(prompter.boxes[0].text.contains(word));
    }
}

TEST(StripView, PagingKeysAndSave)
{
    ScriptedPrompter prompter;
    StripViewFixture st;
    st.settings.aspectAutoFit = 0;
    CUnWrapView& view = st.build();
    prompter.fileAnswers.push_back(writeSurvey(st.sfaPath()));
    view.OnFileOpen();
    CUnWrapData& d = *view.GetData();

    for (const int p : {1, 1, 2, -1}) { // the current page, the page count, -1: nothing
        view.GoToPage(p);
        EXPECT_EQ(view.currentPage(), 1);
        EXPECT_EQ(residentStrips(d), std::vector<int>({10, 11}));
    }

    // A key on the selected strip, then "保存": its file and record are new.
    const QString file = d.GetItem(11)->jpgPath(st.dir.path());
    const QByteArray before = fileBytes(file);
    view.setSelectedItem(11);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Up, Qt::ShiftModifier);
    view.OnFileSave();
    EXPECT_NE(fileBytes(file), before);
    const auto onDisk = reloadSurvey(st.sfaPath());
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(onDisk->GetItem(11)->shownHeight, kRows - 10);

    // The strips are painted right of the label column, under the ruler;
    // zoom stops where the painter stops.
    view.GoToPage(0);
    const QImage shot = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB888);
    const CUnWrapImage& first = *d.GetItem(0);
    const uint8_t* px = first.row(first.rows - 1 - 3) + 3 * 7;
    EXPECT_EQ(shot.pixelColor(kPageLeftMargin + 7, kPageTopMargin + 3),
              QColor(px[2], px[1], px[0]));
    EXPECT_EQ(view.verticalScrollBar()->maximum(),
              d.GetPageSize(0, 10, 1.0f, 1.0f).height() + 80 - view.viewport()->height());
    for (int i = 0; i < 40; ++i)
        view.ZoomIn();
    EXPECT_EQ(view.zoom(), kMaxZoom);
    for (int i = 0; i < 80; ++i)
        view.ZoomOut();
    EXPECT_EQ(view.zoom(), kMinZoom);
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST(WorkFolder, FallsBackToTheUserFolder)
{
    QTemporaryDir base;
    const QString program = base.filePath(QStringLiteral("program"));
    const QString user = base.filePath(QStringLiteral("user"));
    const QString blocked = base.filePath(QStringLiteral("file"));
    ASSERT_TRUE(writeFileBytes(blocked, "x"));
    const std::pair<QString, QString> folders[] = {
        {program, user}, {blocked, user}, {blocked, blocked}};
    const QString expected[] = {program + "/temp", user + "/temp", QString()};
    for (int i = 0; i < 3; ++i) {
        ErrorReport error;
        EXPECT_EQ(workspaceTempFolderIn(folders[i].first, folders[i].second, &error), expected[i]);
        EXPECT_EQ(error.text,
                  i == 2 ? QStringLiteral("创建目录%1/temp失败！").arg(blocked) : QString());
    }
}

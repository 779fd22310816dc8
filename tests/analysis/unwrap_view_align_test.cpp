// "自动拼接对齐" on a stitched survey in the stitch window: leaving the page
// undoes the align and keeps the survey's own stitch; a save keeps the align.

#include "analysis/input_string_dlg.h"
#include "analysis/pick_mapping.h"
#include "analysis/unwrap_frame.h"
#include "analysis/unwrap_frame_ids.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"
#include "support/synthetic_borehole.h"

#include <QAction>
#include <QTest>

#include <gtest/gtest.h>

namespace bc {
namespace {

std::vector<int> pageHeights(const CUnWrapData& d, int first, int count)
{
    std::vector<int> heights;
    for (int i = first; i < first + count && i < d.GetItemCount(); ++i)
        heights.push_back(d.GetItem(i)->shownHeight);
    return heights;
}

TEST(StitchWindowAlign, LeavingTheAlignedPageKeepsTheSurveysStitchAndASaveKeepsTheAlign)
{
    QTemporaryDir dir;
    test::ScriptedPrompter prompter;
    const StringAsker previous =
        setStringAsker([](QWidget*, const QString&, const QString&, QString& t) {
            t = QStringLiteral("裂隙");
            return true;
        });
    // Twelve strips of 60 rows, 30 new rows a step; the live stitch left 36
    // of each shown.
    const QString sfa = dir.filePath("s.sfa");
    {
        const test::SyntheticBorehole wall(400, 2000, 7, 4);
        CUnWrapData d(sfa, dir.path());
        for (int i = 0; i < 12; ++i) {
            auto strip = std::make_unique<CUnWrapImage>(wall.strip(1000 + 100 * i, 30 * i, 60));
            strip->shownHeight = 36;
            strip->header.setSize(strip->width, 36);
            d.InsertImage(std::move(strip));
        }
        ASSERT_TRUE(d.SaveSfa(12, true));
    }
    CSurveyParams settings;
    settings.aspectAutoFit = 0;
    std::unique_ptr<CUnWrapFrame> frame(
        OpenStitchFrame(nullptr, {&settings, [] { return 0; }, {}, {}}));
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->resize(1000, 800);
    frame->show();
    prompter.fileAnswers.push_back(sfa);
    frame->commandAction(ID_FILE_OPEN)->trigger();
    CUnWrapView* view = frame->GetUnWrapView();
    CUnWrapData& d = *view->GetData();
    frame->commandAction(ID_DRAW_SHAPE)->trigger();
    for (const QPoint at : {QPoint(150, 100), QPoint(300, 180)}) {
        QTest::mouseMove(view->viewport(), at);
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    }
    ASSERT_EQ(d.GetShapeCount(), 1);
    // Where the pick sits on the page, and the page's depth scale.
    auto placing = [&] {
        const PickScale s = PickScaleOf(view->pageState());
        const PageRect r = d.GetShape(0)->GetBoundRect(s.topDepth, s.pxPerRadian, s.pxPerMm);
        return std::tuple(r.toQRect(), s.topDepth, s.bottomDepth, s.pxPerMm);
    };
    auto leaveAndReturn = [&] {
        frame->commandAction(ID_NEXT_PAGE)->trigger();
        frame->commandAction(ID_PREV_PAGE)->trigger();
        ASSERT_EQ(view->currentPage(), 0);
    };
    auto savedHeights = [&] {
        const auto onDisk = test::reloadSurvey(sfa);
        return onDisk ? pageHeights(*onDisk, 0, 10) : std::vector<int>{};
    };
    const std::vector<int> stitched = pageHeights(d, 0, 10);
    const auto placed = placing();

    frame->commandAction(ID_AUTO_ALIGN)->trigger();
    const std::vector<int> aligned = pageHeights(d, 0, 10);
    ASSERT_NE(aligned, stitched);
    leaveAndReturn();
    EXPECT_EQ(pageHeights(d, 0, 10), stitched);
    EXPECT_EQ(placing(), placed);
    frame->commandAction(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(savedHeights(), stitched);

    // Aligned and saved without leaving: the align is what is saved, and
    // stays when the page is left.
    frame->commandAction(ID_AUTO_ALIGN)->trigger();
    EXPECT_EQ(pageHeights(d, 0, 10), aligned);
    frame->commandAction(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(savedHeights(), aligned);
    leaveAndReturn();
    EXPECT_EQ(pageHeights(d, 0, 10), aligned);
    EXPECT_TRUE(prompter.boxes.empty());
    setStringAsker(previous);
}

} // namespace
} // namespace bc

// Survey files made to reach the size arithmetic: opened in the strip view,
// painted, exported, wrapped round the cylinder and drawn for a report. What
// no hole has is refused on opening; the rest is drawn or refused by its
// picture size, with no sum overflowing and no picture of gigabytes made.

#include "analysis/page_image.h"
#include "analysis/report_output.h"
#include "analysis/sfa_format.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/jpeg_file.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

using namespace bc;
using namespace bc::test;

namespace {

// Ten strip records from `first`, `step` apart, with no strip files.
QByteArray surveyBytes(int32_t diameter, int32_t first, int32_t step, int width, int shown)
{
    SfaHeader h;
    h.openingDiameter = diameter;
    std::vector<std::unique_ptr<CUnWrapImage>> strips;
    std::vector<const CUnWrapImage*> records;
    for (int i = 0; i < 10; ++i) {
        strips.push_back(std::make_unique<CUnWrapImage>(first + step * i, 0));
        strips.back()->width = width;
        strips.back()->shownHeight = shown;
        records.push_back(strips.back().get());
    }
    return SerializeSfa(h, records, {});
}

// Opens `bytes` as a survey file in the view and paints it; the boxes
// shown on opening.
QStringList openSurvey(StripViewFixture& st, ScriptedPrompter& prompter, const QByteArray& bytes)
{
    const QString path = st.dir.filePath(QStringLiteral("hostile.sfa"));
    EXPECT_TRUE(writeFileBytes(path, bytes));
    prompter.boxes.clear();
    prompter.fileAnswers.push_back(path);
    st.view->OnFileOpen();
    st.view->viewport()->grab();
    const QStringList boxes = prompter.boxTexts();
    prompter.boxes.clear();
    return boxes;
}

} // namespace

TEST(HostileSurvey, NothingNoHoleHasOpensAndNoPageBeyondItsPictureSizeIsDrawn)
{
    const struct {
        const char* what;
        QByteArray bytes;
        const char* openBox; // the box shown on opening a refused file
        bool aspectFit;      // the page stretched to the hole's circumference
        bool drawn;          // page, texture and notes pictures made
    } cases[] = {
        {"diameter beyond any hole", surveyBytes(INT_MAX, 1000, 1, 1, 500), "开孔直径", true,
         false},
        {"no diameter", surveyBytes(0, 1000, 100, 800, 100), "开孔直径", true, false},
        {"232 bytes of 64 Ki x 64 Ki strips", surveyBytes(70, 1000, 100, 65536, 65536), "图像尺寸",
         true, false},
        // Within the side limit, but more pixel bytes than 32 bits count.
        {"strips of 65,500 x 21,860", surveyBytes(70, 1000, 100, 65500, 21860), "图像尺寸", true,
         false},
        // Hair-thin strips a millimetre apart in a 100 m hole: the page is
        // stretched past the int range.
        {"widest hole, thin strips", surveyBytes(kMaxSfaDiameter, 1000, 1, 1, 65500), nullptr, true,
         false},
        // Ten strips of the largest picture a strip may be: 894 million pixels.
        {"largest strips", surveyBytes(70, 1000, 100, 65500, 1366), nullptr, false, false},
        {"a real page", surveyBytes(70, 1000, 100, 800, 100), nullptr, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPrompter prompter;
        StripViewFixture st;
        st.settings.aspectAutoFit = c.aspectFit;
        CUnWrapView& view = st.build();
        const QStringList opened = openSurvey(st, prompter, c.bytes);
        if (c.openBox) {
            EXPECT_FALSE(view.GetData());
            ASSERT_EQ(opened.size(), 1);
            EXPECT_TRUE(opened[0].contains(QString::fromUtf8(c.openBox)))
                << opened[0].toStdString();
            continue;
        }
        ASSERT_TRUE(view.GetData());
        view.ZoomIn();
        view.viewport()->grab();

        // "导出当前页面": written, or refused by its size before anything is made.
        const QString exported = st.dir.filePath(QStringLiteral("page.jpg"));
        prompter.fileAnswers.push_back(exported);
        view.OnExportCurrentPage();
        EXPECT_EQ(QFile::exists(exported), c.drawn);
        EXPECT_EQ(prompter.boxTexts().size() == 1 &&
                      prompter.boxTexts()[0].startsWith(QStringLiteral("页面图像太大")),
                  !c.drawn);
        const PageViewState& state = view.pageState();
        EXPECT_EQ(std::tuple(RenderPageTexture(*view.GetData(), state).isNull(),
                             RenderNotesPicture(*view.GetData(), state).isNull()),
                  std::tuple(!c.drawn, !c.drawn));
    }
}

// Random strip sizes, depth steps and diameters up to the load bounds
// through the same sizes; the sanitizer build watches the sums.
TEST(HostileSurvey, RandomSurveysKeepTheirSizesInRange)
{
    std::mt19937 rng(2011);
    ScriptedPrompter prompter;
    StripViewFixture st;
    CUnWrapView& view = st.build();
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        const int width = rng() % 2 ? pick(0, 16) : pick(0, kMaxSfaStripSize);
        const int most =
            width ? int(std::min<int64_t>(kMaxSfaStripSize, JpegFile::kMaxImageBytes / 3 / width))
                  : kMaxSfaStripSize;
        openSurvey(st, prompter,
                   surveyBytes(pick(1, kMaxSfaDiameter), pick(INT_MIN / 2, INT_MAX / 2),
                               pick(1, 100000), width, pick(0, most)));
        ASSERT_TRUE(view.GetData());
        for (int zoom = 0; zoom < 3; ++zoom, view.ZoomIn()) {
            const QSize page = PageImageSize(*view.GetData(), view.pageState());
            EXPECT_TRUE(page.width() >= kPageLeftMargin && page.height() >= kPageTopMargin);
            CylinderSizeFor(page);
        }
    }
}

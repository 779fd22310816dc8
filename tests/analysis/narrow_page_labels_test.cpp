// On a narrow page (a small hole shown true to its depth) an attitude's label
// is laid out wide enough to be read, on screen and in the report's notes
// picture, instead of one or two characters a line cut off after three lines.

#include "stitch_frame_fixture.h"

#include "analysis/attitude_shape.h"
#include "analysis/page_geometry.h"
#include "analysis/report_output.h"
#include "analysis/unwrap_data.h"

#include <QScreen>
#include <QScrollBar>

namespace bc {
namespace {

// Columns from the first to the last holding black ink, from column `from`.
int inkSpan(const QImage& image, int from)
{
    int first = -1, last = -1;
    for (int x = std::max(from, 0); x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixel(x, y) == qRgb(0, 0, 0)) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return first < 0 ? 0 : last - first + 1;
}

TEST(NarrowPageLabels, ReadableOnScreenAndInTheNotesPicture)
{
    test::StitchFrame f;
    f.settings.aspectAutoFit = 1;
    f.open(CUnWrapFrame::StandAlone, 400, 12);
    CUnWrapView& view = f.view();
    auto line = std::make_unique<CAttitudeLine>(0, CShapePoint(0.5f, 1200.0f),
                                                CShapePoint(6.0f, 1300.0f), 0, 1, 0xFF);
    line->SetDescription(QStringLiteral("裂隙张开"));
    view.GetData()->AddShape(std::move(line));
    view.viewport()->update();
    QTest::qWait(20);
    const int pageWidth = view.pageState().pageWidth;
    ASSERT_LT(pageWidth, 100) << "a narrow page";

    QScrollBar* across = view.horizontalScrollBar();
    across->setValue(across->maximum());
    QTest::qWait(50);
    const QImage shown = test::viewportOnScreen(view);
    const int labelsFrom = kPageLeftMargin + pageWidth + 2 - across->value();
    EXPECT_GT(inkSpan(shown, labelsFrom), 250) << "the label's text on screen";

    const QImage notes = RenderNotesPicture(*view.GetData(), view.pageState());
    EXPECT_GE(notes.width(), kMinShapeLabelWidth);
    EXPECT_GT(inkSpan(notes, 0), 250) << "the label's text in the notes picture";
}

} // namespace
} // namespace bc

// The cylinder window as the strip view opens it over a view near the
// screen's bottom right, on a real window system: it opens centred on the
// view as far as the screen's available area allows, at its own size.

#include "analysis/d3d_frame.h"
#include "analysis/unwrap_view.h"
#include "core/survey_params.h"
#include "platform/window_placement.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(WindowOnScreen, TheCylinderWindowOpensOverItsViewWithinTheScreen)
{
    QTemporaryDir dir;
    CSurveyParams settings;
    WorkspaceContext ctx;
    ctx.settings = &settings;
    CUnWrapView strip(ctx);
    strip.resize(400, 300);
    strip.show();
    const QRect area = availableAreaFor(&strip);
    strip.move(area.right() - 350, area.bottom() - 250);
    QImage page(200, 100, QImage::Format_RGB888);
    page.fill(Qt::blue);
    page.save(dir.filePath(QStringLiteral("page.bmp")), "BMP");
    strip.showCylinder({dir.filePath(QStringLiteral("page.bmp")), 30.0f, 100.0f, {1.0f}, 20});
    const auto frames = strip.findChildren<CD3DFrame*>();
    ASSERT_EQ(frames.size(), 1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frames[0]));
    QRect over(QPoint(), frames[0]->frameGeometry().size());
    over.moveCenter(strip.frameGeometry().center());
    EXPECT_EQ(frames[0]->frameGeometry(), placedWithin(over, area));
    EXPECT_TRUE(area.contains(frames[0]->frameGeometry()));
    EXPECT_EQ(frames[0]->size(), QSize(812, 716));
}

} // namespace
} // namespace bc

// The cylinder window's tool bar, as the strip view opens the window: a
// picture on each of its eight buttons, as on the program's other tool bars,
// with the command's text as its tip.

#include "analysis/d3d_frame.h"
#include "res/resource_bitmaps.h"
#include "support/survey_fixtures.h"
#include "ui/flat_tool_bar.h"

#include <QAction>
#include <QToolButton>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(CylinderToolBar, EightPicturesWithTheTextsAsTips)
{
    test::StripViewFixture s;
    CUnWrapView& view = s.build();
    view.showCylinder(CylinderInput{});
    const QList<CD3DFrame*> frames = view.findChildren<CD3DFrame*>();
    ASSERT_EQ(frames.size(), 1);
    CFlatToolBar* bar = frames.front()->toolBar();

    const QImage pictures = loadResourceBitmap(IDR_CYLINDER_TOOLBAR);
    ASSERT_EQ(pictures.size(), QSize(kCylinderToolImageSize * 8, kCylinderToolImageSize));
    const std::pair<int, const char16_t*> buttons[] = {
        {CD3DFrame::ID_ZOOM_IN, u"放大"},          {CD3DFrame::ID_ZOOM_OUT, u"缩小"},
        {CD3DFrame::ID_RESET, u"复位"},            {CD3DFrame::ID_EXPORT_BMP, u"导出BMP文件"},
        {CD3DFrame::ID_STEP_FORWARD, u"正转一步"}, {CD3DFrame::ID_STEP_BACKWARD, u"反转一步"},
        {CD3DFrame::ID_AUTO_FORWARD, u"自动正转"}, {CD3DFrame::ID_AUTO_BACKWARD, u"自动反转"},
    };
    std::vector<QImage> shown;
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        QAction* action = frames.front()->action(buttons[i].first);
        ASSERT_NE(action, nullptr);
        auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(std::tuple(button->toolButtonStyle(), action->toolTip()),
                  std::tuple(Qt::ToolButtonIconOnly, QString::fromUtf16(buttons[i].second)));
        // The button's picture is the tool bar bitmap's i-th, its grey ground
        // left out.
        const QImage picture = action->icon()
                                   .pixmap(kCylinderToolImageSize)
                                   .toImage()
                                   .convertToFormat(QImage::Format_ARGB32);
        const QImage cell =
            pictures.copy(i * kCylinderToolImageSize, 0, kCylinderToolImageSize,
                          kCylinderToolImageSize);
        int ink = 0;
        for (int y = 0; y < cell.height(); ++y)
            for (int x = 0; x < cell.width(); ++x) {
                const bool ground = cell.pixel(x, y) == kToolBarMask.rgb();
                ink += !ground;
                ASSERT_EQ(qAlpha(picture.pixel(x, y)) == 0, ground) << x << "," << y;
                if (!ground) {
                    ASSERT_EQ(picture.pixel(x, y), cell.pixel(x, y)) << x << "," << y;
                }
            }
        EXPECT_GT(ink, 12);
        for (const QImage& other : shown)
            EXPECT_NE(other, cell) << "each command its own picture";
        shown.push_back(cell);
    }
    // Under the mouse the buttons show their hot pictures, as the others do.
    EXPECT_EQ(bar->HotImageCount(), 8);
}

} // namespace
} // namespace bc

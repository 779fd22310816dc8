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
    s.build().showCylinder(CylinderInput{});
    const auto* frame = s.view->findChild<CD3DFrame*>();
    ASSERT_NE(frame, nullptr);
    const QImage pictures = loadResourceBitmap(IDR_CYLINDER_TOOLBAR);
    const int side = kCylinderToolImageSize;
    const std::pair<int, const char16_t*> buttons[] = {
        {CD3DFrame::ID_ZOOM_IN, u"放大"},          {CD3DFrame::ID_ZOOM_OUT, u"缩小"},
        {CD3DFrame::ID_RESET, u"复位"},            {CD3DFrame::ID_EXPORT_BMP, u"导出BMP文件"},
        {CD3DFrame::ID_STEP_FORWARD, u"正转一步"}, {CD3DFrame::ID_STEP_BACKWARD, u"反转一步"},
        {CD3DFrame::ID_AUTO_FORWARD, u"自动正转"}, {CD3DFrame::ID_AUTO_BACKWARD, u"自动反转"},
    };
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        QAction* action = frame->action(buttons[i].first);
        auto* button = qobject_cast<QToolButton*>(frame->toolBar()->widgetForAction(action));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(std::tuple(button->toolButtonStyle(), action->toolTip()),
                  std::tuple(Qt::ToolButtonIconOnly, QString::fromUtf16(buttons[i].second)));
        // The button shows the bitmap's i-th picture, its grey ground left out.
        const QImage shown =
            action->icon().pixmap(side).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage cell = pictures.copy(i * side, 0, side, side);
        int ink = 0, wrong = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const bool ground = cell.pixel(x, y) == kToolBarMask.rgb();
                ink += !ground;
                wrong += ground ? qAlpha(shown.pixel(x, y)) != 0 : shown.pixel(x, y) != cell.pixel(x, y);
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_GT(ink, 12);
    }
    // Under the mouse the buttons show their hot pictures, as the others do.
    EXPECT_EQ(frame->toolBar()->HotImageCount(), 8);
}

} // namespace
} // namespace bc

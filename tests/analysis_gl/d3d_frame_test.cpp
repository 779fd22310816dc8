#include "analysis/d3d_frame.h"
#include "analysis/d3d_view.h"
#include "analysis/unwrap_view.h"
#include "app/key_router.h"
#include "core/survey_params.h"
#include "ui/flat_tool_bar.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace bc {
namespace {

// The cylinder window as the strip view opens it. Where no OpenGL context can
// be made it holds no view and stays blank; the rest of it still works.
class D3DFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ctx.settings = &settings;
        strip = std::make_unique<CUnWrapView>(ctx);
        strip->showCylinder(input("first.bmp", Qt::red, 150, {3.0f, 3.05f, 3.1f}));
        ASSERT_TRUE(frame());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame()));
    }

    CylinderInput input(const QString& name, QColor colour, float height, std::vector<float> labels)
    {
        QImage image(64, 64, QImage::Format_RGB888);
        image.fill(colour);
        image.save(dir.filePath(name), "BMP");
        return {dir.filePath(name), 30.0f, height, std::move(labels), 12};
    }

    CD3DFrame* frame() const
    {
        const QList<CD3DFrame*> frames = strip->findChildren<CD3DFrame*>();
        return frames.size() == 1 ? frames.front() : nullptr;
    }

    void click(int command)
    {
        QTest::mouseClick(frame()->toolBar()->widgetForAction(frame()->action(command)),
                          Qt::LeftButton);
    }

    QTemporaryDir dir;
    CSurveyParams settings;
    WorkspaceContext ctx;
    std::unique_ptr<CUnWrapView> strip;
};

TEST_F(D3DFrameTest, TheAutoButtonsCheckOnlyAloneAndTheTimerTurnsTheView)
{
    auto* timer = frame()->findChild<QTimer*>(QStringLiteral("timer10000"));
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->interval(), 1000);
    timer->stop(); // no tick while the buttons are pressed
    struct Row {
        int command;
        bool forwardChecked, backwardChecked;
        float yaw;
    } rows[] = {
        {CD3DFrame::ID_AUTO_FORWARD, true, false, 30},
        {CD3DFrame::ID_AUTO_BACKWARD, false, false, 0}, // both on: no check
        {CD3DFrame::ID_AUTO_FORWARD, false, true, 30},
        {CD3DFrame::ID_STEP_BACKWARD, false, true, -15},
        {CD3DFrame::ID_AUTO_BACKWARD, false, false, -45},
        {CD3DFrame::ID_AUTO_FORWARD, true, false, -15},
    };
    CD3DView* view = frame()->view();
    for (const Row& row : rows) {
        click(row.command);
        EXPECT_EQ(frame()->action(CD3DFrame::ID_AUTO_FORWARD)->isChecked(), row.forwardChecked);
        EXPECT_EQ(frame()->action(CD3DFrame::ID_AUTO_BACKWARD)->isChecked(), row.backwardChecked);
        if (view) {
            EXPECT_FLOAT_EQ(view->scene().yaw(), row.yaw) << row.command;
        }
    }
    if (!view)
        GTEST_SKIP() << "no OpenGL context: the auto-rotation was not watched";
    timer->start();
    QTRY_COMPARE_WITH_TIMEOUT(view->scene().yaw(), 15.0f, 2500);
}

TEST_F(D3DFrameTest, PlusAndMinusInTheCylinderWindowReachNeitherItNorTheForm)
{
    std::vector<int> routed;
    CKeyRouter router([&](int key, bool) { routed.push_back(key); }, [](int) {});
    qApp->installEventFilter(&router);
    QApplication::setActiveWindow(frame());
    struct Seen : QObject {
        std::vector<int> keys;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::KeyPress)
                keys.push_back(static_cast<QKeyEvent*>(e)->key());
            return false;
        }
    } seen;
    QWidget* target = frame()->centralWidget();
    target->installEventFilter(&seen);
    for (int key : {Qt::Key_Plus, Qt::Key_Minus, Qt::Key_Equal, Qt::Key_A})
        QTest::keyClick(target, Qt::Key(key));
    EXPECT_EQ(routed, std::vector<int>{Qt::Key_A});
    EXPECT_EQ(seen.keys, std::vector<int>{Qt::Key_A});
    qApp->removeEventFilter(&router);
}

TEST_F(D3DFrameTest, ASecondCylinderGoesToTheOpenWindowWhichKeepsItsOwnCopy)
{
    CD3DFrame* first = frame();
    EXPECT_EQ(first->windowTitle(), QStringLiteral("柱面图"));
    {
        // This input is gone before the window next draws.
        strip->showCylinder(input("second.bmp", Qt::blue, 400, {7.5f, 7.55f, 7.6f}));
    }
    ASSERT_EQ(frame(), first);
    EXPECT_EQ(first->input().texturePath, dir.filePath("second.bmp"));
    EXPECT_EQ(first->input().labels.front(), 7.5f);
    if (CD3DView* view = first->view()) {
        EXPECT_EQ(view->scene().height(), 400.0f);
        view->resize(320, 240);
        const QImage shot = view->grabFramebuffer();
        const QColor middle = shot.pixelColor(160, 120);
        EXPECT_TRUE(middle.blue() > 200 && middle.red() < 60);
    }
    // Once closed, the window is gone and the next asks for a new one.
    first->close();
    QTRY_VERIFY(!frame());
    strip->showCylinder(input("third.bmp", Qt::green, 150, {}));
    EXPECT_TRUE(frame());
}

} // namespace
} // namespace bc

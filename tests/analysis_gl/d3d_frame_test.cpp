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

// Where no OpenGL context can be made the window holds no view and stays
// blank; everything else about it still works.
CylinderInput inputFor(const QString& texture, float height)
{
    CylinderInput in;
    in.texturePath = texture;
    in.radius = 30.0f;
    in.height = height;
    in.markCount = 12;
    in.labels = {3.0f, 3.05f, 3.1f};
    return in;
}

QString solidTexture(const QTemporaryDir& dir, const QString& name, QColor colour)
{
    QImage image(64, 64, QImage::Format_RGB888);
    image.fill(colour);
    const QString path = dir.filePath(name);
    image.save(path, "BMP");
    return path;
}

CD3DFrame* openFrame(const QWidget& owner)
{
    const QList<CD3DFrame*> frames = owner.findChildren<CD3DFrame*>();
    return frames.size() == 1 ? frames.front() : nullptr;
}

void click(CD3DFrame& frame, int command)
{
    QTest::mouseClick(frame.toolBar()->widgetForAction(frame.action(command)), Qt::LeftButton);
}

TEST(D3DFrame, TheAutoButtonsCheckOnlyAloneAndTheTimerTurnsTheView)
{
    QTemporaryDir dir;
    CD3DFrame frame(inputFor(solidTexture(dir, "t.bmp", Qt::red), 150));
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    auto* timer = frame.findChild<QTimer*>(QStringLiteral("timer10000"));
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->interval(), 1000);
    timer->stop(); // no tick while the buttons are pressed
    struct Row {
        int command;
        bool forwardChecked, backwardChecked;
        float yaw;
    } rows[] = {
        {CD3DFrame::ID_AUTO_FORWARD, true, false, 30},
        {CD3DFrame::ID_AUTO_BACKWARD, false, false, 0}, // both on: forward wins, no checks
        {CD3DFrame::ID_AUTO_FORWARD, false, true, 30},
        {CD3DFrame::ID_STEP_BACKWARD, false, true, -15},
        {CD3DFrame::ID_AUTO_BACKWARD, false, false, -45},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        click(frame, row.command);
        EXPECT_EQ(frame.action(CD3DFrame::ID_AUTO_FORWARD)->isChecked(), row.forwardChecked);
        EXPECT_EQ(frame.action(CD3DFrame::ID_AUTO_BACKWARD)->isChecked(), row.backwardChecked);
        if (frame.view()) {
            EXPECT_FLOAT_EQ(frame.view()->scene().yaw(), row.yaw);
        }
    }
    if (!frame.view())
        GTEST_SKIP() << "no OpenGL context: the auto-rotation was not watched";
    click(frame, CD3DFrame::ID_AUTO_FORWARD); // forward alone again
    EXPECT_EQ(frame.view()->scene().yaw(), 30.0f - 45.0f);
    timer->start();
    QTRY_COMPARE_WITH_TIMEOUT(frame.view()->scene().yaw(), 30.0f - 45.0f + 30.0f, 2500);
}

TEST(D3DFrame, PlusAndMinusInTheCylinderWindowReachNeitherItNorTheForm)
{
    std::vector<int> routed;
    CKeyRouter router([&](int key, bool) { routed.push_back(key); }, [](int) {});
    qApp->installEventFilter(&router);
    QTemporaryDir dir;
    CD3DFrame frame(inputFor(solidTexture(dir, "t.bmp", Qt::red), 150));
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QApplication::setActiveWindow(&frame);
    QWidget* target = frame.centralWidget();

    struct Seen : QObject {
        std::vector<int> keys;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::KeyPress)
                keys.push_back(static_cast<QKeyEvent*>(e)->key());
            return false;
        }
    } seen;
    target->installEventFilter(&seen);
    for (int key : {Qt::Key_Plus, Qt::Key_Minus, Qt::Key_Equal})
        QTest::keyClick(target, Qt::Key(key));
    EXPECT_TRUE(routed.empty());
    EXPECT_TRUE(seen.keys.empty());
    // Other keys pass as usual.
    QTest::keyClick(target, Qt::Key_A);
    EXPECT_EQ(routed, std::vector<int>{Qt::Key_A});
    EXPECT_EQ(seen.keys, std::vector<int>{Qt::Key_A});
    qApp->removeEventFilter(&router);
}

TEST(D3DFrame, ASecondCylinderGoesToTheOpenWindow)
{
    QTemporaryDir dir;
    CSurveyParams settings;
    WorkspaceContext ctx;
    ctx.settings = &settings;
    auto strip = std::make_unique<CUnWrapView>(ctx);

    strip->showCylinder(inputFor(solidTexture(dir, "first.bmp", Qt::red), 150));
    CD3DFrame* frame = openFrame(*strip);
    ASSERT_TRUE(frame);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("柱面图"));

    // The first input goes away before the second arrives: the window keeps
    // its own copy of the labels.
    {
        CylinderInput second = inputFor(solidTexture(dir, "second.bmp", Qt::blue), 400);
        second.labels = {7.5f, 7.55f, 7.6f};
        strip->showCylinder(second);
    }
    ASSERT_EQ(openFrame(*strip), frame);
    EXPECT_EQ(frame->input().texturePath, dir.filePath("second.bmp"));
    EXPECT_EQ(frame->input().labels.front(), 7.5f);
    if (CD3DView* view = frame->view()) {
        EXPECT_EQ(view->scene().height(), 400.0f);
        view->resize(320, 240);
        const QImage shot = view->grabFramebuffer();
        const QColor middle = shot.pixelColor(shot.width() / 2, shot.height() / 2);
        EXPECT_GT(middle.blue(), 200);
        EXPECT_LT(middle.red(), 60);
    }

    // Closed, the window is gone; the next asks for a new one.
    frame->close();
    QTRY_VERIFY(!openFrame(*strip));
    strip->showCylinder(inputFor(solidTexture(dir, "third.bmp", Qt::green), 150));
    ASSERT_TRUE(openFrame(*strip));
    EXPECT_NE(openFrame(*strip), nullptr);
    strip.reset(); // the open window goes with the view
}

} // namespace
} // namespace bc

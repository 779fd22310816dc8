#include "ui/flat_tool_bar.h"

#include "fixed_look.h"

#include <QAction>
#include <QIconEngine>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace bc;
using namespace bc::test;

namespace {

// An icon its engine paints at any size, naming no sizes of its own (as a
// scalable picture does).
class PaintedIcon : public QIconEngine {
  public:
    explicit PaintedIcon(const QColor& colour) : colour_(colour) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        painter->fillRect(rect, colour_);
    }
    QIconEngine* clone() const override { return new PaintedIcon(colour_); }

  private:
    QColor colour_;
};

// A strip of 16-pixel images in the given colours, each with a border of the
// mask colour.
QImage strip(const QList<QColor>& colours)
{
    QImage image(16 * int(colours.size()), 16, QImage::Format_RGB32);
    image.fill(QColor(192, 192, 192));
    QPainter p(&image);
    for (int i = 0; i < colours.size(); ++i)
        p.fillRect(QRect(16 * i + 2, 2, 12, 12), colours.at(i));
    return image;
}

QImage iconImage(const QAction* action, QIcon::Mode mode)
{
    return action->icon().pixmap(QSize(16, 16), mode).toImage();
}

class FlatToolBarTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        cursorAway();
        window.resize(600, 400);
        window.setCentralWidget(new QLabel(QStringLiteral("centre")));
        bar = new CFlatToolBar(QStringLiteral("page"), &window);
        bar->setIconSize(QSize(16, 16));
    }
    void show(Qt::ToolBarArea area)
    {
        window.addToolBar(area, bar);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    FixedLook look;
    QMainWindow window;
    CFlatToolBar* bar = nullptr;
};

TEST_F(FlatToolBarTest, GripperIsTwoEtchedLinesAcrossTheBarsStart)
{
    // At the top two vertical lines at the left, inside the 2-pixel border;
    // at the left two horizontal lines at the top.
    bar->addAction(solidIcon(Qt::red, 16), QStringLiteral("first"));
    show(Qt::TopToolBarArea);
    QImage image = grabOf(*bar);
    const int y = image.height() / 2, h = image.height();
    expectPixels(image, {{1, y, kFace}, {2, y, kLight}, {3, y, kShadow}, {4, y, kFace},
                         {5, y, kLight}, {6, y, kShadow}, {7, y, kFace}, {2, 1, kFace},
                         {2, 2, kLight}, {2, h - 3, kShadow}, {2, h - 2, kFace}});

    window.addToolBar(Qt::LeftToolBarArea, bar);
    QCoreApplication::processEvents();
    ASSERT_EQ(bar->orientation(), Qt::Vertical);
    image = grabOf(*bar);
    const int x = image.width() / 2;
    expectPixels(image, {{x, 1, kFace}, {x, 2, kLight}, {x, 3, kShadow}, {x, 4, kFace},
                         {x, 5, kLight}, {x, 6, kShadow}, {x, 7, kFace}});

    // A fixed bar has no gripper.
    bar->setMovable(false);
    window.addToolBar(Qt::TopToolBarArea, bar);
    QCoreApplication::processEvents();
    EXPECT_TRUE(bar->GripperLines().isEmpty());
    EXPECT_EQ(at(grabOf(*bar), 2, bar->height() / 2), kFace);
}

TEST_F(FlatToolBarTest, ButtonUnderTheMouseShowsItsHotImage)
{
    QAction* first = bar->addAction(solidIcon(Qt::red, 16), QStringLiteral("first"));
    bar->addSeparator();
    bar->addWidget(new QLabel(QStringLiteral("page box")));
    QAction* second = bar->addAction(solidIcon(Qt::red, 16), QStringLiteral("second"));
    ASSERT_TRUE(bar->SetHotImageList(strip({Qt::green, Qt::blue, Qt::yellow}), 16));
    // Added after the list was given: it takes the next image.
    QAction* third = bar->addAction(solidIcon(Qt::red, 16), QStringLiteral("third"));
    show(Qt::TopToolBarArea);

    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(first));
    ASSERT_NE(button, nullptr);
    const QPoint centre = button->rect().center();
    EXPECT_EQ(at(grabOf(*button), centre.x(), centre.y()), QColor(Qt::red));
    hover(*button);
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->underMouse(); }, 2000));
    EXPECT_EQ(at(grabOf(*button), centre.x(), centre.y()), QColor(Qt::green));

    // The hot image's mask colour is transparent; the normal image stays.
    EXPECT_EQ(qAlpha(iconImage(first, QIcon::Active).pixel(0, 0)), 0);
    EXPECT_EQ(at(iconImage(second, QIcon::Active), 8, 8), QColor(Qt::blue));
    EXPECT_EQ(at(iconImage(third, QIcon::Active), 8, 8), QColor(Qt::yellow));
    EXPECT_EQ(at(iconImage(second, QIcon::Normal), 8, 8), QColor(Qt::red));

    // An icon that names no sizes keeps its normal image too.
    QAction* painted = bar->addAction(QIcon(new PaintedIcon(Qt::magenta)), QStringLiteral("p"));
    ASSERT_TRUE(bar->SetHotImageList(strip({Qt::green, Qt::blue, Qt::yellow, Qt::cyan}), 16));
    EXPECT_EQ(at(iconImage(painted, QIcon::Normal), 8, 8), QColor(Qt::magenta));
    EXPECT_EQ(at(iconImage(painted, QIcon::Active), 8, 8), QColor(Qt::cyan));
    EXPECT_EQ(at(iconImage(first, QIcon::Normal), 8, 8), QColor(Qt::red));

    EXPECT_FALSE(bar->SetHotImageList(QImage(), 16));
    EXPECT_FALSE(bar->SetHotImageList(strip({Qt::green}), 0));
}

} // namespace

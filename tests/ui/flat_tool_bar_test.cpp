#include "ui/flat_tool_bar.h"

#include "fixed_look.h"

#include <QAction>
#include <QCursor>
#include <QIconEngine>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace bc;
using bc::test::at;
using bc::test::grabOf;

namespace {

QIcon solidIcon(const QColor& colour)
{
    return test::solidIcon(colour, 16);
}

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

class FlatToolBarTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        QCursor::setPos(QPoint(5000, 5000));
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

    test::FixedLook look;
    QMainWindow window;
    CFlatToolBar* bar = nullptr;
};

TEST_F(FlatToolBarTest, BarAtTheTopDrawsTwoVerticalEtchedLinesAtTheLeft)
{
    bar->addAction(solidIcon(Qt::red), QStringLiteral("first"));
    show(Qt::TopToolBarArea);
    const QImage image = grabOf(*bar);
    const int h = image.height();
    const int y = h / 2;
    EXPECT_EQ(at(image, 1, y), test::kFace);
    EXPECT_EQ(at(image, 2, y), test::kLight);
    EXPECT_EQ(at(image, 3, y), test::kShadow);
    EXPECT_EQ(at(image, 4, y), test::kFace);
    EXPECT_EQ(at(image, 5, y), test::kLight);
    EXPECT_EQ(at(image, 6, y), test::kShadow);
    EXPECT_EQ(at(image, 7, y), test::kFace);
    // Inside the 2-pixel border at top and bottom.
    EXPECT_EQ(at(image, 2, 1), test::kFace);
    EXPECT_EQ(at(image, 2, 2), test::kLight);
    EXPECT_EQ(at(image, 2, h - 3), test::kShadow);
    EXPECT_EQ(at(image, 2, h - 2), test::kFace);
}

TEST_F(FlatToolBarTest, BarAtTheLeftDrawsItsGripperAsTwoHorizontalLinesAtTheTop)
{
    bar->addAction(solidIcon(Qt::red), QStringLiteral("first"));
    show(Qt::LeftToolBarArea);
    ASSERT_EQ(bar->orientation(), Qt::Vertical);
    const QImage image = grabOf(*bar);
    const int x = image.width() / 2;
    EXPECT_EQ(at(image, x, 1), test::kFace);
    EXPECT_EQ(at(image, x, 2), test::kLight);
    EXPECT_EQ(at(image, x, 3), test::kShadow);
    EXPECT_EQ(at(image, x, 4), test::kFace);
    EXPECT_EQ(at(image, x, 5), test::kLight);
    EXPECT_EQ(at(image, x, 6), test::kShadow);
    EXPECT_EQ(at(image, x, 7), test::kFace);
}

TEST_F(FlatToolBarTest, FixedBarHasNoGripper)
{
    bar->setMovable(false);
    show(Qt::TopToolBarArea);
    EXPECT_TRUE(bar->GripperLines().isEmpty());
    EXPECT_EQ(at(grabOf(*bar), 2, bar->height() / 2), test::kFace);
}

TEST_F(FlatToolBarTest, ButtonUnderTheMouseShowsItsHotImage)
{
    QAction* first = bar->addAction(solidIcon(Qt::red), QStringLiteral("first"));
    bar->addSeparator();
    bar->addWidget(new QLabel(QStringLiteral("page box")));
    QAction* second = bar->addAction(solidIcon(Qt::red), QStringLiteral("second"));
    ASSERT_TRUE(bar->SetHotImageList(strip({Qt::green, Qt::blue, Qt::yellow}), 16));
    EXPECT_EQ(bar->HotImageCount(), 3);
    // Added after the list was given: it takes the next image.
    QAction* third = bar->addAction(solidIcon(Qt::red), QStringLiteral("third"));
    show(Qt::TopToolBarArea);

    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(first));
    ASSERT_NE(button, nullptr);
    const QPoint centre = button->rect().center();
    EXPECT_EQ(at(grabOf(*button), centre.x(), centre.y()), QColor(Qt::red));

    QCursor::setPos(button->mapToGlobal(centre));
    QTest::mouseMove(button, centre);
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->underMouse(); }, 2000));
    EXPECT_EQ(at(grabOf(*button), centre.x(), centre.y()), QColor(Qt::green));

    // The hot image's mask colour is transparent.
    const QImage hot = first->icon().pixmap(QSize(16, 16), QIcon::Active).toImage();
    EXPECT_EQ(qAlpha(hot.pixel(0, 0)), 0);
    EXPECT_EQ(QColor(hot.pixel(8, 8)), QColor(Qt::green));
    EXPECT_EQ(QColor(second->icon().pixmap(QSize(16, 16), QIcon::Active).toImage().pixel(8, 8)),
              QColor(Qt::blue));
    EXPECT_EQ(QColor(third->icon().pixmap(QSize(16, 16), QIcon::Active).toImage().pixel(8, 8)),
              QColor(Qt::yellow));
    // The normal image stays.
    EXPECT_EQ(QColor(second->icon().pixmap(QSize(16, 16), QIcon::Normal).toImage().pixel(8, 8)),
              QColor(Qt::red));

    // An icon that names no sizes keeps its normal image too.
    QAction* painted = bar->addAction(QIcon(new PaintedIcon(Qt::magenta)), QStringLiteral("p"));
    ASSERT_TRUE(bar->SetHotImageList(strip({Qt::green, Qt::blue, Qt::yellow, Qt::cyan}), 16));
    EXPECT_EQ(QColor(painted->icon().pixmap(QSize(16, 16), QIcon::Normal).toImage().pixel(8, 8)),
              QColor(Qt::magenta));
    EXPECT_EQ(QColor(painted->icon().pixmap(QSize(16, 16), QIcon::Active).toImage().pixel(8, 8)),
              QColor(Qt::cyan));
    EXPECT_EQ(QColor(first->icon().pixmap(QSize(16, 16), QIcon::Normal).toImage().pixel(8, 8)),
              QColor(Qt::red));

    EXPECT_FALSE(bar->SetHotImageList(QImage(), 16));
    EXPECT_FALSE(bar->SetHotImageList(strip({Qt::green}), 0));
}

} // namespace

#include "ui/flat_tool_bar.h"

#include "fixed_look.h"

#include <QAction>
#include <QIconEngine>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QToolButton>

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

// A pixel of the action's icon, by default its centre one.
QRgb iconPixel(const QAction* action, QIcon::Mode mode, int at = 8)
{
    return action->icon().pixmap(QSize(16, 16), mode).toImage().pixel(at, at);
}

class FlatToolBarTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        cursorAway();
        bar->setIconSize(QSize(16, 16));
    }
    void show(Qt::ToolBarArea area)
    {
        window.addToolBar(area, bar);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
    }

    FixedLook look;
    QMainWindow window;
    CFlatToolBar* bar = new CFlatToolBar(QStringLiteral("page"), &window);
};

TEST_F(FlatToolBarTest, GripperIsTwoEtchedLinesAcrossTheBarsStart)
{
    // At the top two vertical lines at the left, inside the 2-pixel border;
    // at the left two horizontal lines at the top.
    bar->addAction(solidIcon(Qt::red, 16), QStringLiteral("first"));
    const QColor across[] = {kFace, kLight, kShadow, kFace, kLight, kShadow, kFace};
    for (Qt::ToolBarArea area : {Qt::LeftToolBarArea, Qt::TopToolBarArea}) {
        show(area);
        const QImage image = grabOf(*bar);
        const bool top = area == Qt::TopToolBarArea;
        for (int i = 0; i < 7; ++i) {
            const QPoint p =
                top ? QPoint(1 + i, image.height() / 2) : QPoint(image.width() / 2, 1 + i);
            EXPECT_EQ(QColor(image.pixel(p)), across[i]) << area << " " << i;
        }
    }
    const int h = bar->height();
    expectPixels(grabOf(*bar),
                 {{2, 1, kFace}, {2, 2, kLight}, {2, h - 3, kShadow}, {2, h - 2, kFace}});

    // A fixed bar has no gripper.
    bar->setMovable(false);
    QCoreApplication::processEvents();
    expectPixels(grabOf(*bar), {{2, bar->height() / 2, kFace}});
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

    QWidget* button = bar->widgetForAction(first);
    const QPoint centre = button->rect().center();
    expectPixels(grabOf(*button), {{centre.x(), centre.y(), Qt::red}});
    hover(*button);
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->underMouse(); }, 2000));
    expectPixels(grabOf(*button), {{centre.x(), centre.y(), Qt::green}});

    // The hot image's mask colour is transparent; the normal image stays.
    EXPECT_EQ(qAlpha(iconPixel(first, QIcon::Active, 0)), 0);
    EXPECT_EQ(iconPixel(second, QIcon::Active), qRgb(0, 0, 255));
    EXPECT_EQ(iconPixel(third, QIcon::Active), qRgb(255, 255, 0));
    EXPECT_EQ(iconPixel(second, QIcon::Normal), qRgb(255, 0, 0));

    // An icon that names no sizes keeps its normal image too.
    QAction* painted = bar->addAction(QIcon(new PaintedIcon(Qt::magenta)), QStringLiteral("p"));
    ASSERT_TRUE(bar->SetHotImageList(strip({Qt::green, Qt::blue, Qt::yellow, Qt::cyan}), 16));
    EXPECT_EQ(iconPixel(painted, QIcon::Normal), qRgb(255, 0, 255));
    EXPECT_EQ(iconPixel(painted, QIcon::Active), qRgb(0, 255, 255));
    EXPECT_FALSE(bar->SetHotImageList(QImage(), 16));
    EXPECT_FALSE(bar->SetHotImageList(strip({Qt::green}), 0));
}

} // namespace

#include "ui/flat_combo_box.h"

#include "fixed_look.h"

#include <QApplication>
#include <QColorDialog>
#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bc;
using bc::test::at;
using bc::test::grabOf;

namespace {

// Renders entry `index` of a list at 90 x 20 pixels.
QImage drawEntry(const CFlatComboBox& combo, int index, bool selected)
{
    QImage image(90, 20, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter p(&image);
    combo.DrawItem(p, image.rect(), index, selected);
    return image;
}

int darkPixelsInRow(const QImage& image, int y, int from, int to)
{
    int n = 0;
    for (int x = from; x <= to; ++x)
        n += qGray(image.pixel(x, y)) < 128;
    return n;
}

int darkPixelsInColumn(const QImage& image, int x)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        n += qGray(image.pixel(x, y)) < 128;
    return n;
}

class FlatComboTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::useFixedLook();
        QCursor::setPos(QPoint(5000, 5000));
    }
    void TearDown() override { QCursor::setPos(QPoint(5000, 5000)); }

    // Moves the mouse onto `w` the way the window system does: the cursor
    // first, then the move event.
    static void hover(QWidget& w)
    {
        const QPoint centre = w.rect().center();
        QCursor::setPos(w.mapToGlobal(centre));
        QTest::mouseMove(&w, centre);
    }
};

TEST_F(FlatComboTest, BorderIsFlatRaisedUnderTheMouseAndFlatAgainWhenItLeaves)
{
    CFlatComboBox combo;
    combo.addItems({QStringLiteral("a"), QStringLiteral("b")});
    combo.setGeometry(10, 10, 120, 24);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));

    EXPECT_EQ(combo.BorderState(), CFlatComboBox::FB_FLAT);
    QImage image = grabOf(combo);
    const int r = image.width() - 1, b = image.height() - 1;
    EXPECT_EQ(at(image, 0, 0), test::kFace);
    EXPECT_EQ(at(image, r, b), test::kFace);
    EXPECT_EQ(at(image, 1, 1), test::kFace);

    hover(combo);
    EXPECT_TRUE(combo.IsHoverTimerActive());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return combo.BorderState() == CFlatComboBox::FB_RAISED; }, 2000));
    image = grabOf(combo);
    EXPECT_EQ(at(image, 0, 0), test::kLight);
    EXPECT_EQ(at(image, r, b), test::kShadow);
    EXPECT_EQ(at(image, 1, 1), test::kLight);

    QCursor::setPos(QPoint(5000, 5000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return combo.BorderState() == CFlatComboBox::FB_FLAT; }, 2000));
    EXPECT_FALSE(combo.IsHoverTimerActive());
    image = grabOf(combo);
    EXPECT_EQ(at(image, 0, 0), test::kFace);
    EXPECT_EQ(at(image, r, b), test::kFace);
}

TEST_F(FlatComboTest, TwoCombosKeepTheirOwnHoverState)
{
    QWidget window;
    window.resize(300, 100);
    CFlatComboBox first(&window), second(&window);
    first.setGeometry(10, 10, 100, 24);
    second.setGeometry(150, 10, 100, 24);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    hover(first);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return first.BorderState() == CFlatComboBox::FB_RAISED; }, 2000));
    EXPECT_EQ(second.BorderState(), CFlatComboBox::FB_FLAT);

    hover(second);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return second.BorderState() == CFlatComboBox::FB_RAISED &&
                   first.BorderState() == CFlatComboBox::FB_FLAT;
        },
        2000));
    EXPECT_TRUE(second.IsHoverTimerActive());
    EXPECT_FALSE(first.IsHoverTimerActive());
}

TEST_F(FlatComboTest, PressingSinksTheBorderUntilTheListCloses)
{
    CFlatComboBox combo;
    combo.addItems({QStringLiteral("a"), QStringLiteral("b")});
    combo.resize(120, 24);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    hover(combo);
    QTest::mousePress(&combo, Qt::LeftButton, {}, combo.rect().center());
    EXPECT_TRUE(combo.IsButtonDown());
    EXPECT_EQ(combo.BorderState(), CFlatComboBox::FB_PRESSED);
    const QImage image = grabOf(combo);
    EXPECT_EQ(at(image, 0, 0), test::kShadow);
    EXPECT_EQ(at(image, image.width() - 1, image.height() - 1), test::kLight);

    // While the button is down the mouse leaving does not flatten it.
    QCursor::setPos(QPoint(5000, 5000));
    QTest::qWait(40);
    EXPECT_EQ(combo.BorderState(), CFlatComboBox::FB_PRESSED);

    combo.hidePopup();
    EXPECT_FALSE(combo.IsButtonDown());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return combo.BorderState() == CFlatComboBox::FB_FLAT; }, 2000));
}

TEST_F(FlatComboTest, ColourComboReturnsPackedColoursAndBlackWithoutSelection)
{
    CColorPickerCombo combo;
    ASSERT_EQ(combo.count(), 6);
    EXPECT_EQ(combo.itemText(5), QStringLiteral("自定义"));
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_EQ(combo.GetColor(), 0x000000u);

    const COLORREF expected[5] = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    for (int i = 0; i < 5; ++i) {
        combo.setCurrentIndex(i);
        EXPECT_EQ(combo.GetColor(), expected[i]) << i;
    }
    combo.setCurrentIndex(5);
    EXPECT_EQ(combo.GetColor(), 0x000000u);
}

TEST_F(FlatComboTest, CustomEntryTakesTheDialogsColourOnOkAndKeepsItOnCancel)
{
    CColorPickerCombo combo;
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));

    // Another entry opens no dialog.
    combo.setCurrentIndex(1);
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (auto* dlg = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
            opened = true;
            dlg->reject();
        }
    });
    combo.OnSelectColor();
    QTest::qWait(5);
    EXPECT_FALSE(opened);

    combo.setCurrentIndex(CColorPickerCombo::kCustomIndex);
    QColor startedAt;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        startedAt = dlg->currentColor();
        dlg->setCurrentColor(QColor(10, 20, 30));
        dlg->accept();
    });
    combo.OnSelectColor();
    EXPECT_EQ(startedAt, QColor(0, 0, 0));
    EXPECT_EQ(combo.GetColor(), RGB(10, 20, 30));
    EXPECT_EQ(combo.GetColor(), 0x1E140Au);

    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        startedAt = dlg->currentColor();
        dlg->setCurrentColor(QColor(200, 100, 50));
        dlg->reject();
    });
    combo.OnSelectColor();
    EXPECT_EQ(startedAt, QColor(10, 20, 30));
    EXPECT_EQ(combo.GetColor(), RGB(10, 20, 30));
    EXPECT_EQ(combo.GetCustomColor(), RGB(10, 20, 30));
}

TEST_F(FlatComboTest, ColourSwatchesAreFilledAndFramed)
{
    CColorPickerCombo combo;
    EXPECT_EQ(combo.MeasureItem(0), 20);

    QImage image = drawEntry(combo, 3, false);
    EXPECT_EQ(at(image, 45, 10), QColor(0, 0, 255));
    EXPECT_EQ(at(image, 0, 0), QColor(Qt::white));
    EXPECT_EQ(at(image, 89, 19), QColor(Qt::white));

    image = drawEntry(combo, 1, true);
    EXPECT_EQ(at(image, 45, 10), QColor(255, 0, 0));
    EXPECT_EQ(at(image, 0, 0), QColor(0, 100, 200));
    EXPECT_EQ(at(image, 89, 19), QColor(0, 100, 200));

    // The custom entry: its left half white with the label, its right half
    // the custom colour.
    combo.setCurrentIndex(CColorPickerCombo::kCustomIndex);
    QTimer::singleShot(0, [] {
        auto* dlg = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        dlg->setCurrentColor(QColor(0, 128, 0));
        dlg->accept();
    });
    combo.OnSelectColor();
    image = drawEntry(combo, CColorPickerCombo::kCustomIndex, false);
    EXPECT_EQ(at(image, 70, 10), QColor(0, 128, 0));
    EXPECT_EQ(at(image, 44, 2), QColor(Qt::white));
    int dark = 0;
    for (int x = 1; x < 44; ++x)
        dark += darkPixelsInColumn(image, x);
    EXPECT_GT(dark, 0); // the label
}

TEST_F(FlatComboTest, ClosedColourComboShowsTheSelectedSwatch)
{
    CColorPickerCombo combo;
    combo.resize(90, 24);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    combo.setCurrentIndex(3);
    EXPECT_EQ(at(grabOf(combo), 20, 12), QColor(0, 0, 255));
    combo.setCurrentIndex(1);
    EXPECT_EQ(at(grabOf(combo), 20, 12), QColor(255, 0, 0));
}

TEST_F(FlatComboTest, LineStyleComboReturnsPenStyleCodesAndDrawsSamples)
{
    CLineStyleComboBox combo;
    ASSERT_EQ(combo.count(), 5);
    EXPECT_EQ(combo.currentIndex(), 0);
    EXPECT_EQ(combo.GetLineStyle(), PS_SOLID);
    combo.setCurrentIndex(3);
    EXPECT_EQ(combo.GetLineStyle(), PS_DASHDOT);
    combo.setCurrentIndex(4);
    EXPECT_EQ(combo.GetLineStyle(), PS_DASHDOTDOT);
    combo.setCurrentIndex(-1);
    EXPECT_EQ(combo.GetLineStyle(), PS_SOLID);

    // A solid sample runs from left + 4 to right - 4 on the centre row; a
    // dotted one has gaps.
    const QImage solid = drawEntry(combo, PS_SOLID, false);
    EXPECT_EQ(darkPixelsInRow(solid, 10, 4, 85), 82);
    EXPECT_EQ(darkPixelsInRow(solid, 10, 0, 3), 0);
    EXPECT_EQ(darkPixelsInRow(solid, 10, 86, 89), 0);
    EXPECT_EQ(darkPixelsInRow(solid, 9, 4, 85), 0);
    const QImage dotted = drawEntry(combo, PS_DOT, false);
    const int dots = darkPixelsInRow(dotted, 10, 4, 85);
    EXPECT_GT(dots, 10);
    EXPECT_LT(dots, 70);
}

TEST_F(FlatComboTest, LineWidthComboReturnsWidthsAndZeroWithoutSelection)
{
    CLineWidthComboBox combo;
    ASSERT_EQ(combo.count(), 8);
    EXPECT_EQ(combo.itemText(0), QStringLiteral("1 象素"));
    EXPECT_EQ(combo.itemText(7), QStringLiteral("8 象素"));
    EXPECT_EQ(combo.GetLineWidth(), 0);
    combo.setCurrentIndex(2);
    EXPECT_EQ(combo.GetLineWidth(), 3);
    combo.SetLineStyle(PS_DASH);
    EXPECT_EQ(combo.GetLineWidth(), 3);
    combo.SetLineStyle(PS_NULL);
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_EQ(combo.GetLineWidth(), 0);
}

TEST_F(FlatComboTest, LineWidthSamplesHaveTheEntrysWidthInTheChosenStyle)
{
    CLineWidthComboBox combo;
    // Near the right end only the sample line is drawn.
    EXPECT_EQ(darkPixelsInColumn(drawEntry(combo, 0, false), 84), 1);
    EXPECT_EQ(darkPixelsInColumn(drawEntry(combo, 3, false), 84), 4);
    EXPECT_EQ(darkPixelsInColumn(drawEntry(combo, 7, false), 84), 8);

    // One pixel wide the style shows; no pen draws no sample.
    combo.SetLineStyle(PS_DOT);
    const QImage dotted = drawEntry(combo, 0, false);
    const int dots = darkPixelsInRow(dotted, 10, 70, 85);
    EXPECT_GT(dots, 0);
    EXPECT_LT(dots, 16);
    combo.SetLineStyle(PS_NULL);
    EXPECT_EQ(darkPixelsInColumn(drawEntry(combo, 3, false), 84), 0);
}

} // namespace

#include "ui/flat_combo_box.h"

#include "fixed_look.h"

#include <QColorDialog>
#include <QPainter>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bc;
using namespace bc::test;

namespace {

// Renders entry `index` of a list at 90 x 20 pixels.
QImage drawEntry(const CFlatComboBox& combo, int index, bool selected = false)
{
    QImage image(90, 20, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter p(&image);
    combo.DrawItem(p, image.rect(), index, selected);
    return image;
}

int darkPixels(const QImage& image, QRect area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += qGray(image.pixel(x, y)) < 128;
    return n;
}

int darkInRow(const QImage& image, int y, int from, int to)
{
    return darkPixels(image, QRect(QPoint(from, y), QPoint(to, y)));
}

int darkInColumn(const QImage& image, int x)
{
    return darkPixels(image, QRect(x, 0, 1, image.height()));
}

// Answers the colour dialog the next OnSelectColor opens; gives the colour it
// started at.
QColor answerColourDialog(CColorPickerCombo& combo, const QColor& pick, bool ok)
{
    QColor startedAt;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        startedAt = dlg->currentColor();
        dlg->setCurrentColor(pick);
        ok ? dlg->accept() : dlg->reject();
    });
    combo.OnSelectColor();
    QTest::qWait(5);
    return startedAt;
}

bool waitForBorder(const CFlatComboBox& combo, int state)
{
    return QTest::qWaitFor([&] { return combo.BorderState() == state; }, 2000);
}

class FlatComboTest : public ::testing::Test {
protected:
    void SetUp() override { cursorAway(); }
    void TearDown() override { cursorAway(); }
    FixedLook look;
};

TEST_F(FlatComboTest, BorderIsFlatRaisedUnderTheMouseSunkenWhilePressedAndFlatWhenItLeaves)
{
    CFlatComboBox combo;
    combo.addItems({QStringLiteral("a"), QStringLiteral("b")});
    combo.setGeometry(10, 10, 120, 24);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    const int r = combo.width() - 1, b = combo.height() - 1;
    EXPECT_EQ(combo.BorderState(), CFlatComboBox::FB_FLAT);
    expectPixels(grabOf(combo), {{0, 0, kFace}, {r, b, kFace}, {1, 1, kFace}});

    hover(combo);
    EXPECT_TRUE(combo.IsHoverTimerActive());
    ASSERT_TRUE(waitForBorder(combo, CFlatComboBox::FB_RAISED));
    expectPixels(grabOf(combo), {{0, 0, kLight}, {r, b, kShadow}, {1, 1, kLight}});

    cursorAway();
    ASSERT_TRUE(waitForBorder(combo, CFlatComboBox::FB_FLAT));
    EXPECT_FALSE(combo.IsHoverTimerActive());
    expectPixels(grabOf(combo), {{0, 0, kFace}, {r, b, kFace}});

    hover(combo);
    QTest::mousePress(&combo, Qt::LeftButton, {}, combo.rect().center());
    EXPECT_TRUE(combo.IsButtonDown());
    EXPECT_EQ(combo.BorderState(), CFlatComboBox::FB_PRESSED);
    expectPixels(grabOf(combo), {{0, 0, kShadow}, {r, b, kLight}});
    // While the button is down the mouse leaving does not flatten it.
    cursorAway();
    QTest::qWait(40);
    EXPECT_EQ(combo.BorderState(), CFlatComboBox::FB_PRESSED);
    combo.hidePopup();
    EXPECT_FALSE(combo.IsButtonDown());
    ASSERT_TRUE(waitForBorder(combo, CFlatComboBox::FB_FLAT));
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
    ASSERT_TRUE(waitForBorder(first, CFlatComboBox::FB_RAISED));
    EXPECT_EQ(second.BorderState(), CFlatComboBox::FB_FLAT);
    hover(second);
    ASSERT_TRUE(waitForBorder(second, CFlatComboBox::FB_RAISED));
    ASSERT_TRUE(waitForBorder(first, CFlatComboBox::FB_FLAT));
    EXPECT_TRUE(second.IsHoverTimerActive());
    EXPECT_FALSE(first.IsHoverTimerActive());
}

TEST_F(FlatComboTest, ColourComboGivesPackedColoursAndTheCustomColourOfTheDialog)
{
    CColorPickerCombo combo;
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    ASSERT_EQ(combo.count(), 6);
    EXPECT_EQ(combo.itemText(5), QStringLiteral("自定义"));
    EXPECT_EQ(combo.GetColor(), 0x000000u); // no selection: black
    const COLORREF expected[5] = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    for (int i = 0; i < 5; ++i) {
        combo.setCurrentIndex(i);
        EXPECT_EQ(combo.GetColor(), expected[i]) << i;
        EXPECT_FALSE(answerColourDialog(combo, Qt::gray, true).isValid()) << "no dialog for " << i;
    }

    // The custom entry asks the dialog, starting at the last custom colour;
    // cancelled, it keeps that colour.
    combo.setCurrentIndex(CColorPickerCombo::kCustomIndex);
    EXPECT_EQ(combo.GetColor(), 0x000000u);
    EXPECT_EQ(answerColourDialog(combo, QColor(10, 20, 30), true), QColor(0, 0, 0));
    EXPECT_EQ(combo.GetColor(), 0x1E140Au);
    EXPECT_EQ(answerColourDialog(combo, QColor(200, 100, 50), false), QColor(10, 20, 30));
    EXPECT_EQ(combo.GetColor(), RGB(10, 20, 30));
    EXPECT_EQ(combo.GetCustomColor(), RGB(10, 20, 30));

    // Closed, the combo shows the selected swatch.
    combo.resize(90, 24);
    combo.setCurrentIndex(3);
    EXPECT_EQ(at(grabOf(combo), 20, 12), QColor(0, 0, 255));
    combo.setCurrentIndex(1);
    EXPECT_EQ(at(grabOf(combo), 20, 12), QColor(255, 0, 0));
}

TEST_F(FlatComboTest, ColourSwatchesAreFilledAndFramed)
{
    CColorPickerCombo combo;
    EXPECT_EQ(combo.MeasureItem(0), 20);
    expectPixels(drawEntry(combo, 3), {{45, 10, QColor(0, 0, 255)}, {0, 0, Qt::white},
                                      {89, 19, Qt::white}});
    expectPixels(drawEntry(combo, 1, true), {{45, 10, QColor(255, 0, 0)},
                                            {0, 0, QColor(0, 100, 200)},
                                            {89, 19, QColor(0, 100, 200)}});

    // The custom entry: its left half white with the label, its right half
    // the custom colour.
    combo.setCurrentIndex(CColorPickerCombo::kCustomIndex);
    answerColourDialog(combo, QColor(0, 128, 0), true);
    const QImage image = drawEntry(combo, CColorPickerCombo::kCustomIndex);
    expectPixels(image, {{70, 10, QColor(0, 128, 0)}, {44, 2, Qt::white}});
    EXPECT_GT(darkPixels(image, QRect(1, 0, 43, 20)), 0); // the label
}

TEST_F(FlatComboTest, LineStyleComboGivesPenStyleCodesAndDrawsSamples)
{
    CLineStyleComboBox combo;
    ASSERT_EQ(combo.count(), 5);
    EXPECT_EQ(combo.GetLineStyle(), PS_SOLID);
    combo.setCurrentIndex(4);
    EXPECT_EQ(combo.GetLineStyle(), PS_DASHDOTDOT);
    combo.setCurrentIndex(-1);
    EXPECT_EQ(combo.GetLineStyle(), PS_SOLID);

    // A solid sample runs from left + 4 to right - 4 on the centre row; a
    // dotted one has gaps.
    const QImage solid = drawEntry(combo, PS_SOLID);
    EXPECT_EQ(darkInRow(solid, 10, 4, 85), 82);
    EXPECT_EQ(darkInRow(solid, 10, 0, 3) + darkInRow(solid, 10, 86, 89), 0);
    EXPECT_EQ(darkInRow(solid, 9, 4, 85), 0);
    const int dots = darkInRow(drawEntry(combo, PS_DOT), 10, 4, 85);
    EXPECT_TRUE(dots > 10 && dots < 70) << dots;
}

TEST_F(FlatComboTest, LineWidthComboGivesWidthsAndDrawsThemInTheChosenStyle)
{
    CLineWidthComboBox combo;
    ASSERT_EQ(combo.count(), 8);
    EXPECT_EQ(combo.itemText(7), QStringLiteral("8 象素"));
    EXPECT_EQ(combo.GetLineWidth(), 0);
    combo.setCurrentIndex(2);
    combo.SetLineStyle(PS_DASH);
    EXPECT_EQ(combo.GetLineWidth(), 3);

    // Near the right end only the sample line is drawn.
    for (int i : {0, 3, 7})
        EXPECT_EQ(darkInColumn(drawEntry(combo, i), 84), i + 1) << i;
    // One pixel wide the style shows.
    combo.SetLineStyle(PS_DOT);
    const int dots = darkInRow(drawEntry(combo, 0), 10, 70, 85);
    EXPECT_TRUE(dots > 0 && dots < 16) << dots;
    // No pen: no selection, no width and no sample.
    combo.SetLineStyle(PS_NULL);
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_EQ(combo.GetLineWidth(), 0);
    EXPECT_EQ(darkInColumn(drawEntry(combo, 3), 84), 0);
}

} // namespace

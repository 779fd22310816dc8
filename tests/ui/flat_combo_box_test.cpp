#include "ui/flat_combo_box.h"

#include "fixed_look.h"

#include <QAbstractItemView>
#include <QColorDialog>
#include <QPainter>
#include <QTimer>

using namespace bc;
using namespace bc::test;

namespace {

// Entry `index` of a list, drawn at 90 x 20 pixels.
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
    QWidget window;
    window.resize(300, 50);
    CFlatComboBox combo(&window), other(&window);
    combo.addItems({QStringLiteral("a"), QStringLiteral("b")});
    combo.setGeometry(10, 10, 120, 24);
    other.setGeometry(150, 10, 100, 24);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const int r = combo.width() - 1, b = combo.height() - 1;
    expectPixels(grabOf(combo), {{0, 0, kFace}, {r, b, kFace}, {1, 1, kFace}});

    hover(combo);
    ASSERT_TRUE(waitForBorder(combo, CFlatComboBox::FB_RAISED));
    expectPixels(grabOf(combo), {{0, 0, kLight}, {r, b, kShadow}, {1, 1, kLight}});
    // Each combo keeps its own hover state.
    EXPECT_EQ(other.BorderState(), CFlatComboBox::FB_FLAT);
    hover(other);
    ASSERT_TRUE(waitForBorder(other, CFlatComboBox::FB_RAISED));
    ASSERT_TRUE(waitForBorder(combo, CFlatComboBox::FB_FLAT));
    EXPECT_FALSE(combo.IsHoverTimerActive());
    expectPixels(grabOf(combo), {{0, 0, kFace}, {r, b, kFace}});

    hover(combo);
    QTest::mousePress(&combo, Qt::LeftButton, {}, combo.rect().center());
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

TEST_F(FlatComboTest, ColourComboGivesPackedColoursAndDrawsFramedSwatches)
{
    CColorPickerCombo combo;
    combo.resize(90, 24);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    const COLORREF expected[5] = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    for (int i = 0; i < 5; ++i) {
        combo.setCurrentIndex(i);
        EXPECT_EQ(combo.GetColor(), expected[i]) << i;
        EXPECT_FALSE(answerColourDialog(combo, Qt::gray, true).isValid()) << "no dialog for " << i;
    }
    // Closed, the combo shows the selected swatch. In the list, rows of 20
    // pixels, a swatch is framed white, or blue when selected.
    combo.setCurrentIndex(1);
    expectPixels(grabOf(combo), {{20, 12, QColor(255, 0, 0)}});
    EXPECT_EQ(combo.view()->sizeHintForRow(0), 20);
    expectPixels(drawEntry(combo, 3), {{45, 10, Qt::blue}, {0, 0, Qt::white}, {89, 19, Qt::white}});
    const QColor frame(0, 100, 200);
    expectPixels(drawEntry(combo, 1, true), {{45, 10, Qt::red}, {0, 0, frame}, {89, 19, frame}});

    // The custom entry asks the dialog, starting at the last custom colour,
    // and shows the label at its left, the colour at its right. Cancelled,
    // the dialog leaves that colour.
    combo.setCurrentIndex(CColorPickerCombo::kCustomIndex);
    EXPECT_EQ(answerColourDialog(combo, QColor(10, 20, 30), true), QColor(0, 0, 0));
    EXPECT_EQ(combo.GetColor(), 0x1E140Au);
    const QImage custom = drawEntry(combo, CColorPickerCombo::kCustomIndex);
    expectPixels(custom, {{70, 10, QColor(10, 20, 30)}, {44, 2, Qt::white}});
    EXPECT_GT(darkPixels(custom, QRect(1, 0, 43, 20)), 0);
    EXPECT_EQ(answerColourDialog(combo, QColor(200, 100, 50), false), QColor(10, 20, 30));
    EXPECT_EQ(combo.GetColor(), RGB(10, 20, 30));
}

TEST_F(FlatComboTest, LineCombosDrawTheirSamples)
{
    // A solid sample is the only thing drawn: from left + 4 to right - 4 on
    // the centre row. A dotted one has gaps.
    CLineStyleComboBox style;
    const QImage solid = drawEntry(style, PS_SOLID);
    EXPECT_EQ(darkPixels(solid, QRect(4, 10, 82, 1)), 82);
    EXPECT_EQ(darkPixels(solid, solid.rect()), 82);
    const int dots = darkPixels(drawEntry(style, PS_DOT), QRect(4, 10, 82, 1));
    EXPECT_TRUE(dots > 10 && dots < 70) << dots;
    // The selected entry is the style; with none selected the line is solid.
    style.setCurrentIndex(PS_DASH);
    EXPECT_EQ(style.GetLineStyle(), PS_DASH);
    style.setCurrentIndex(-1);
    EXPECT_EQ(style.GetLineStyle(), PS_SOLID);

    // Widths: near the right end only the sample line is drawn, in the style.
    CLineWidthComboBox width;
    width.setCurrentIndex(2);
    width.SetLineStyle(PS_DASH);
    EXPECT_EQ(width.GetLineWidth(), 3);
    for (int i : {0, 3, 7})
        EXPECT_EQ(darkPixels(drawEntry(width, i), QRect(84, 0, 1, 20)), i + 1) << i;
    width.SetLineStyle(PS_DOT);
    const int widthDots = darkPixels(drawEntry(width, 0), QRect(70, 10, 16, 1));
    EXPECT_TRUE(widthDots > 0 && widthDots < 16) << widthDots;
    // No pen: no selection, no width and no sample.
    width.SetLineStyle(PS_NULL);
    EXPECT_EQ(width.GetLineWidth(), 0);
    EXPECT_EQ(darkPixels(drawEntry(width, 3), QRect(84, 0, 1, 20)), 0);
}

} // namespace

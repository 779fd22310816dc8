#include "ui/check_combo_box.h"

#include "fixed_look.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using bc::CCheckComboBox;

namespace {

class CheckComboTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        combo.addItems({QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")});
    }
    bc::test::FixedLook look;
    CCheckComboBox combo;
};

TEST_F(CheckComboTest, ChecksStartClearAndRefuseIndicesOutsideTheList)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(combo.GetCheck(i), 0);
    EXPECT_EQ(combo.GetCheck(3), -1);
    EXPECT_EQ(combo.GetCheck(-1), -1);
    EXPECT_LT(combo.SetCheck(3, true), 0);
    EXPECT_LT(combo.SetCheck(-1, true), 0);
    EXPECT_EQ(combo.GetText(), QString());

    EXPECT_EQ(combo.SetCheck(1, true), 0);
    EXPECT_NE(combo.GetCheck(1), 0);
    // Views of the model read the role as a check state: fully checked.
    auto state = [this](int i) { return combo.itemData(i, Qt::CheckStateRole).toInt(); };
    EXPECT_EQ(state(1), Qt::Checked);
    combo.CheckAll(true);
    EXPECT_EQ(state(0), Qt::Checked);
    EXPECT_EQ(combo.GetText(), QStringLiteral("一, 二, 三").replace(',', combo.GetListSeparator()));
    combo.CheckAll(false);
    EXPECT_EQ(combo.GetText(), QString());
}

TEST_F(CheckComboTest, TextJoinsCheckedItemsWithTheListSeparatorAndABlank)
{
    combo.SetListSeparator(QStringLiteral(","));
    combo.SetCheck(0, true);
    combo.SetCheck(2, true);
    EXPECT_EQ(combo.GetText(), QStringLiteral("一, 三"));

    // Trailing blanks of the separator are replaced by exactly one.
    combo.SetListSeparator(QStringLiteral(";   "));
    EXPECT_EQ(combo.GetText(), QStringLiteral("一; 三"));

    // A locale without a separator joins with a semicolon.
    combo.SetListSeparator(QString());
    EXPECT_EQ(combo.GetText(), QStringLiteral("一; 三"));

    // At most nine characters of a separator are used.
    combo.SetListSeparator(QStringLiteral("0123456789"));
    EXPECT_EQ(combo.GetText(), QStringLiteral("一012345678 三"));
}

TEST(CheckComboLocaleTest, SeparatorFollowsTheLocalesDecimalPoint)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(CCheckComboBox().GetListSeparator(), QStringLiteral(";"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(CCheckComboBox().GetListSeparator(), QStringLiteral(","));
    QLocale::setDefault(saved);
}

TEST_F(CheckComboTest, TextFollowsItemsRemovedAndAdded)
{
    combo.SetListSeparator(QStringLiteral(","));
    combo.SetCheck(0, true);
    combo.SetCheck(2, true);
    EXPECT_EQ(combo.GetText(), QStringLiteral("一, 三"));
    combo.removeItem(0);
    EXPECT_EQ(combo.GetText(), QStringLiteral("三"));
    combo.addItem(QStringLiteral("四"));
    combo.SetCheck(2, true);
    EXPECT_EQ(combo.GetText(), QStringLiteral("三, 四"));
}

TEST_F(CheckComboTest, ClickingItemsTogglesThemAndTheListStaysOpen)
{
    combo.SetListSeparator(QStringLiteral(","));
    combo.resize(160, 24);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    QSignalSpy toggled(&combo, &CCheckComboBox::checkToggled);
    combo.showPopup();
    QAbstractItemView* list = combo.view();
    ASSERT_TRUE(list->isVisible());
    // A release just after the list opens is ignored by the popup anyway;
    // wait past that so that the list's staying open is our doing.
    QTest::qWait(QApplication::doubleClickInterval() + 50);

    const QPoint second = list->visualRect(combo.model()->index(1, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    EXPECT_NE(combo.GetCheck(1), 0);
    EXPECT_TRUE(list->isVisible());
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_EQ(toggled.at(0).at(0).toInt(), 1);
    EXPECT_EQ(combo.GetText(), QStringLiteral("二"));

    const QPoint third = list->visualRect(combo.model()->index(2, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third);
    EXPECT_EQ(combo.GetText(), QStringLiteral("二, 三"));

    // A second click unchecks.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    EXPECT_EQ(combo.GetCheck(1), 0);
    EXPECT_EQ(combo.GetText(), QStringLiteral("三"));
    EXPECT_TRUE(list->isVisible());

    // Below the last item nothing changes: the list is made taller than its
    // items, as a short list in a tall drop-down is.
    QWidget* popup = list->window();
    popup->resize(popup->width(), popup->height() + 40);
    const QRect last = list->visualRect(combo.model()->index(2, 0));
    ASSERT_LT(last.bottom() + 10, list->viewport()->height());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(last.center().x(), last.bottom() + 10));
    EXPECT_EQ(toggled.count(), 3);
    EXPECT_EQ(combo.GetText(), QStringLiteral("三"));
    EXPECT_EQ(combo.GetCheck(2), 1);
    EXPECT_TRUE(list->isVisible());
    combo.hidePopup();
}

TEST_F(CheckComboTest, SpaceTogglesTheCurrentItemOfTheOpenList)
{
    combo.resize(160, 24);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    combo.showPopup();
    QAbstractItemView* list = combo.view();
    list->setCurrentIndex(combo.model()->index(2, 0));
    QSignalSpy toggled(&combo, &CCheckComboBox::checkToggled);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_NE(combo.GetCheck(2), 0);
    EXPECT_EQ(toggled.count(), 1);
    EXPECT_TRUE(list->isVisible());
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(combo.GetCheck(2), 0);
    combo.hidePopup();
}

TEST_F(CheckComboTest, ItemsMeasureFromTheFontAndDrawTheirCheckSquare)
{
    const QFontMetrics fm(combo.font());
    EXPECT_EQ(combo.ItemHeight(), fm.height() + fm.leading() + 2);
    EXPECT_EQ(combo.CheckBoxWidth(), fm.height() + fm.leading() + 6);

    // An unselected item keeps the window colour in its check square and
    // behind its text; a selected one fills its text part with the highlight.
    QImage image(120, combo.ItemHeight(), QImage::Format_RGB32);
    image.fill(Qt::green);
    {
        QPainter p(&image);
        combo.DrawItem(p, image.rect(), 0, false, false);
    }
    EXPECT_EQ(QColor(image.pixel(1, 1)), QColor(Qt::white));
    EXPECT_EQ(QColor(image.pixel(118, 1)), QColor(Qt::white));
    image.fill(Qt::green);
    {
        QPainter p(&image);
        combo.DrawItem(p, image.rect(), 0, true, false);
    }
    EXPECT_EQ(QColor(image.pixel(1, 1)), QColor(Qt::white));
    EXPECT_EQ(QColor(image.pixel(118, 1)), bc::test::kHighlight);

    // The check mark changes the square, not the text part.
    QImage unchecked(120, combo.ItemHeight(), QImage::Format_RGB32);
    QImage checked(120, combo.ItemHeight(), QImage::Format_RGB32);
    {
        QPainter p(&unchecked);
        combo.DrawItem(p, unchecked.rect(), 0, false, false);
    }
    combo.SetCheck(0, true);
    {
        QPainter p(&checked);
        combo.DrawItem(p, checked.rect(), 0, false, false);
    }
    const int square = combo.CheckBoxWidth();
    EXPECT_NE(unchecked.copy(0, 0, square, unchecked.height()),
              checked.copy(0, 0, square, checked.height()));
    EXPECT_EQ(unchecked.copy(square, 0, 120 - square, unchecked.height()),
              checked.copy(square, 0, 120 - square, checked.height()));
}

} // namespace

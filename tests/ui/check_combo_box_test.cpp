#include "ui/check_combo_box.h"

#include "fixed_look.h"

#include <QAbstractItemView>
#include <QLocale>
#include <QPainter>
#include <QSignalSpy>

using bc::CCheckComboBox;

namespace {

class CheckComboTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        combo.addItems({QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")});
        combo.SetListSeparator(QStringLiteral(","));
    }
    bc::test::FixedLook look;
    CCheckComboBox combo;
};

TEST_F(CheckComboTest, TextJoinsCheckedItemsWithTheListSeparatorAndABlank)
{
    for (int outside : {3, -1})
        EXPECT_TRUE(combo.GetCheck(outside) == -1 && combo.SetCheck(outside, true) < 0);
    combo.SetCheck(0, true);
    combo.SetCheck(2, true);
    // Views of the model read the role as a check state: fully checked.
    EXPECT_EQ(combo.itemData(2, Qt::CheckStateRole).toInt(), Qt::Checked);
    // Trailing blanks of the separator are replaced by exactly one; without a
    // separator a semicolon joins; at most nine characters of one are used.
    const std::pair<QString, QString> cases[] = {
        {";   ", "一; 三"}, {"", "一; 三"}, {"0123456789", "一012345678 三"}, {",", "一, 三"}};
    for (const auto& [separator, text] : cases) {
        combo.SetListSeparator(separator);
        EXPECT_EQ(combo.GetText(), text) << separator.toStdString();
    }
    // The text, once made, follows items removed and added.
    combo.removeItem(0);
    EXPECT_EQ(combo.GetText(), QStringLiteral("三"));
    combo.addItem(QStringLiteral("四"));
    combo.CheckAll(true);
    EXPECT_EQ(combo.GetText(), QStringLiteral("二, 三, 四"));
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

TEST_F(CheckComboTest, ClickingItemsTogglesThemAndTheListStaysOpen)
{
    combo.resize(160, 24);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    combo.showPopup();
    QAbstractItemView* list = combo.view();
    QSignalSpy toggled(&combo, &CCheckComboBox::checkToggled);
    // A release just after the list opens is ignored by the popup anyway;
    // wait past that so that the list's staying open is our doing.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    auto click = [&](QPoint at) { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at); };
    const QRect second = list->visualRect(combo.model()->index(1, 0));
    click(second.center());
    EXPECT_EQ(toggled.count(), 1);
    EXPECT_EQ(toggled.at(0).at(0).toInt(), 1);
    click(second.center() + QPoint(0, second.height())); // the third item
    EXPECT_EQ(combo.GetText(), QStringLiteral("二, 三"));
    click(second.center()); // a second click unchecks
    EXPECT_EQ(combo.GetText(), QStringLiteral("三"));
    EXPECT_TRUE(list->isVisible());

    // Below the last item nothing changes: the list is made taller than its
    // items, as a short list in a tall drop-down is.
    QWidget* popup = list->window();
    popup->resize(popup->width(), popup->height() + 40);
    click(second.center() + QPoint(0, 3 * second.height()));
    EXPECT_EQ(combo.GetText(), QStringLiteral("三"));

    // Space toggles the current item.
    list->setCurrentIndex(combo.model()->index(0, 0));
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(combo.GetText(), QStringLiteral("一, 三"));
    EXPECT_EQ(toggled.count(), 4);
    EXPECT_TRUE(list->isVisible());
    combo.hidePopup();
}

TEST_F(CheckComboTest, ItemsDrawTheirCheckSquareAndHighlight)
{
    auto drawn = [&](bool selected) {
        QImage image(120, combo.ItemHeight(), QImage::Format_RGB32);
        image.fill(Qt::green);
        QPainter p(&image);
        combo.DrawItem(p, image.rect(), 0, selected, false);
        return image;
    };
    // An unselected item keeps the window colour in its check square and
    // behind its text; a selected one fills its text part with the highlight.
    bc::test::expectPixels(drawn(false), {{1, 1, Qt::white}, {118, 1, Qt::white}});
    bc::test::expectPixels(drawn(true), {{1, 1, Qt::white}, {118, 1, bc::test::kHighlight}});

    // The check mark changes the square, not the text part.
    const QImage unchecked = drawn(false);
    combo.SetCheck(0, true);
    const QImage checked = drawn(false);
    const int square = combo.CheckBoxWidth(), h = checked.height();
    EXPECT_NE(unchecked.copy(0, 0, square, h), checked.copy(0, 0, square, h));
    EXPECT_EQ(unchecked.copy(square, 0, 120 - square, h), checked.copy(square, 0, 120 - square, h));
}

} // namespace

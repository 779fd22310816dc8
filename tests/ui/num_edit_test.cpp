#include "ui/num_edit.h"

#include <QDialog>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace bc {
namespace {

struct EditOnDialog {
    explicit EditOnDialog(int mode = 0)
    {
        edit = new CNumEdit(1002, &dialog);
        edit->SetMode(mode);
        other = new QPushButton(QStringLiteral("x"), &dialog);
        other->move(0, 50);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        edit->setFocus();
    }
    QDialog dialog;
    CNumEdit* edit;
    QPushButton* other;
};

TEST(CNumEdit, InputModesFilterTypedAndInputMethodText)
{
    // Mode 1 takes a sign but no point, 2 one point and one sign, 3 digits
    // only, 0 anything; text from an input method passes the same filter.
    const std::tuple<int, const char*, const char*, bool> cases[] = {
        {1, "-5-.x", "-5", false},   {2, "1.2.3", "1.23", false}, {3, "-1a2.", "12", false},
        {0, "a-.-", "a-.-", false},  {1, "-5\b", "-", false},     {2, "ab-1.5", "-1.5", true},
        {1, "一-2.5-", "-25", true}, {3, "７x12", "12", true},    {0, "ab-1.5", "ab-1.5", true}};
    for (const auto& [mode, typed, shown, inputMethod] : cases) {
        EditOnDialog f(mode);
        if (inputMethod) {
            QInputMethodEvent composing(QStringLiteral("yi"), {});
            QApplication::sendEvent(f.edit, &composing);
            QInputMethodEvent committed;
            committed.setCommitString(QString::fromUtf8(typed));
            QApplication::sendEvent(f.edit, &committed);
        } else {
            QTest::keyClicks(f.edit, QString::fromUtf8(typed));
        }
        EXPECT_EQ(f.edit->text(), QString::fromUtf8(shown)) << typed;
    }
}

// Typed over the text selected from `from` on: a sign or point selected is
// replaced, not counted; one left still refuses another.
TEST(CNumEdit, ASignOrPointTypedOverASelectionIsJudgedAgainstTheTextLeft)
{
    const std::tuple<int, const char*, int, const char*, const char*, bool> rows[] = {
        {2, "-12.345", 0, "-1.5", "-1.5", false}, {1, "+7", 0, "+3", "+3", true},
        {1, "-7", 0, "-3", "-3", false},          {2, "1.5", 1, ".25", "1.25", true},
        {2, "-1.5", 1, "-2.5", "-2.5", false},    {3, "12", 0, "-3", "3", false}};
    for (const auto& [mode, text, from, typed, shown, inputMethod] : rows) {
        EditOnDialog f(mode);
        f.edit->setText(QString::fromLatin1(text));
        QTest::keyClick(f.edit, Qt::Key_Home);
        for (int i = 0; i < from; ++i)
            QTest::keyClick(f.edit, Qt::Key_Right);
        QTest::keyClick(f.edit, Qt::Key_End, Qt::ShiftModifier);
        if (inputMethod) {
            QInputMethodEvent commit;
            commit.setCommitString(QString::fromLatin1(typed));
            QApplication::sendEvent(f.edit, &commit);
        } else {
            QTest::keyClicks(f.edit, QString::fromLatin1(typed));
        }
        EXPECT_EQ(f.edit->text().toStdString(), shown) << text << " <- " << typed;
    }
}

TEST(CNumEdit, SetValueShowsPrecisionAndIgnoresValuesOutsideTheLimits)
{
    CNumEdit e;
    e.SetPrecision(0);
    e.SetValue(2.4f);
    EXPECT_FLOAT_EQ(e.GetValue(), 2.0f); // the value is what the field shows
    e.SetPrecision(1);
    e.SetMax(100.0f);
    e.SetMin(-10.0f);
    for (float v : {50.0f, 150.0f, -11.0f})
        e.SetValue(v);
    EXPECT_EQ(e.text(), "50.0");
    e.SetValue(100.0f); // the limit itself is allowed
    EXPECT_EQ(e.text(), "100.0");
}

TEST(CNumEdit, LeavingTheFieldClampsAndCommits)
{
    // Mode 3 holds to 255, mode 4 to 32768, any mode to its maximum; the
    // first value past each limit is caught, the limit itself kept.
    const std::tuple<int, float, const char*, const char*> cases[] = {
        {3, 0.0f, "300", "255"},     {3, 0.0f, "256", "255"},     {3, 0.0f, "255", "255"},
        {4, 0.0f, "40000", "32768"}, {4, 0.0f, "32769", "32768"}, {2, 100.0f, "150", "100"}};
    for (const auto& [mode, max, typed, shown] : cases) {
        EditOnDialog f(mode);
        if (max > 0)
            f.edit->SetMax(max);
        QSignalSpy committed(f.edit, &CNumEdit::valueCommitted);
        QTest::keyClicks(f.edit, typed);
        f.other->setFocus();
        EXPECT_EQ(f.edit->text(), shown);
        EXPECT_FLOAT_EQ(f.edit->GetValue(), f.edit->text().toFloat());
        ASSERT_EQ(committed.count(), 1) << typed;
        EXPECT_EQ(committed.at(0).at(0).toInt(), 1002);
    }
}

TEST(CNumEdit, EnterAndEscapeCommitThroughTheFocusAndNeverReachTheDialog)
{
    EditOnDialog f;
    f.other->setDefault(true);
    QSignalSpy pressed(f.other, &QPushButton::clicked);
    QSignalSpy committed(f.edit, &CNumEdit::valueCommitted);
    f.edit->SetPrecision(3);
    QTest::keyClicks(f.edit, "12.3456");
    QTest::keyClick(f.edit, Qt::Key_Return);
    EXPECT_FALSE(f.edit->hasFocus());
    EXPECT_EQ(f.edit->text(), "12.346");
    f.edit->setFocus();
    QTest::keyClick(f.edit, Qt::Key_Escape);
    EXPECT_EQ(committed.count(), 2);
    EXPECT_EQ(pressed.count(), 0);
    EXPECT_TRUE(f.dialog.isVisible());
}

} // namespace
} // namespace bc

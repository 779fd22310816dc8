#include "ui/num_edit.h"

#include <QDialog>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <clocale>

namespace bc {
namespace {

struct EditOnDialog {
    EditOnDialog()
    {
        dialog.resize(200, 100);
        edit = new CNumEdit(1002, &dialog);
        edit->setGeometry(10, 10, 100, 24);
        other = new QPushButton(QStringLiteral("x"), &dialog);
        other->setGeometry(10, 50, 50, 24);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        edit->setFocus();
    }
    QDialog dialog;
    CNumEdit* edit;
    QPushButton* other;
};

TEST(CNumEdit, InputModesFilterTypedCharacters)
{
    EditOnDialog f;
    f.edit->SetMode(1);
    QTest::keyClicks(f.edit, "-5-");
    EXPECT_EQ(f.edit->text(), "-5");
    EXPECT_FLOAT_EQ(f.edit->GetValue(), -5.0f);
    QTest::keyClicks(f.edit, ".x");
    EXPECT_EQ(f.edit->text(), "-5"); // mode 1 takes no point

    f.edit->clear();
    f.edit->SetMode(2);
    QTest::keyClicks(f.edit, "1.2.3");
    EXPECT_EQ(f.edit->text(), "1.23");
    QTest::keyClick(f.edit, Qt::Key_Backspace);
    EXPECT_EQ(f.edit->text(), "1.2");

    f.edit->clear();
    f.edit->SetMode(3);
    QTest::keyClicks(f.edit, "-1a2.");
    EXPECT_EQ(f.edit->text(), "12");

    f.edit->clear();
    f.edit->SetMode(0);
    QTest::keyClicks(f.edit, "a-.-");
    EXPECT_EQ(f.edit->text(), "a-.-");
}

TEST(CNumEdit, InputMethodTextPassesTheSameFilter)
{
    struct Case {
        int mode;
        const char* committed;
        const char* shown;
    };
    const Case cases[] = {
        {2, "ab-1.5", "-1.5"},
        {1, "一-2.5-", "-25"},
        {3, "７x12", "12"},
        {0, "ab-1.5", "ab-1.5"},
    };
    for (const Case& c : cases) {
        EditOnDialog f;
        f.edit->SetMode(c.mode);
        QInputMethodEvent composing(QStringLiteral("yi"), {});
        QApplication::sendEvent(f.edit, &composing);
        QInputMethodEvent committed;
        committed.setCommitString(QString::fromUtf8(c.committed));
        QApplication::sendEvent(f.edit, &committed);
        EXPECT_EQ(f.edit->text(), QString::fromUtf8(c.shown)) << c.committed;
    }
}

TEST(CNumEdit, SetValueShowsPrecisionAndIgnoresValuesOutsideTheLimits)
{
    CNumEdit e;
    e.SetPrecision(3);
    e.SetValue(12.345f);
    EXPECT_EQ(e.text(), "12.345");
    e.SetPrecision(0);
    e.SetValue(2.4f);
    EXPECT_EQ(e.text(), "2");
    EXPECT_FLOAT_EQ(e.GetValue(), 2.0f); // the value is what the field shows
    e.SetPrecision(1);
    e.SetMax(100.0f);
    e.SetMin(-10.0f);
    e.SetValue(50.0f);
    e.SetValue(150.0f);
    EXPECT_EQ(e.text(), "50.0");
    EXPECT_FLOAT_EQ(e.GetValue(), 50.0f);
    e.SetValue(-11.0f);
    EXPECT_EQ(e.text(), "50.0");
    e.SetValue(100.0f); // the limit itself is allowed
    EXPECT_EQ(e.text(), "100.0");
}

TEST(CNumEdit, LeavingTheFieldClampsAndCommits)
{
    EditOnDialog f;
    f.edit->SetMode(3);
    QSignalSpy committed(f.edit, &CNumEdit::valueCommitted);
    QTest::keyClicks(f.edit, "300");
    f.other->setFocus();
    EXPECT_EQ(f.edit->text(), "255");
    EXPECT_FLOAT_EQ(f.edit->GetValue(), 255.0f);
    ASSERT_EQ(committed.count(), 1);
    EXPECT_EQ(committed.at(0).at(0).toInt(), 1002);

    f.edit->setFocus();
    f.edit->clear();
    f.edit->SetMode(4);
    QTest::keyClicks(f.edit, "40000");
    f.other->setFocus();
    EXPECT_EQ(f.edit->text(), "32768");

    f.edit->setFocus();
    f.edit->clear();
    f.edit->SetMode(2);
    f.edit->SetMax(100.0f);
    QTest::keyClicks(f.edit, "150");
    f.other->setFocus();
    EXPECT_EQ(f.edit->text(), "100");
    EXPECT_EQ(committed.count(), 3);
}

TEST(CNumEdit, EnterCommitsThroughTheFocusAndNeverReachesTheDefaultButton)
{
    EditOnDialog f;
    f.other->setDefault(true);
    QSignalSpy pressed(f.other, &QPushButton::clicked);
    QSignalSpy committed(f.edit, &CNumEdit::valueCommitted);
    f.edit->SetPrecision(3);
    QTest::keyClicks(f.edit, "12.3456");
    QTest::keyClick(f.edit, Qt::Key_Return);
    EXPECT_FALSE(f.edit->hasFocus());
    EXPECT_EQ(committed.count(), 1);
    EXPECT_EQ(f.edit->text(), "12.346");
    EXPECT_EQ(pressed.count(), 0);
    EXPECT_TRUE(f.dialog.isVisible());

    f.edit->setFocus();
    QTest::keyClick(f.edit, Qt::Key_Escape);
    EXPECT_TRUE(f.dialog.isVisible()); // Escape does not close the dialog either
    EXPECT_EQ(committed.count(), 2);
}

} // namespace
} // namespace bc

#include "app/key_router.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <vector>

namespace bc {
namespace {

struct Routed {
    char kind; // 'd' down, 'u' up
    int key;
    bool ctrl;
    bool operator==(const Routed& o) const
    {
        return kind == o.kind && key == o.key && ctrl == o.ctrl;
    }
};

class KeyRouting : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        edit = new QLineEdit(&window);
        button = new QPushButton(QStringLiteral("x"), &window);
        layout->addWidget(edit);
        layout->addWidget(button);
        window.show();
        QApplication::setActiveWindow(&window);
        qApp->installEventFilter(&router);
    }
    void TearDown() override { qApp->removeEventFilter(&router); }

    void send(QWidget* w, QEvent::Type type, int key, Qt::KeyboardModifiers mods, bool repeat,
              const QString& text = QString())
    {
        QKeyEvent e(type, key, mods, text, repeat);
        QApplication::sendEvent(w, &e);
    }

    std::vector<Routed> seen;
    CKeyRouter router{[this](int k, bool c) { seen.push_back({'d', k, c}); },
                      [this](int k) { seen.push_back({'u', k, false}); }};
    QWidget window;
    QLineEdit* edit = nullptr;
    QPushButton* button = nullptr;
};

TEST_F(KeyRouting, AKeyTypedInALineEditReachesTheHandlersOnceAndIsStillEdited)
{
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_EQ(seen, (std::vector<Routed>{{'d', Qt::Key_A, false}, {'u', Qt::Key_A, false}}));
    EXPECT_EQ(edit->text(), QStringLiteral("a"));
}

TEST_F(KeyRouting, AKeyPropagatingToParentsActsOnce)
{
    button->setFocus();
    // The button ignores F5, so the event travels up to the window.
    send(button, QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier, false);
    send(button, QEvent::KeyRelease, Qt::Key_F5, Qt::ControlModifier, false);
    EXPECT_EQ(seen, (std::vector<Routed>{{'d', Qt::Key_F5, true}, {'u', Qt::Key_F5, false}}));
    // The same again: a new press is acted on again.
    send(button, QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier, false);
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(KeyRouting, AutoRepeatGivesOneDownAndOneUp)
{
    button->setFocus();
    send(button, QEvent::KeyPress, Qt::Key_Left, Qt::ControlModifier, false);
    for (int i = 0; i < 3; ++i) {
        send(button, QEvent::KeyRelease, Qt::Key_Left, Qt::ControlModifier, true);
        send(button, QEvent::KeyPress, Qt::Key_Left, Qt::ControlModifier, true);
    }
    send(button, QEvent::KeyRelease, Qt::Key_Left, Qt::ControlModifier, false);
    EXPECT_EQ(seen, (std::vector<Routed>{{'d', Qt::Key_Left, true}, {'u', Qt::Key_Left, false}}));
}

TEST_F(KeyRouting, OnlyTheMainRowPlusAndMinusCount)
{
    button->setFocus();
    send(button, QEvent::KeyRelease, Qt::Key_Equal, Qt::NoModifier, false, "=");
    send(button, QEvent::KeyRelease, Qt::Key_Plus, Qt::ShiftModifier, false, "+");
    send(button, QEvent::KeyRelease, Qt::Key_Minus, Qt::NoModifier, false, "-");
    send(button, QEvent::KeyRelease, Qt::Key_Plus, Qt::KeypadModifier, false, "+");
    send(button, QEvent::KeyRelease, Qt::Key_Minus, Qt::KeypadModifier, false, "-");
    EXPECT_EQ(seen, (std::vector<Routed>{{'u', Qt::Key_Plus, false},
                                         {'u', Qt::Key_Plus, false},
                                         {'u', Qt::Key_Minus, false}}));
}

TEST_F(KeyRouting, PlusAndMinusAreNotTakenFromATextFieldOrAWindowThatUsesThem)
{
    edit->setFocus();
    QTest::keyClicks(edit, "2011-05-01");
    EXPECT_EQ(edit->text(), QStringLiteral("2011-05-01"));
    for (const Routed& r : seen)
        EXPECT_NE(r.key, Qt::Key_Minus);
    EXPECT_EQ(seen.size(), 16u); // the eight digits, down and up

    // A read-only field types nothing, so the keys go to the form.
    seen.clear();
    edit->setReadOnly(true);
    QTest::keyClick(edit, Qt::Key_Minus);
    EXPECT_EQ(seen.size(), 2u);
    edit->setReadOnly(false);

    seen.clear();
    button->setFocus();
    window.setProperty(kOwnsDepthKeysProperty, true);
    QTest::keyClick(button, Qt::Key_Minus);
    QTest::keyClick(button, Qt::Key_Left);
    EXPECT_EQ(seen, (std::vector<Routed>{{'d', Qt::Key_Left, false}, {'u', Qt::Key_Left, false}}));
}

TEST_F(KeyRouting, AReleaseAfterTheFocusMovedStillCounts)
{
    button->setFocus();
    send(button, QEvent::KeyPress, Qt::Key_Left, Qt::ControlModifier, false);
    edit->setFocus(); // an arrow key may move the focus on
    send(edit, QEvent::KeyRelease, Qt::Key_Left, Qt::ControlModifier, false);
    EXPECT_EQ(seen, (std::vector<Routed>{{'d', Qt::Key_Left, true}, {'u', Qt::Key_Left, false}}));
}

TEST_F(KeyRouting, NothingIsSwallowed)
{
    auto* combo = new QComboBox(&window);
    combo->addItems({"a", "b", "c"});
    window.layout()->addWidget(combo);
    combo->show();
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(seen.size(), 2u);
}

} // namespace
} // namespace bc

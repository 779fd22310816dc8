#include "app/key_router.h"
#include "support/serial_pty.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace bc {
namespace {

// Sends one key of a row: to the edit (e), the button (b) or the combo box
// (c), a press (p) or a release (r), upper case when marked as auto-repeated,
// then Ctrl (^), the keypad (#) or the time of the event before (~, as the
// two halves of a repeat carry), then the key: "bp^F5" presses Ctrl+F5 on the
// button. Every other event comes a millisecond after the one before.
void sendKey(QWidget* to, const QString& token)
{
    static quint64 clock = 1000;
    Qt::KeyboardModifiers mods;
    bool sameTime = false;
    int i = 2;
    for (; token[i] == '^' || token[i] == '#' || token[i] == '~'; ++i) {
        if (token[i] == '~')
            sameTime = true;
        else
            mods |= token[i] == '^' ? Qt::ControlModifier : Qt::KeypadModifier;
    }
    const QString name = token.mid(i);
    const int key = name == "plus" ? Qt::Key_Plus : QKeySequence::fromString(name)[0].key();
    const QString text = key == Qt::Key_Plus ? "+" : key < 0x7f ? name.toLower() : QString();
    to->setFocus();
    QKeyEvent e(token[1].toLower() == 'p' ? QEvent::KeyPress : QEvent::KeyRelease, key, mods, text,
                token[1].isUpper());
    e.setTimestamp(sameTime ? clock : ++clock);
    QApplication::sendEvent(to, &e);
}

TEST(KeyRouting, EachKeyReachesTheHandlersOnceAndIsStillHandled)
{
    enum Setup { Plain, ReadOnlyEdit, WindowOwnsPlusAndMinus };
    const struct {
        const char* keys;
        QString routed; // what the handlers heard: down/up, '^' with Ctrl, the key
        QString state;  // afterwards: the edit's text, or the combo's choice
        Setup setup = Plain;
    } rows[] = {
        {"epA erA", "dA uA", "a"},
        // The button ignores F5, so the same event travels up to the window.
        {"bp^F5 br^F5 bpF5", "d^F5 uF5 dF5", ""},
        {"bp^Left bR^Left bP^Left br^Left", "d^Left uLeft", ""},
        // Repeats the window system did not mark; a new press is no repeat.
        {"bp^Left br^Left bp~^Left br^Left bp~^Left br^Left", "d^Left uLeft", ""},
        {"bp^Down br^Down bp^Down br^Down", "d^Down uDown d^Down uDown", ""},
        {"bp^Up br^Up bp~^Down br^Down", "d^Up uUp d^Down uDown", ""},
        {"br= brplus br- br#plus br#-", "u+ u+ u-", ""},
        // Minus typed into a date is not taken from the field.
        {"ep1 er1 ep- er- ep2 er2", "d1 u1 d2 u2", "1-2"},
        {"ep- er-", "d- u-", "", ReadOnlyEdit},
        // A window that owns them: the field gets them, the handlers do not.
        {"ep- er- bpLeft brLeft", "dLeft uLeft", "-", WindowOwnsPlusAndMinus},
        {"bp- br-", "", "", WindowOwnsPlusAndMinus},
        // An arrow key may move the focus on before its release.
        {"bp^Left er^Left", "d^Left uLeft", ""},
        {"cpDown crDown", "dDown uDown", "b"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.keys);
        QWidget window;
        auto* edit = new QLineEdit(&window);
        auto* button = new QPushButton(QStringLiteral("x"), &window);
        auto* combo = new QComboBox(&window);
        combo->addItems({"a", "b", "c"});
        QWidget* const targets[] = {edit, button, combo}; // e, b, c
        auto* layout = new QVBoxLayout(&window);
        for (QWidget* w : targets)
            layout->addWidget(w);
        edit->setReadOnly(row.setup == ReadOnlyEdit);
        window.setProperty(kOwnsDepthKeysProperty, row.setup == WindowOwnsPlusAndMinus);
        window.show();
        QApplication::setActiveWindow(&window);
        QStringList heard;
        CKeyRouter router(
            [&](int k, bool ctrl) { heard << (ctrl ? "d^" : "d") + QKeySequence(k).toString(); },
            [&](int k) { heard << "u" + QKeySequence(k).toString(); });
        qApp->installEventFilter(&router);
        const QStringList keys = QString(row.keys).split(' ');
        for (const QString& k : keys)
            sendKey(targets[QStringLiteral("ebc").indexOf(k[0])], k);
        // The last release is heard once no repeat can follow it: however
        // late its wait ends on a busy machine, it comes (and nothing more
        // within a few waits).
        const qsizetype expected = row.routed.split(' ', Qt::SkipEmptyParts).size();
        EXPECT_TRUE(test::waitUntil([&] { return heard.size() >= expected; }))
            << heard.join(' ').toStdString();
        QTest::qWait(CKeyRouter::kRepeatWaitMs * 3);
        qApp->removeEventFilter(&router);
        EXPECT_EQ(heard.join(' '), row.routed);
        EXPECT_EQ(keys[0][0] == 'c' ? combo->currentText() : edit->text(), row.state);
    }
}

} // namespace
} // namespace bc

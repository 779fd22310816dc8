#pragma once
// Driving a modal dialog without hanging, and typing as a keyboard types.

#include "support/modal_watchdog.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace bc::test {

// Runs `act` on the modal dialog of type D as soon as one shows, while
// `open` (which opens it) runs. A dialog that does not show, or that `act`
// leaves open, fails the test and is closed rather than left hanging.
template <typename D, typename Open, typename Act> void withModal(Open open, Act act)
{
    bool seen = false;
    QTimer poll;
    QDeadlineTimer deadline(20000);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!dlg) {
            if (deadline.hasExpired())
                poll.stop();
            return;
        }
        poll.stop();
        seen = true;
        const ModalGuard guard(dlg);
        act(*dlg);
    });
    poll.start(5);
    open();
    poll.stop();
    EXPECT_TRUE(seen) << "no dialog showed";
}

// Types `text` into the focus widget of `window` as a keyboard does: a press
// and a release a character, Shift held for '+', '_' and capitals.
inline void typeKeys(QWidget* window, const QString& text)
{
    for (const QChar c : text) {
        const char ch = c.toLatin1();
        const Qt::KeyboardModifiers shift =
            ch == '+' || ch == '_' || c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier;
        QTest::keyClick(window->windowHandle(), ch, shift);
    }
}

} // namespace bc::test

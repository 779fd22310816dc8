// A message box appears where it stays: its place is settled before it is
// first on the screen, so a quick first click lands on the button it aimed at.

#include "platform/prompter.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include "support/serial_pty.h"

#include <gtest/gtest.h>

#include <optional>

namespace bc {
namespace {

// Notes where a message box's client area is as it is shown (before any
// handling of its showing) and when its window is first exposed (its first
// appearance on the screen).
class BoxWatch : public QObject {
  public:
    BoxWatch() { qApp->installEventFilter(this); }
    ~BoxWatch() override { qApp->removeEventFilter(this); }
    std::optional<QRect> shown, exposed;

    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Show && !shown && qobject_cast<QMessageBox*>(watched)) {
            shown = static_cast<QWidget*>(watched)->geometry();
        } else if (e->type() == QEvent::Expose && !exposed) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (QWidget* box = boxOf(window); box && window->isExposed())
                exposed = box->geometry();
        }
        return false;
    }

  private:
    static QWidget* boxOf(QWindow* window)
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox*>(w) && window && w->windowHandle() == window)
                return w;
        return nullptr;
    }
};

TEST(BoxPlacement, ABoxIsFirstShownWhereItStays)
{
    QWidget owner;
    owner.setGeometry(200, 150, 500, 360);
    auto* field = new QLineEdit(&owner);
    owner.show();
    ASSERT_TRUE(test::waitUntil([&] { return owner.windowHandle()->isExposed(); }));
    owner.activateWindow();
    QtPrompter qt;
    const struct {
        const char* text;
        unsigned style;
        QWidget* parent;
    } rows[] = {
        {"正在录制,确认要停止录制", MB_OKCANCEL | MB_ICONEXCLAMATION, field},
        {"USB设备没找到,请检查USB连接线和电源\n重试", MB_OK | MB_ICONSTOP, nullptr},
        {"该文件已存在，是否覆盖", MB_YESNO | MB_ICONEXCLAMATION, &owner},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        BoxWatch watch;
        QRect settled;
        QString failure;
        // Answers the box once it is on the screen, where the user clicks it;
        // a box that never gets there is closed with a failure.
        QDeadlineTimer deadline(20000);
        QTimer answer;
        answer.setInterval(10);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            // Settled once it is shown and the window system made it the
            // active window, where the user's click goes.
            if (!deadline.hasExpired() && !(watch.exposed && box->isActiveWindow()))
                return;
            if (deadline.hasExpired())
                failure = QStringLiteral("the box was never shown and made active");
            settled = box->geometry();
            box->buttons().first()->click();
        });
        answer.start();
        qt.messageBox(row.parent, QString::fromUtf8(row.text), QString(), row.style);
        answer.stop();
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
        ASSERT_TRUE(watch.shown && watch.exposed);
        EXPECT_EQ(*watch.shown, settled) << "placed after it was shown";
        EXPECT_EQ(*watch.exposed, settled) << "moved after it appeared";
    }
}

} // namespace
} // namespace bc

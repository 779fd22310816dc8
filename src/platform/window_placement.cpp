#include "platform/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace bc {

namespace {

const QWidget* ownerOf(const QWidget* window)
{
    const QWidget* parent = window->parentWidget();
    return parent ? parent->window() : nullptr;
}

// The decorations around a shown window's client area (none while unknown).
QMargins frameMarginsOf(const QWidget* window)
{
    if (!window || !window->isVisible())
        return {};
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                    frame.right() - client.right(), frame.bottom() - client.bottom());
}

// The span [start, start + length) moved into [lo, lo + room), cut to it when
// longer.
void fitSpan(int& start, int& length, int lo, int room)
{
    length = std::min(length, room);
    start = std::clamp(start, lo, lo + room - length);
}

void placeWindow(QWidget* window, bool centre)
{
    if (!window->isWindow() || window->isFullScreen() || window->isMaximized())
        return;
    const QRect available = availableAreaFor(window);
    if (available.isEmpty())
        return;
    const QWidget* owner = ownerOf(window);
    const QMargins margins = knownFrameMargins(window);

    QRect frame = window->geometry().marginsAdded(margins);
    const bool moveToCentre = centre || !window->testAttribute(Qt::WA_Moved);
    if (moveToCentre) {
        const QRect around = owner && owner->isVisible() ? owner->frameGeometry() : available;
        frame.moveCenter(around.center());
    }
    const QRect placed = placedWithin(frame, available);
    // The client rectangle is set, not the frame's corner: it lands where it
    // is put whenever the decorations arrive, and the window system is not
    // left to move it once the frame is known.
    const QRect client = placed.marginsRemoved(margins);
    const bool move = centre ? client != window->geometry() || !window->testAttribute(Qt::WA_Moved)
                             : placed != frame || moveToCentre;
    if (move)
        window->setGeometry(client);
}

// Places its window when the program shows it: once the widget has handled
// its own showing (a dialog centres itself, a message box takes its size),
// on the native window's show, just before it goes on the screen.
class ShowWatcher : public QObject {
public:
    ShowWatcher(QWidget* window, bool centre) : QObject(window), window_(window), centre_(centre)
    {
    }

    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() != QEvent::Show)
            return false;
        if (watched == window_) {
            // Spontaneous shows are the window system's (a window restored
            // from the task bar): it stays where the user left it.
            QWindow* handle = window_->windowHandle();
            if (!e->spontaneous() && handle && handle != handle_) {
                if (handle_)
                    handle_->removeEventFilter(this);
                handle_ = handle;
                handle_->installEventFilter(this);
            }
            armed_ = !e->spontaneous();
        } else if (watched == handle_ && armed_) {
            armed_ = false;
            placeWindow(window_, centre_);
        }
        return false;
    }

private:
    QWidget* window_;
    bool centre_;
    QPointer<QWindow> handle_;
    bool armed_ = false;
};

} // namespace

QRect placedWithin(const QRect& frame, const QRect& available)
{
    if (available.isEmpty())
        return frame;
    int x = frame.x();
    int y = frame.y();
    int w = frame.width();
    int h = frame.height();
    fitSpan(x, w, available.x(), available.width());
    fitSpan(y, h, available.y(), available.height());
    return QRect(x, y, w, h);
}

QRect availableAreaFor(const QWidget* window)
{
    if (!window)
        return {};
    const QWidget* owner = ownerOf(window);
    QScreen* screen = owner ? owner->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QMargins knownFrameMargins(const QWidget* window)
{
    // Decorations are alike on one screen: an owner not shown yet (a video
    // window opening its live frame before it shows itself) lends its own
    // owner's.
    for (const QWidget* w = window; w; w = ownerOf(w)) {
        const QMargins margins = frameMarginsOf(w);
        if (!margins.isNull())
            return margins;
    }
    return {};
}

void keepOnScreen(QWidget* window)
{
    if (window && window->isVisible())
        placeWindow(window, false);
}

void keepOnScreenWhenShown(QWidget* window)
{
    if (window)
        window->installEventFilter(new ShowWatcher(window, false));
}

void centreOnOwner(QWidget* window)
{
    if (!window)
        return;
    // At the size it will be shown at: what showing it would give it.
    if (!window->isVisible() && !window->testAttribute(Qt::WA_Resized))
        window->adjustSize();
    placeWindow(window, true);
    window->installEventFilter(new ShowWatcher(window, true));
}

} // namespace bc

#pragma once
// Key routing: every key press and release of the program reaches the
// acquisition form's key handlers before the focused control handles it, and
// is then handled as usual. Each press acts once (for
// the focused widget, not again for each parent it propagates to), auto-repeat
// is ignored, and only the main-row plus and minus keys count as plus and
// minus.
//
// A held key repeats as release and press pairs, both carrying the same
// time. The window system does not always mark them as repeats (under X the
// press may not have arrived yet when its release is read), so a release
// reaches the handlers only once no press of the same key with the same time
// followed it within a short wait: a held motor key sends one start and one
// stop, never a stop and a start at every repeat.
//
// Plus and minus are not acted on while a text field has the focus (they are
// being typed) or while a window that owns them is active (the analysis and
// 3D windows). No key is ever swallowed: the focused widget gets every one.

#include "ui/key_ownership.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QKeyEvent;
class QTimer;

namespace bc {

class CKeyRouter : public QObject {
    Q_OBJECT
public:
    using KeyDown = std::function<void(int qtKey, bool ctrlHeld)>;
    using KeyUp = std::function<void(int qtKey)>;

    CKeyRouter(KeyDown down, KeyUp up, QObject* parent = nullptr);
    // A release still waiting is handed on.
    ~CKeyRouter() override;

    // How long a release waits for the press that would make it a repeat.
    static constexpr int kRepeatWaitMs = 30;

    // The key a handler sees for `e`: Qt::Key_Plus / Qt::Key_Minus for the
    // main-row keys (with or without Shift), 0 for keypad plus and minus,
    // otherwise the event's key.
    static int routedKey(const QKeyEvent& e);
    // Whether plus and minus are withheld from the form while `focus` has the
    // focus inside `active`.
    static bool depthKeysBlocked(const QWidget* focus, const QWidget* active);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Delivery {
        const void* event = nullptr;
        int type = 0;
        int key = 0;
        quint64 timestamp = 0;
        QPointer<QWidget> widget;
    };

    struct PendingRelease {
        int key = 0;
        quint64 timestamp = 0;
    };
    // Hands on the release that waits, if any.
    void releasePending();

    KeyDown down_;
    KeyUp up_;
    Delivery last_;
    std::optional<PendingRelease> pending_;
    QTimer* pendingTimer_ = nullptr;
};

} // namespace bc

#include "app/key_router.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

#include <utility>

namespace bc {

CKeyRouter::CKeyRouter(KeyDown down, KeyUp up, QObject* parent)
    : QObject(parent), down_(std::move(down)), up_(std::move(up)), pendingTimer_(new QTimer(this))
{
    pendingTimer_->setSingleShot(true);
    pendingTimer_->setInterval(kRepeatWaitMs);
    connect(pendingTimer_, &QTimer::timeout, this, &CKeyRouter::releasePending);
}

CKeyRouter::~CKeyRouter()
{
    releasePending();
}

void CKeyRouter::releasePending()
{
    pendingTimer_->stop();
    if (const std::optional<PendingRelease> p = std::exchange(pending_, std::nullopt); p && up_)
        up_(p->key);
}

int CKeyRouter::routedKey(const QKeyEvent& e)
{
    const bool keypad = e.modifiers() & Qt::KeypadModifier;
    switch (e.key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return keypad ? 0 : Qt::Key_Plus;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return keypad ? 0 : Qt::Key_Minus;
    default:
        return e.key();
    }
}

bool CKeyRouter::depthKeysBlocked(const QWidget* focus, const QWidget* active)
{
    if (active && active->property(kOwnsDepthKeysProperty).toBool())
        return true;
    if (!focus)
        return false;
    if (qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QAbstractSpinBox*>(focus) ||
        qobject_cast<const QTextEdit*>(focus) || qobject_cast<const QPlainTextEdit*>(focus))
        return !focus->property("readOnly").toBool();
    if (const auto* combo = qobject_cast<const QComboBox*>(focus))
        return combo->isEditable();
    return false;
}

bool CKeyRouter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // An ignored key event travels on to the parents of its receiver, as the
    // same event: act on its first delivery only.
    const bool propagating = key == last_.event && type == last_.type &&
                             key->key() == last_.key && key->timestamp() == last_.timestamp &&
                             last_.widget && widget == last_.widget->parentWidget();
    last_ = {key, type, key->key(), key->timestamp(), widget};
    if (propagating)
        return false;
    const int routed = routedKey(*key);
    // The press of a repeat pair whose release is waiting: neither acts,
    // whether or not the window system marked them.
    if (type == QEvent::KeyPress && pending_ && pending_->key == routed &&
        (key->isAutoRepeat() || pending_->timestamp == key->timestamp())) {
        pending_.reset();
        pendingTimer_->stop();
        return false;
    }
    if (key->isAutoRepeat())
        return false;
    if (routed == 0)
        return false;
    // Plus and minus typed into a text field, or pressed in a window that
    // owns them, are the widget's alone: the form does not step the depth.
    if ((routed == Qt::Key_Plus || routed == Qt::Key_Minus) &&
        depthKeysBlocked(widget, QApplication::activeWindow()))
        return false;
    // Handlers hear keys in the order they came: a waiting release first.
    releasePending();
    if (type == QEvent::KeyPress) {
        if (down_)
            down_(routed, key->modifiers() & Qt::ControlModifier);
    } else {
        pending_ = PendingRelease{routed, key->timestamp()};
        pendingTimer_->start();
    }
    return false; // never swallowed
}

} // namespace bc

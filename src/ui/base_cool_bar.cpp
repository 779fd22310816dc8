#include "ui/base_cool_bar.h"

#include "ui/gdi_types.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTimerEvent>

namespace bc {

namespace {

constexpr int kHoverPeriodMs = 10;
constexpr int kButtonSide = 12;
constexpr int kButtonStep = 14;
constexpr QSize kCaptionIconSize(13, 13);

} // namespace

// ---------------------------------------------------------------------------
// CCJButton

CCJButton::CCJButton(QWidget* parent) : QAbstractButton(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
}

void CCJButton::SetIcon(const QIcon& icon, const QSize& size)
{
    icon_ = icon;
    iconSize_ = size;
    SetIconRect();
    update();
}

void CCJButton::SetIconRect()
{
    QRect r(QPoint(0, 0), iconSize_);
    r.moveCenter(rect().center());
    iconRect_ = r;
}

void CCJButton::DisableFlatLook()
{
    flatLook_ = false;
    update();
}

QSize CCJButton::sizeHint() const
{
    return QSize(kButtonSide, kButtonSide);
}

bool CCJButton::CursorInside() const
{
    return rect().contains(mapFromGlobal(QCursor::pos()));
}

void CCJButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!hoverTimer_.isActive())
        hoverTimer_.start(kHoverPeriodMs, this);
    QAbstractButton::mouseMoveEvent(event);
}

void CCJButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        buttonDown_ = true;
    QAbstractButton::mousePressEvent(event);
}

void CCJButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        buttonDown_ = false;
    QAbstractButton::mouseReleaseEvent(event);
}

void CCJButton::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != hoverTimer_.timerId()) {
        QAbstractButton::timerEvent(event);
        return;
    }
    if (CursorInside()) {
        if (!mouseOver_) {
            mouseOver_ = true;
            update();
        }
    } else {
        hoverTimer_.stop();
        mouseOver_ = false;
        update();
    }
}

void CCJButton::resizeEvent(QResizeEvent* event)
{
    QAbstractButton::resizeEvent(event);
    SetIconRect();
}

void CCJButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    const QRect r = rect();
    p.fillRect(r, pal.color(QPalette::Button));

    // Pressed under the cursor: sunken; otherwise raised.
    const bool sunken = isDown();
    const QColor light = pal.color(QPalette::Light);
    const QColor shadow = pal.color(QPalette::Dark);
    if (flatLook_) {
        if (sunken)
            draw3dRect(p, r, shadow, light);
        else if (mouseOver_ || buttonDown_)
            draw3dRect(p, r, light, shadow);
    } else {
        const QColor dark = pal.color(QPalette::Shadow);
        const QColor midlight = pal.color(QPalette::Midlight);
        if (sunken) {
            draw3dRect(p, r, dark, light);
            draw3dRect(p, r.adjusted(1, 1, -1, -1), shadow, midlight);
        } else {
            draw3dRect(p, r, light, dark);
            draw3dRect(p, r.adjusted(1, 1, -1, -1), midlight, shadow);
        }
    }

    if (!icon_.isNull()) {
        QRect target = iconRect_;
        if (sunken)
            target.translate(1, 1);
        icon_.paint(&p, target, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    }
}

// ---------------------------------------------------------------------------
// The title strip of a docked bar: gripper and caption buttons.

class CBaseCoolBar::TitleBar : public QWidget {
public:
    explicit TitleBar(CBaseCoolBar* bar) : QWidget(bar), bar_(bar) {}

    QSize sizeHint() const override { return QSize(kCaptionThickness, kCaptionThickness); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QPalette& pal = palette();
        p.fillRect(rect(), pal.color(QPalette::Button));
        if (!bar_->showGripper_ || bar_->IsFloating())
            return;
        // Two etched strips, the second 4 pixels further across.
        const QColor light = pal.color(QPalette::Light);
        const QColor shadow = pal.color(QPalette::Dark);
        const QRect grip = bar_->GetGripperRect();
        const QPoint across = bar_->IsHorzDocked() ? QPoint(4, 0) : QPoint(0, 4);
        draw3dRect(p, grip, light, shadow);
        draw3dRect(p, grip.translated(across), light, shadow);
    }

    void resizeEvent(QResizeEvent*) override { bar_->placeButtons(); }

    // Mouse presses and double clicks are left to the dock widget: a press
    // drags the bar away, a double click floats or docks it.

private:
    CBaseCoolBar* bar_;
};

// ---------------------------------------------------------------------------
// CBaseCoolBar

CBaseCoolBar::CBaseCoolBar(const QString& title, QWidget* parent) : QDockWidget(title, parent)
{
    setMinimumSize(kMinimumSize);
    titleBar_ = new TitleBar(this);

    closeButton_ = new CCJButton(titleBar_);
    closeButton_->setToolTip(QStringLiteral("Hide Docked Window"));
    closeButton_->setObjectName(QStringLiteral("closeButton"));
    dockButton_ = new CCJButton(titleBar_);
    dockButton_->setToolTip(QStringLiteral("Minimize Docked Window"));
    dockButton_->setObjectName(QStringLiteral("dockButton"));
    connect(closeButton_, &QAbstractButton::clicked, this, &CBaseCoolBar::OnButtonClose);
    connect(dockButton_, &QAbstractButton::clicked, this, &CBaseCoolBar::OnButtonMinimize);

    connect(this, &QDockWidget::dockLocationChanged, this, [this](Qt::DockWidgetArea area) {
        applyDockedSize(area);
        updateFrame();
    });
    connect(this, &QDockWidget::topLevelChanged, this, [this](bool floating) {
        if (floating)
            resize(sizeFloat_);
        updateFrame();
    });
    updateFrame();
}

CBaseCoolBar::CBaseCoolBar(const QString& title, const QSize& size, QWidget* parent)
    : CBaseCoolBar(title, parent)
{
    sizeHorz_ = sizeVert_ = sizeFloat_ = size;
}

CBaseCoolBar::~CBaseCoolBar() = default;

QList<QIcon> CBaseCoolBar::SetBtnImageList(const QList<QIcon>& images)
{
    QList<QIcon> previous = images_;
    images_ = images;
    placeButtons();
    return previous;
}

void CBaseCoolBar::ShowFrameStuff(bool showGripper, bool showButtons)
{
    showGripper_ = showGripper;
    showButtons_ = showButtons;
    placeButtons();
    titleBar_->update();
}

Qt::DockWidgetArea CBaseCoolBar::currentArea() const
{
    if (QDockWidget::isFloating())
        return Qt::NoDockWidgetArea;
    auto* window = qobject_cast<QMainWindow*>(parentWidget());
    return window ? window->dockWidgetArea(const_cast<CBaseCoolBar*>(this)) : Qt::NoDockWidgetArea;
}

bool CBaseCoolBar::IsFloating() const
{
    return DockBarId() == 0;
}

bool CBaseCoolBar::IsHorzDocked() const
{
    const int id = DockBarId();
    return id == AFX_IDW_DOCKBAR_TOP || id == AFX_IDW_DOCKBAR_BOTTOM;
}

bool CBaseCoolBar::IsVertDocked() const
{
    const int id = DockBarId();
    return id == AFX_IDW_DOCKBAR_LEFT || id == AFX_IDW_DOCKBAR_RIGHT;
}

int CBaseCoolBar::DockBarId() const
{
    switch (currentArea()) {
    case Qt::TopDockWidgetArea:
        return AFX_IDW_DOCKBAR_TOP;
    case Qt::LeftDockWidgetArea:
        return AFX_IDW_DOCKBAR_LEFT;
    case Qt::RightDockWidgetArea:
        return AFX_IDW_DOCKBAR_RIGHT;
    case Qt::BottomDockWidgetArea:
        return AFX_IDW_DOCKBAR_BOTTOM;
    default:
        return 0;
    }
}

QRect CBaseCoolBar::GetGripperRect() const
{
    // Edges below are exclusive on the right and bottom, as the strip's
    // layout was worked out.
    const int width = titleBar_->width(), height = titleBar_->height();
    if (IsHorzDocked()) {
        // A vertical strip at the left, below the buttons.
        const int left = 3, top = 3, bottom = height - 3;
        const int from = top + (showButtons_ ? 30 : 1);
        return QRect(left + 1, from, 3, (bottom - 1) - from);
    }
    // A horizontal strip at the top, left of the buttons.
    const int left = 4, top = 4, right = width - 4;
    const int to = right - (showButtons_ ? 30 : 2);
    return QRect(left, top + 2, to - left, 3);
}

QRect CBaseCoolBar::GetButtonRect(int which) const
{
    const int width = titleBar_->width();
    QPoint at = IsHorzDocked() ? QPoint(2, 3) : QPoint(width - 31, 3);
    if (which == 1)
        at += IsHorzDocked() ? QPoint(0, kButtonStep) : QPoint(kButtonStep, 0);
    return QRect(at, QSize(kButtonSide, kButtonSide));
}

QIcon CBaseCoolBar::buttonImage(int index) const
{
    if (index < images_.size())
        return images_.at(index);
    return style()->standardIcon(index == 0 ? QStyle::SP_TitleBarCloseButton
                                            : QStyle::SP_TitleBarNormalButton,
                                 nullptr, this);
}

void CBaseCoolBar::placeButtons()
{
    const bool docked = !IsFloating();
    const bool show = docked && showButtons_;
    closeButton_->setVisible(show);
    dockButton_->setVisible(show);
    if (!show)
        return;
    closeButton_->setGeometry(GetButtonRect(0));
    dockButton_->setGeometry(GetButtonRect(1));
    closeButton_->SetIcon(buttonImage(0), kCaptionIconSize);
    dockButton_->SetIcon(buttonImage(IsHorzDocked() ? 1 : 2), kCaptionIconSize);
}

void CBaseCoolBar::applyDockedSize(Qt::DockWidgetArea area)
{
    // A bar docked at a side takes the size it last had there.
    auto* window = qobject_cast<QMainWindow*>(parentWidget());
    if (!window)
        return;
    if (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea)
        window->resizeDocks({this}, {sizeVert_.width()}, Qt::Horizontal);
    else if (area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea)
        window->resizeDocks({this}, {sizeHorz_.height()}, Qt::Vertical);
}

void CBaseCoolBar::updateFrame()
{
    if (IsFloating()) {
        // The window system's title bar with its own close and dock buttons.
        if (titleBarWidget() == titleBar_) {
            setTitleBarWidget(nullptr);
            titleBar_->hide();
        }
        setFeatures(features() & ~DockWidgetVerticalTitleBar);
    } else {
        if (titleBarWidget() != titleBar_)
            setTitleBarWidget(titleBar_);
        titleBar_->show();
        if (IsHorzDocked())
            setFeatures(features() | DockWidgetVerticalTitleBar);
        else
            setFeatures(features() & ~DockWidgetVerticalTitleBar);
    }
    placeButtons();
    titleBar_->update();
}

QSize CBaseCoolBar::sizeHint() const
{
    if (IsHorzDocked())
        return sizeHorz_;
    if (IsVertDocked())
        return sizeVert_;
    return sizeFloat_;
}

void CBaseCoolBar::OnButtonClose()
{
    hide();
}

void CBaseCoolBar::OnButtonMinimize()
{
    setFloating(!QDockWidget::isFloating());
}

void CBaseCoolBar::contextMenuEvent(QContextMenuEvent* event)
{
    if (!menu_) {
        QDockWidget::contextMenuEvent(event);
        return;
    }
    // From the keyboard the menu opens at the client area's corner + (5, 5).
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard
                          ? mapToGlobal(contentsRect().topLeft() + QPoint(5, 5))
                          : event->globalPos();
    menu_->exec(at);
}

void CBaseCoolBar::resizeEvent(QResizeEvent* event)
{
    QDockWidget::resizeEvent(event);
    // The sizes the user gives the bar are kept for its side.
    if (isVisible()) {
        if (IsHorzDocked())
            sizeHorz_.setHeight(height());
        else if (IsVertDocked())
            sizeVert_.setWidth(width());
        else if (QDockWidget::isFloating())
            sizeFloat_ = size();
    }
}

} // namespace bc

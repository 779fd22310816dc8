#pragma once
// A sizeable docking bar with a gripper and two small flat caption buttons
// (hide, and dock/undock), and the flat icon button used for those buttons.
//
// The bar is a QDockWidget. Docked, its title widget holds the gripper and the
// two buttons: a 17-pixel strip along the top when docked left or right, down
// the left side when docked at the top or bottom. Floating, the bar uses the
// window system's own title bar, whose buttons hide it and dock it again. The
// edge facing the main window's centre is resized through the main window's
// separator.

#include <QBasicTimer>
#include <QAbstractButton>
#include <QDockWidget>
#include <QIcon>
#include <QList>

class QMenu;

namespace bc {

class CCJButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CCJButton(QWidget* parent = nullptr);

    void SetIcon(const QIcon& icon, const QSize& size);
    // Takes the icon rectangle from the client rectangle: the icon centred.
    void SetIconRect();
    QRect IconRect() const { return iconRect_; }
    // Draws a 3-D frame of two rings at all times instead of the flat look.
    void DisableFlatLook();
    bool IsFlatLook() const { return flatLook_; }
    bool IsMouseOver() const { return mouseOver_; }
    bool IsButtonDown() const { return buttonDown_; }
    bool IsHoverTimerActive() const { return hoverTimer_.isActive(); }

    QSize sizeHint() const override;

protected:
    // Whether the mouse cursor is over the button now.
    virtual bool CursorInside() const;

    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon icon_;
    QSize iconSize_;
    QRect iconRect_;
    bool flatLook_ = true;
    bool buttonDown_ = false;
    bool mouseOver_ = false;
    QBasicTimer hoverTimer_;
};

class CBaseCoolBar : public QDockWidget {
    Q_OBJECT
public:
    // Dock bar ids of the four sides.
    static constexpr int AFX_IDW_DOCKBAR_TOP = 59419;
    static constexpr int AFX_IDW_DOCKBAR_LEFT = 59420;
    static constexpr int AFX_IDW_DOCKBAR_RIGHT = 59421;
    static constexpr int AFX_IDW_DOCKBAR_BOTTOM = 59422;
    // Caption button ids.
    static constexpr int ID_BUTTON_CLOSE = 1000;
    static constexpr int ID_BUTTON_MINIMIZE = 1001;
    // Thickness of the title strip that holds the gripper and the buttons.
    static constexpr int kCaptionThickness = 17;

    explicit CBaseCoolBar(const QString& title, QWidget* parent = nullptr);
    // The same with all three sizes (docked at the top or bottom, docked left
    // or right, floating) set to `size`.
    CBaseCoolBar(const QString& title, const QSize& size, QWidget* parent = nullptr);
    ~CBaseCoolBar() override;

    // The caption buttons' icons: 0 close, 1 dock (when docked at the top or
    // bottom), 2 dock (when docked left or right). Returns the previous list.
    // Without a list the style's title-bar icons stand in.
    QList<QIcon> SetBtnImageList(const QList<QIcon>& images);
    // The context menu of the bar (not owned; null for none).
    void SetMenu(QMenu* menu) { menu_ = menu; }
    QMenu* GetMenu() const { return menu_; }
    void ShowFrameStuff(bool showGripper, bool showButtons);

    bool IsFloating() const;
    bool IsHorzDocked() const;
    bool IsVertDocked() const;
    // The dock bar id of the side the bar is docked at; 0 when floating.
    int DockBarId() const;

    // In the title strip's coordinates.
    QRect GetGripperRect() const;
    QRect GetButtonRect(int which) const; // 0 close, 1 dock

    CCJButton* CloseButton() const { return closeButton_; }
    CCJButton* DockButton() const { return dockButton_; }

    static constexpr QSize kMinimumSize{32, 32};
    QSize HorzDockedSize() const { return sizeHorz_; }
    QSize VertDockedSize() const { return sizeVert_; }
    QSize FloatingSize() const { return sizeFloat_; }

    QSize sizeHint() const override;

public slots:
    // Hides the bar.
    void OnButtonClose();
    // Floats a docked bar and docks a floating one.
    void OnButtonMinimize();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class TitleBar;

    Qt::DockWidgetArea currentArea() const;
    void updateFrame();
    void applyDockedSize(Qt::DockWidgetArea area);
    void placeButtons();
    QIcon buttonImage(int index) const;

    TitleBar* titleBar_ = nullptr;
    CCJButton* closeButton_ = nullptr;
    CCJButton* dockButton_ = nullptr;
    QMenu* menu_ = nullptr;
    QList<QIcon> images_;
    bool showGripper_ = true;
    bool showButtons_ = true;
    QSize sizeHorz_{200, 300};
    QSize sizeVert_{350, 200};
    QSize sizeFloat_{350, 300};
};

} // namespace bc

#pragma once
// A push button drawn as a picture with its caption centred over it. It shows
// the parent's background around the picture, a raised frame while the mouse
// is over it and a sunken one while it is pressed. Buttons that act as
// switches keep the frame their owner sets.

#include <QPixmap>
#include <QWidget>

namespace bc {

class CBmpButton : public QWidget {
    Q_OBJECT
public:
    enum FrameState { FrameNone = 0, FrameSunken = 1, FrameRaised = 2 };

    explicit CBmpButton(int id = 0, QWidget* parent = nullptr);

    int id() const { return id_; }

    // Loads the pictures by resource id. The normal one is required; the hot
    // and disabled ones are loaded when their id is not 0. Any failure returns
    // false and leaves the button without pictures.
    bool LoadBitmaps(int normalId, int hotId = 0, int disabledId = 0);
    bool hasBitmaps() const { return !normal_.isNull(); }

    // Sets both the current and the default frame state.
    void SetFrameState(int state);
    int frameState() const { return frameState_; }
    int defaultFrameState() const { return defaultFrameState_; }
    bool isHovered() const { return hovered_; }

    void setText(const QString& text);
    QString text() const { return text_; }

    QSize sizeHint() const override;

signals:
    // The button was clicked (the command of its id).
    void clicked(int id);

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;
    void changeEvent(QEvent*) override;

private:
    void clearBitmaps();

    int id_;
    QString text_;
    QPixmap normal_, hot_, disabled_;
    bool hovered_ = false;
    bool buttonDown_ = false;
    int frameState_ = FrameNone;
    int defaultFrameState_ = FrameNone;
};

} // namespace bc

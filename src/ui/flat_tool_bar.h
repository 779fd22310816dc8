#pragma once
// The analysis frame's tool bar: a tool bar that paints its own background
// and a gripper of two etched lines, and can be given "hot" images shown while
// the mouse is over a button.

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QToolBar>

namespace bc {

class CFlatToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit CFlatToolBar(QWidget* parent = nullptr);
    explicit CFlatToolBar(const QString& title, QWidget* parent = nullptr);

    // Cuts `bitmap` into images `imageWidth` pixels wide, makes RGB(192, 192,
    // 192) transparent, and shows image i on the i-th button (separators and
    // embedded controls do not count) while the mouse is over it. Buttons
    // added later get theirs too. False when no image can be cut.
    bool SetHotImageList(const QImage& bitmap, int imageWidth);
    int HotImageCount() const { return int(hotImages_.size()); }

    // The gripper's two lines in the bar's coordinates (empty when the bar
    // cannot be moved and so has no gripper): two 2-pixel lines 3 pixels
    // apart, across the bar inside its 2-pixel border.
    QList<QRect> GripperLines() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void actionEvent(QActionEvent* event) override;

private:
    void applyHotImages();

    QList<QPixmap> hotImages_;
    bool applying_ = false;
};

} // namespace bc

#pragma once
// The rubber band of a pick in progress: a dashed red segment from the last
// picked point to the mouse, painted by a transparent child laid over the
// strip view's viewport, so that the page underneath is never drawn over.

#include <QWidget>

namespace bc {

class CPickRubberBand : public QWidget {
    Q_OBJECT
  public:
    // Covers `viewport` and lets every mouse event through to it.
    explicit CPickRubberBand(QWidget* viewport);

    // The segment in viewport coordinates.
    void setSegment(const QPoint& from, const QPoint& to);
    void clearSegment();
    bool hasSegment() const { return shown_; }
    QPoint from() const { return from_; }
    QPoint to() const { return to_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect segmentRect() const;

    QPoint from_;
    QPoint to_;
    bool shown_ = false;
};

} // namespace bc

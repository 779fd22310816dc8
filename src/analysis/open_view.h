#pragma once
// The raw-frame view: the upper pane of the live unwrap-and-stitch window.
// For every frame the grabber hands over it unwraps the ring into a strip with
// the parameters of its bar and the current heading, and paints the strip;
// when the depth trigger is raised it stamps a copy of the strip with the
// current depth and heading and hands it to the registered strip receiver.
// It is the grabber's raw-frame view from construction to destruction.

#include "core/error_report.h"
#include "core/unwrap_image.h"

#include <QAbstractScrollArea>
#include <QPoint>

#include <array>
#include <cstdint>
#include <vector>

namespace bc {

class CSurveyParams;
class CUnwrapParamBar;
struct DepthHeading;

class COpenView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    static constexpr int kBarHeight = 40;
    static constexpr int kStripLeft = 60;
    static constexpr int kStripTop = 40;

    // Builds the bar (which checks the settings' centre) and takes the centre,
    // the radii and the width from it.
    explicit COpenView(CSurveyParams& settings, QWidget* parent = nullptr);
    // Writes the centre back into the settings.
    ~COpenView() override;

    CUnwrapParamBar* bar() const { return bar_; }

    // A new unwrap centre in frame pixels, checked against the published
    // frame size; the largest outer radius follows it.
    void SetUnwrapCenter(int x, int y);
    // The bar's values (the factor is not used here).
    void SetFrame(int inner, int outer, int width, float factor);
    void ZoomIn();
    void ZoomOut();

    // The frame-ready event: unwraps the frame in the shared copy, paints it,
    // serves the depth trigger, and asks the grabber for the next frame.
    void ProcessFrame();
    // The capture event: the current strip, upright, is the pending capture.
    void SaveCurrentCapture();

    // Draws the strip at (60, 40) less `scroll`, scaled by the zoom.
    void drawStrip(QPainter& painter, QPoint scroll) const;

    const CUnWrapImage& strip() const { return strip_; }
    QPoint centre() const { return centre_; }
    int unwrapWidth() const { return width_; }
    float zoom() const { return zoom_; }

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    bool copyFrame();
    bool unwrap(int heading, ErrorReport* error);
    void handOff(const DepthHeading& stamp);
    void showRadiusError(const ErrorReport& error);
    std::array<int, 6> parameterKey() const;
    void updateScrollRanges();

    CSurveyParams& settings_;
    CUnwrapParamBar* bar_;
    QPoint centre_;
    int inner_ = 0;
    int outer_ = 0;
    int width_ = 0;
    float zoom_ = 1.0f;
    CUnWrapImage strip_;
    // The last frame, upright: rows top-down of frameWidth_ x 3 bytes.
    std::vector<uint8_t> frame_;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    bool processing_ = false;
    // The parameters the radius error was last shown for.
    std::array<int, 6> errorShownFor_{};
    bool errorShown_ = false;
};

} // namespace bc

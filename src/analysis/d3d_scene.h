#pragma once
// The cylinder window's scene without any drawing: the textured cylinder's
// vertices, the camera, the placement of the depth labels and the compass
// letters, and the view state that the tool bar, the mouse and the
// auto-rotation timer change. Coordinates are left-handed (x right, y up, z
// away from the viewer); the matrices map column vectors (M * v) and the
// projection yields OpenGL clip coordinates.

#include <QMatrix4x4>
#include <QPoint>
#include <QString>
#include <QVector3D>

#include <cstdint>
#include <vector>

namespace bc {

struct CylinderVertex {
    QVector3D position;
    QVector3D normal;
    uint32_t color = 0xFFFFFFFF; // white, ARGB
    float u = 0.0f;
    float v = 0.0f;
};

// A piece of text placed in the scene: `world` maps text units (one unit is
// the font's em, x along the baseline, y up) into the scene.
struct ScenePlacement {
    QString text;
    QMatrix4x4 world;
};

class CD3DScene {
public:
    enum Mode { ModeNone = 0, ModeZoomIn = 1, ModeZoomOut = 2, ModeForward = 3, ModeBackward = 4 };
    enum Cursor { CursorArrow = 0, CursorZoomIn = 1, CursorZoomOut = 2 };

    static constexpr int kSegments = 50;
    static constexpr int kStepDegrees = 45;     // a step from the step buttons
    static constexpr int kAutoStepDegrees = 30; // a step of the auto-rotation

    // The cylinder's radius and height in page pixels, the number of depth
    // marks (strips on the page) and the label depths in metres, one for every
    // fifth mark.
    void setCylinder(float radius, float height, int markCount, std::vector<float> labels);

    float radius() const { return radius_; }
    float height() const { return height_; }
    int markCount() const { return markCount_; }
    const std::vector<float>& labels() const { return labels_; }

    // Two vertices a segment, bottom then top, as a triangle strip.
    std::vector<CylinderVertex> cylinderVertices() const;

    // The scene's vertical scale: the cylinder is shrunk to 200 units high
    // when it is higher.
    float heightScale() const;
    QVector3D eye() const;
    QVector3D lookAt() const;
    QVector3D up() const { return QVector3D(0, 1, 0); }
    QMatrix4x4 viewMatrix() const;
    static QMatrix4x4 projectionMatrix();

    QMatrix4x4 cylinderWorld() const;
    // The depth labels at every tenth mark, top down.
    std::vector<ScenePlacement> labelPlacements() const;
    // The compass letters "S", "E", "N", "W".
    std::vector<ScenePlacement> letterPlacements() const;

    // Where `p` under `world` lands in normalised device coordinates.
    QVector3D toDevice(const QMatrix4x4& world, const QVector3D& p) const;

    // The tool bar's view commands 0 to 4; other values do nothing. True when
    // something was done (the view repaints).
    bool doViewCommand(int command);
    void setStep(int degrees) { step_ = degrees; }

    // Left mouse button. Each returns whether the view must repaint.
    bool mousePress(const QPoint& at);
    bool mouseMove(const QPoint& at);
    bool mouseRelease();

    // One tick of the auto-rotation with the frame's two flags: turns by an
    // auto step, forward when that flag is on, only in a rotating mode.
    bool autoTick(bool forward, bool backward);
    // Which of the two auto buttons shows its check mark.
    static bool forwardChecked(bool forward, bool backward) { return forward && !backward; }
    static bool backwardChecked(bool forward, bool backward) { return backward && !forward; }

    int mode() const { return mode_; }
    int cursor() const { return cursor_; }
    float scale() const { return scale_; }
    float yaw() const { return yaw_; }
    float pan() const { return pan_; }
    int step() const { return step_; }
    bool dragging() const { return dragging_; }

private:
    void repeatModeAction();

    float radius_ = 1.0f;
    float height_ = 2.0f;
    int markCount_ = 0;
    std::vector<float> labels_;

    int mode_ = ModeNone;
    int cursor_ = CursorArrow;
    float scale_ = 1.0f;
    float yaw_ = 0.0f; // degrees
    float pan_ = 0.0f;
    int step_ = kStepDegrees;
    bool dragging_ = false;
    QPoint last_;
    QPoint start_;
};

} // namespace bc

#include "analysis/d3d_scene.h"

#include <QtMath>

#include <cmath>

namespace bc {

namespace {

constexpr float kFieldOfView = float(M_PI) / 4.0f;
constexpr float kAspect = 4.0f / 3.0f;
constexpr float kNear = 0.1f;
constexpr float kFar = 10000.0f;
constexpr float kTallest = 200.0f;
constexpr float kLabelScale = 5.0f;
constexpr float kLetterTilt = -2.0420351f; // radians, about -117 degrees

} // namespace

void CD3DScene::setCylinder(float radius, float height, int markCount, std::vector<float> labels)
{
    radius_ = radius;
    height_ = height;
    markCount_ = markCount > 0 ? markCount : 0;
    labels_ = std::move(labels);
}

std::vector<CylinderVertex> CD3DScene::cylinderVertices() const
{
    const int n = kSegments;
    std::vector<CylinderVertex> out(size_t(2 * n));
    for (int i = 0; i < n; ++i) {
        const float theta = float(i) * 2.0f * float(M_PI) / float(n - 1) - float(M_PI) / 2.0f;
        const float s = std::sin(theta), c = std::cos(theta);
        const float u = float(n - i) / float(n - 1);
        CylinderVertex& lower = out[size_t(2 * i)];
        CylinderVertex& upper = out[size_t(2 * i + 1)];
        lower.position = QVector3D(radius_ * s, 0.0f, radius_ * c);
        upper.position = QVector3D(radius_ * s, height_, radius_ * c);
        lower.normal = upper.normal = QVector3D(s, 0.0f, c);
        lower.u = upper.u = u;
        lower.v = 1.0f;
        upper.v = 0.0f;
    }
    return out;
}

float CD3DScene::heightScale() const
{
    return height_ > kTallest ? kTallest / height_ : 1.0f;
}

QVector3D CD3DScene::eye() const
{
    const QVector3D at = lookAt();
    return QVector3D(0.0f, at.y(), -(3.0f * radius_ + 150.0f) / scale_);
}

QVector3D CD3DScene::lookAt() const
{
    return QVector3D(0.0f, heightScale() * height_ / 2.0f - pan_, 0.0f);
}

QMatrix4x4 CD3DScene::viewMatrix() const
{
    // Left-handed: the viewer looks along +z with +x to the right, so the
    // picture is not mirrored.
    const QVector3D from = eye();
    const QVector3D zAxis = (lookAt() - from).normalized();
    const QVector3D xAxis = QVector3D::crossProduct(up(), zAxis).normalized();
    const QVector3D yAxis = QVector3D::crossProduct(zAxis, xAxis);
    return QMatrix4x4(xAxis.x(), xAxis.y(), xAxis.z(), -QVector3D::dotProduct(xAxis, from),
                      yAxis.x(), yAxis.y(), yAxis.z(), -QVector3D::dotProduct(yAxis, from),
                      zAxis.x(), zAxis.y(), zAxis.z(), -QVector3D::dotProduct(zAxis, from),
                      0.0f, 0.0f, 0.0f, 1.0f);
}

QMatrix4x4 CD3DScene::projectionMatrix()
{
    // Perspective for a left-handed view; depth from the near plane (-1) to
    // the far plane (+1), w the distance in front of the viewer.
    const float yScale = 1.0f / std::tan(kFieldOfView / 2.0f);
    const float xScale = yScale / kAspect;
    const float a = (kFar + kNear) / (kFar - kNear);
    const float b = -2.0f * kNear * kFar / (kFar - kNear);
    return QMatrix4x4(xScale, 0, 0, 0, 0, yScale, 0, 0, 0, 0, a, b, 0, 0, 1, 0);
}

QMatrix4x4 CD3DScene::cylinderWorld() const
{
    const float k = heightScale();
    QMatrix4x4 m;
    m.rotate(yaw_, 0, 1, 0);
    m.scale(k, k, k);
    return m;
}

std::vector<ScenePlacement> CD3DScene::labelPlacements() const
{
    std::vector<ScenePlacement> out;
    if (markCount_ <= 0)
        return out;
    const float k = heightScale();
    const float spacing = k * height_ / float(markCount_);
    for (int i = 0; i < markCount_; i += 10) {
        const size_t label = size_t(i / 5);
        if (label >= labels_.size())
            break;
        QMatrix4x4 m;
        m.translate(k * radius_, k * height_ - float(i) * spacing - 5.0f, 0.0f);
        m.scale(kLabelScale);
        out.push_back({QString::asprintf("%.2f", double(labels_[label])), m});
    }
    return out;
}

std::vector<ScenePlacement> CD3DScene::letterPlacements() const
{
    static const char* const kLetters[4] = {"S", "E", "N", "W"};
    const float k = heightScale();
    std::vector<ScenePlacement> out;
    for (int j = 0; j < 4; ++j) {
        // Applied to the letter in turn: scale, tilt about x, a quarter turn
        // about y, out to the cylinder's foot, round to its side.
        QMatrix4x4 m;
        m.rotate(yaw_ + float(j) * 90.0f, 0, 1, 0);
        m.translate(std::trunc(k * radius_), -2.0f, 0.0f);
        m.rotate(-90.0f, 0, 1, 0);
        m.rotate(qRadiansToDegrees(kLetterTilt), 1, 0, 0);
        m.scale(12.0f, 12.0f, 2.0f);
        out.push_back({QString::fromLatin1(kLetters[j]), m});
    }
    return out;
}

QVector3D CD3DScene::toDevice(const QMatrix4x4& world, const QVector3D& p) const
{
    return (projectionMatrix() * viewMatrix() * world).map(p);
}

bool CD3DScene::doViewCommand(int command)
{
    switch (command) {
    case ModeNone:
        mode_ = ModeNone;
        cursor_ = CursorArrow;
        scale_ = 1.0f;
        yaw_ = 0.0f;
        pan_ = 0.0f;
        return true;
    case ModeZoomIn:
    case ModeZoomOut:
        mode_ = command;
        cursor_ = command == ModeZoomIn ? CursorZoomIn : CursorZoomOut;
        break;
    case ModeForward:
    case ModeBackward:
        mode_ = command;
        cursor_ = CursorArrow;
        break;
    default:
        return false;
    }
    repeatModeAction();
    return true;
}

void CD3DScene::repeatModeAction()
{
    switch (mode_) {
    case ModeZoomIn:
        scale_ *= 1.25f;
        break;
    case ModeZoomOut:
        scale_ *= 0.8f;
        break;
    case ModeForward:
        yaw_ += float(step_);
        break;
    case ModeBackward:
        yaw_ -= float(step_);
        break;
    default:
        break;
    }
}

bool CD3DScene::mousePress(const QPoint& at)
{
    if (mode_ == ModeZoomIn || mode_ == ModeZoomOut)
        return false;
    dragging_ = true;
    start_ = last_ = at;
    return false;
}

bool CD3DScene::mouseMove(const QPoint& at)
{
    if (!dragging_)
        return false;
    yaw_ -= float(at.x() - last_.x());
    pan_ -= float(at.y() - last_.y());
    last_ = at;
    return true;
}

bool CD3DScene::mouseRelease()
{
    repeatModeAction();
    const bool changed = dragging_ || mode_ != ModeNone;
    dragging_ = false;
    return changed;
}

bool CD3DScene::autoTick(bool forward, bool backward)
{
    if (!(forward || backward) || (mode_ != ModeForward && mode_ != ModeBackward))
        return false;
    step_ = kAutoStepDegrees;
    return doViewCommand(forward ? ModeForward : ModeBackward);
}

} // namespace bc

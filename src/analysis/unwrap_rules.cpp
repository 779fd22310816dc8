#include "analysis/unwrap_rules.h"

#include "core/c_number.h"
#include "core/survey_params.h"

#include <algorithm>
#include <limits>

namespace bc {

namespace {

// A radius of at least 15 pixels fits around (x, y).
bool centreInside(int x, int y, int w, int h)
{
    return x >= 15 && x < w - 14 && y >= 15 && y < h - 14;
}

int nearestEdge(int x, int y, int w, int h)
{
    return std::min(x < w / 2 ? x : w - x, y < h / 2 ? y : h - y);
}

int addClamped(int value, long long delta, int low, int high)
{
    const long long v = static_cast<long long>(value) + delta;
    return static_cast<int>(std::max<long long>(low, std::min<long long>(v, high)));
}

} // namespace

QString pixelText(int pixels)
{
    return QStringLiteral("%1 象素").arg(pixels);
}

int pixelsFromText(const QString& text)
{
    return leadingInt(text);
}

CentreFit fitCentre(int x, int y, int frameWidth, int frameHeight)
{
    CentreFit fit;
    int r = 0;
    if (centreInside(x, y, frameWidth, frameHeight)) {
        fit.x = x;
        fit.y = y;
        fit.accepted = true;
        r = nearestEdge(x, y, frameWidth, frameHeight);
    } else {
        fit.x = frameWidth / 2;
        fit.y = frameHeight / 2;
        r = frameHeight > frameWidth ? frameWidth / 2 : frameHeight / 2;
    }
    fit.maxRadius = std::max(r - 4, 0);
    return fit;
}

int validateSettingsCentre(CSurveyParams& s, int frameWidth, int frameHeight, int currentMax)
{
    if (frameWidth <= 0 || frameHeight <= 0)
        return currentMax;
    int maxRadius = currentMax;
    if (centreInside(s.centreX, s.centreY, frameWidth, frameHeight)) {
        maxRadius = std::max(nearestEdge(s.centreX, s.centreY, frameWidth, frameHeight) - 4, 0);
    } else {
        s.centreX = frameWidth / 2;
        s.centreY = frameHeight / 2;
    }
    if (s.outerRadius > maxRadius) {
        s.outerRadius = maxRadius;
        s.innerRadius = s.outerRadius > 40 ? 40 : 10;
    }
    return maxRadius;
}

UnwrapRules::UnwrapRules(int inner, int outer, int width, float factor, int maxRadius)
    : inner_(inner), outer_(outer), width_(width), factor_(factor), maxRadius_(maxRadius)
{
}

void UnwrapRules::typeWidth(int typed)
{
    width_ = std::clamp(typed - typed % 4, kMinWidth, kMaxWidth);
}

void UnwrapRules::stepWidth(int delta)
{
    width_ = addClamped(width_, 4LL * delta, kMinWidth, kMaxWidth);
}

// The outer radius never passes the largest radius; the inner one never goes
// below 10.
void UnwrapRules::typeOuter(int typed)
{
    outer_ = std::min(std::max(typed, inner_), maxRadius_);
}

void UnwrapRules::stepOuter(int delta)
{
    outer_ =
        std::min(addClamped(outer_, delta, inner_, std::numeric_limits<int>::max()), maxRadius_);
}

void UnwrapRules::typeInner(int typed)
{
    inner_ = std::max(std::min(typed, outer_), kMinRadius);
}

void UnwrapRules::stepInner(int delta)
{
    inner_ =
        std::max(addClamped(inner_, delta, std::numeric_limits<int>::min(), outer_), kMinRadius);
}

bool UnwrapRules::typeFactor(const QString& typed)
{
    bool ok = false;
    const float v = typed.trimmed().toFloat(&ok);
    if (!ok || !(v >= 0.0f && v <= kMaxFactor))
        return false;
    factor_ = v;
    return true;
}

bool UnwrapRules::setMaxRadius(int radius)
{
    if (radius == maxRadius_)
        return false;
    maxRadius_ = radius;
    inner_ = std::min(inner_, radius);
    outer_ = radius;
    return true;
}

} // namespace bc

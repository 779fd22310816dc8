#include "acquisition/depth_counter.h"

#include "core/program_values.h"

#include <algorithm>
#include <cmath>

namespace bc {

int normalizeHeading(int degrees)
{
    int h = degrees % 360;
    return h < 0 ? h + 360 : h;
}

std::optional<int32_t> depthMmForMetres(double metres)
{
    // Halves round away from zero: a negative depth takes the millimetre of
    // its positive mirror (truncating x + 0.5 there would lose one).
    const double mm =
        metres < 0.0 ? -std::trunc(-metres * 1000.0 + 0.5) : std::trunc(metres * 1000.0 + 0.5);
    if (!std::isfinite(mm) || mm < static_cast<double>(INT32_MIN) ||
        mm > static_cast<double>(INT32_MAX))
        return std::nullopt;
    return static_cast<int32_t>(mm);
}

QString depthRangeText()
{
    return QStringLiteral("请输入一个介于 %1 和 %2 之间的数字。")
        .arg(QString::asprintf("%.3f", INT32_MIN * 0.001),
             QString::asprintf("%.3f", INT32_MAX * 0.001));
}

QString formatDepthMetres(int32_t depthMm)
{
    return QString::asprintf("%.3f", depthMm * 0.001) + QStringLiteral("米");
}

QString formatHeading(int degrees)
{
    return QString::asprintf("%d", degrees) + QStringLiteral("度");
}

void CDepthCounter::reset(const CounterSettings& settings)
{
    settings_ = settings;
    settings_.samplingStep = std::max<int32_t>(settings_.samplingStep, 1);
    count_ = 0;
    lastQuotient_.reset();
    depth_ = settings_.startDepth;
    publishDepth(depth_);
    setTriggerDepth(depth_);
}

int32_t CDepthCounter::depthAt(int64_t count) const
{
    const int64_t d = static_cast<int64_t>(directionSign()) * count * settings_.mmPerPulse +
                      settings_.startDepth;
    return static_cast<int32_t>(d);
}

void CDepthCounter::updateDepth()
{
    depth_ = depthAt(count_);
}

CounterFrameResult CDepthCounter::countFrame(const CounterFrame& frame, int compassOffset)
{
    CounterFrameResult r;
    r.pulse = frame.pulse();
    if (r.pulse != 0) {
        count_ += r.pulse;
        updateDepth();
    }
    headingDigits_ = frame.headingDigits();
    r.rawHeading = frame.headingDigits() + compassOffset;
    r.heading = normalizeHeading(r.rawHeading);
    r.depth = depth_;
    return r;
}

CounterFrameResult CDepthCounter::applyFrame(const CounterFrame& frame, int compassOffset,
                                             bool triggerAllowed)
{
    CounterFrameResult r = countFrame(frame, compassOffset);
    publishDepthHeading(depth_, r.heading);
    if (triggerAllowed)
        r.triggered = evaluateTrigger();
    return r;
}

bool CDepthCounter::evaluateTrigger()
{
    const int64_t step = settings_.samplingStep;
    if (count_ % step != 0)
        return false;
    const int64_t quotient = count_ / step;
    const bool fire = !lastQuotient_ || *lastQuotient_ != quotient;
    lastQuotient_ = quotient;
    if (fire)
        raiseDepthTrigger(depthAt(quotient * step));
    return fire;
}

bool CDepthCounter::stepManual(int sign)
{
    count_ += static_cast<int64_t>(sign < 0 ? -1 : 1) * settings_.manualStep;
    updateDepth();
    publishDepth(depth_);
    return evaluateTrigger();
}

void CDepthCounter::enterDepth(int32_t depthMm)
{
    depth_ = depthMm;
    const int64_t start = static_cast<int64_t>(depthMm) -
                          static_cast<int64_t>(settings_.mmPerPulse) * count_ * directionSign();
    settings_.startDepth = static_cast<int32_t>(start);
    publishDepth(depth_);
}

} // namespace bc

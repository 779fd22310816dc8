#include "analysis/attitude_shape.h"

#include "analysis/byte_io.h"

#include <QFont>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace bc {

namespace {

std::atomic<int32_t> g_shapeCounter{0};

// The constants of the angle rule, as written.
constexpr double kTwoPi = 6.28318;
constexpr double kPi = 3.14159;
constexpr double kHalfPi = 1.570795;
constexpr double kRadToDeg = 57.29582790879778;

// Pen widths beyond this come only from damaged files; they are drawn at this.
constexpr int kMaxDrawnPenWidth = 64;

QColor fromColorRef(uint32_t c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

QPen gdiPen(int style, int width, uint32_t color)
{
    QPen pen(fromColorRef(color));
    pen.setWidth(std::clamp(width, 0, kMaxDrawnPenWidth));
    switch (style) {
    case 1: pen.setStyle(Qt::DashLine); break;
    case 2: pen.setStyle(Qt::DotLine); break;
    case 3: pen.setStyle(Qt::DashDotLine); break;
    case 4: pen.setStyle(Qt::DashDotDotLine); break;
    case 5: pen.setStyle(Qt::NoPen); break;
    default: pen.setStyle(Qt::SolidLine); break;
    }
    return pen;
}

void applyMode(QPainter& painter, int mode)
{
    if (mode == 0)
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    else if (mode == 1)
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// GDI Ellipse(l, t, r, b).
void gdiEllipse(QPainter& painter, int64_t l, int64_t t, int64_t r, int64_t b)
{
    painter.drawEllipse(paintRect(l, t, r, b));
}

float projectX(float x, float scaleX)
{
    return scaleX * x;
}

// A projected point as painting coordinates.
QPoint paintPoint(float x, float y)
{
    return {paintClamp(truncToInt(x)), paintClamp(truncToInt(y))};
}

float projectY(float y, int topDepth, float scaleY)
{
    return (y - static_cast<float>(topDepth)) * scaleY;
}

void drawHandle(QPainter& painter, const CShapePoint& p, int topDepth, float scaleX, float scaleY)
{
    const float fx = projectX(p.x, scaleX);
    const float fy = projectY(p.y, topDepth, scaleY);
    gdiEllipse(painter, truncToInt(fx - 4.0f), truncToInt(fy - 4.0f), truncToInt(fx + 4.0f),
               truncToInt(fy + 4.0f));
}

int safeAbs(int v)
{
    return v == std::numeric_limits<int>::min() ? std::numeric_limits<int>::max() : std::abs(v);
}

// Squares in double: coordinates from a damaged file may lie far apart.
double sq(int64_t v)
{
    return double(v) * double(v);
}

int truncSqrt(double v)
{
    return truncToInt(std::sqrt(v));
}

bool segmentHit(int x, int y, int ax, int ay, int bx, int by)
{
    const int64_t left = int64_t(std::min(ax, bx)) - kShapeHitTolerance;
    const int64_t right = int64_t(std::max(ax, bx)) + kShapeHitTolerance;
    const int64_t top = int64_t(std::min(ay, by)) - kShapeHitTolerance;
    const int64_t bottom = int64_t(std::max(ay, by)) + kShapeHitTolerance;
    if (x < left || x >= right || y < top || y >= bottom)
        return false;
    return PointToSegmentDistance(x, y, ax, ay, bx, by) < kShapeHitTolerance;
}

bool readBase(ByteReader& in, int& penStyle, int& penWidth, uint32_t& penColor, QString* texts,
              QString* error)
{
    int32_t style = 0, width = 0;
    uint32_t color = 0;
    if (!in.readI32(style) || !in.readI32(width) || !in.readU32(color)) {
        if (error)
            *error = QStringLiteral("产状记录不完整");
        return false;
    }
    for (int i = TextDepthRange; i <= TextDescription; ++i) {
        if (!in.readGbkString(texts[i])) {
            if (error)
                *error = QStringLiteral("产状记录的文字长度错误");
            return false;
        }
    }
    penStyle = style;
    penWidth = width;
    penColor = color;
    return true;
}

} // namespace

int32_t NextShapeId()
{
    return g_shapeCounter.fetch_add(1);
}

void ResetShapeId()
{
    g_shapeCounter.store(0);
}

int PointToSegmentDistance(int px, int py, int x1, int y1, int x2, int y2)
{
    const int d1 = truncSqrt(sq(int64_t(x1) - px) + sq(int64_t(y1) - py));
    if (d1 == 0)
        return 0;
    const int d2 = truncSqrt(sq(int64_t(x2) - px) + sq(int64_t(y2) - py));
    if (d2 == 0)
        return 0;
    const int length = truncSqrt(sq(int64_t(x1) - x2) + sq(int64_t(y1) - y2));
    if (length == 0)
        return d1;

    int ex, ey, fx, fy, d;
    if (d1 >= d2) {
        ex = x2, ey = y2, fx = x1, fy = y1, d = d2;
    } else {
        ex = x1, ey = y1, fx = x2, fy = y2, d = d1;
    }

    double a;
    if (ey == fy) {
        a = fx > ex ? 0.0 : kPi;
    } else {
        a = std::acos(std::clamp(double(int64_t(fx) - ex) / length, -1.0, 1.0));
        if (int64_t(fy) - ey < 0)
            a = kTwoPi - a;
    }
    double b = std::acos(std::clamp(double(int64_t(px) - ex) / d, -1.0, 1.0));
    if (py < ey)
        b = kTwoPi - b;

    double theta = std::fabs(b - a);
    if (theta > kPi)
        theta = kTwoPi - theta;
    if (theta <= kHalfPi)
        return truncToInt(std::sin(theta) * d);
    return d;
}

// --- CAttitudeShape --------------------------------------------------------

CAttitudeShape::CAttitudeShape(int type, int32_t id, int penStyle, int penWidth,
                               uint32_t penColor)
    : type_(type), id_(id), penStyle_(penStyle), penWidth_(penWidth), penColor_(penColor)
{
}

QString CAttitudeShape::LabelText() const
{
    return QStringLiteral("ID:%1  深度:%2m  倾向:%3  倾角:%4  产状描述:%5")
        .arg(texts_[TextId], texts_[TextDepthRange], texts_[TextDipDirection],
             texts_[TextDipAngle], texts_[TextDescription]);
}

int ShapeLabelTextWidth(int run)
{
    return std::max(run, kMinShapeLabelWidth);
}

void CAttitudeShape::drawLabelText(QPainter& painter, float ax, float ay, float width,
                                   bool ownPen) const
{
    painter.save();
    if (ownPen)
        painter.setPen(gdiPen(penStyle_, penWidth_, penColor_));
    else
        painter.setPen(QPen(fromColorRef(penColor_), 1, Qt::SolidLine));
    const int left = paintClamp(truncToInt(ax));
    const int top = paintClamp(truncToInt(ay));
    const int right = paintClamp(truncToInt(ax + width));
    painter.drawLine(left, top, right, top);
    const int textRight = satAdd(left, ShapeLabelTextWidth(right - left));

    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(18);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::Serif);
    painter.setFont(font);
    painter.setPen(QPen(Qt::black)); // the text colour of a fresh drawing context
    painter.drawText(paintRect(left, top, textRight, top + 60),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, LabelText());
    painter.restore();
}

bool CAttitudeShape::Read(ByteReader& in, QString* error)
{
    if (!readBase(in, penStyle_, penWidth_, penColor_, texts_, error))
        return false;
    texts_[TextId] = QString::number(id_);
    return true;
}

void CAttitudeShape::Write(ByteWriter& out) const
{
    out.writeI32(type_);
    out.writeI32(penStyle_);
    out.writeI32(penWidth_);
    out.writeU32(penColor_);
    for (int i = TextDepthRange; i <= TextDescription; ++i)
        out.writeGbkString(texts_[i]);
}

void CAttitudeShape::RecalcAttitude(int openingDiameter, float holeInclination,
                                    float inclinedHoleDipDirection, float declination)
{
    const QString description = texts_[TextDescription];
    UpdateAttitude(openingDiameter, holeInclination, inclinedHoleDipDirection, declination);
    texts_[TextDescription] = description;
}

// --- CAttitudeLine ---------------------------------------------------------

CAttitudeLine::CAttitudeLine(int32_t id, const CShapePoint& p1, const CShapePoint& p2,
                             int penStyle, int penWidth, uint32_t penColor)
    : CAttitudeShape(TypeLine, id, penStyle, penWidth, penColor)
{
    const CShapePoint& deep = p2.y > p1.y ? p2 : p1;
    const CShapePoint& shallow = p2.y > p1.y ? p1 : p2;
    x1_ = deep.x;
    y1_ = deep.y;
    x2_ = shallow.x;
    y2_ = shallow.y;
}

CAttitudeLine::CAttitudeLine(int32_t id) : CAttitudeShape(TypeLine, id, 0, 0, 0) {}

void CAttitudeLine::Draw(QPainter& painter, int topDepth, int bottomDepth, float scaleX,
                         float scaleY, int mode) const
{
    if (!IsInDepthRange(topDepth, bottomDepth) || state_ == StateHidden)
        return;
    painter.save();
    painter.setPen(gdiPen(penStyle_, penWidth_, penColor_));
    if (state_ == StateSelected) {
        painter.setBrush(Qt::NoBrush);
        drawHandle(painter, point1(), topDepth, scaleX, scaleY);
        drawHandle(painter, point2(), topDepth, scaleX, scaleY);
    }
    applyMode(painter, mode);
    const QPoint a = paintPoint(projectX(x1_, scaleX), projectY(y1_, topDepth, scaleY));
    if (x1_ == x2_ && y1_ == y2_) {
        painter.setPen(QPen(QColor(255, 0, 0), 1, Qt::SolidLine));
        painter.setBrush(Qt::NoBrush);
        gdiEllipse(painter, a.x() - 4, a.y() - 4, a.x() + 4, a.y() + 4);
    } else {
        painter.drawLine(a, paintPoint(projectX(x2_, scaleX), projectY(y2_, topDepth, scaleY)));
    }
    painter.restore();
}

void CAttitudeLine::DrawLabel(QPainter& painter, const int* area, float scaleX, float scaleY,
                              int) const
{
    if (!area || !IsInDepthRange(area[1], area[3]) || state_ == StateHidden)
        return;
    const CShapePoint anchor = x2_ < x1_ ? point1() : point2();
    float ax = scaleX * anchor.x;
    if (ax < static_cast<float>(area[0]))
        ax = static_cast<float>(area[0]);
    if (area[0] == 0)
        ax = -60.0f;
    const float ay = projectY(anchor.y, area[1], scaleY);
    drawLabelText(painter, ax, ay, 1.5f * static_cast<float>(int64_t(area[2]) - area[0]), false);
}

PageRect CAttitudeLine::GetBoundRect(int topDepth, float scaleX, float scaleY) const
{
    // Deeper and shallower point; y1 >= y2 for every picked line, but a line
    // from a file keeps its stored order.
    const float deep = std::max(y1_, y2_);
    const float shallow = std::min(y1_, y2_);
    PageRect r;
    r.left = satAdd(truncToInt(std::min(x1_, x2_) * scaleX), -5);
    r.right = satAdd(truncToInt(std::max(x1_, x2_) * scaleX), 5);
    r.top = satAdd(truncToInt(projectY(shallow, topDepth, scaleY)), -5);
    r.bottom = satAdd(truncToInt(projectY(deep, topDepth, scaleY)), 5);
    return r.normalized();
}

int CAttitudeLine::HitTest(int x, int y, int topDepth, float scaleX, float scaleY) const
{
    if (state_ == StateHidden)
        return 0;
    const int ax = truncToInt(projectX(x1_, scaleX));
    const int ay = truncToInt(projectY(y1_, topDepth, scaleY));
    const int bx = truncToInt(projectX(x2_, scaleX));
    const int by = truncToInt(projectY(y2_, topDepth, scaleY));
    return segmentHit(x, y, ax, ay, bx, by) ? 1 : 0;
}

bool CAttitudeLine::IsInDepthRange(int topDepth, int bottomDepth) const
{
    // A line belongs to the pages it crosses; drawn on every page, the lines
    // of the pages below would show in the blank under this page's strips.
    return std::max(y1_, y2_) >= float(topDepth) && std::min(y1_, y2_) <= float(bottomDepth);
}

int CAttitudeLine::ComputeDip(int radius, int* dipDirection, int* dipAngle) const
{
    const float dx = static_cast<float>(std::cos(double(x2_)) - std::cos(double(x1_)));
    const float dy = static_cast<float>(std::sin(double(x2_)) - std::sin(double(x1_)));
    const float c = std::sqrt(dy * dy + dx * dx);
    const float d = static_cast<float>(radius) * c;
    const float rise = std::fabs(y2_ - y1_);
    if (d > 0.0f && std::isfinite(d)) {
        *dipAngle = truncToInt(std::atan(double(rise / d)) * kRadToDeg);
    } else {
        // No chord across the hole: the same azimuth twice. A depth difference
        // makes the plane vertical; the same depth as well gives no plane.
        *dipAngle = rise > 0.0f ? 90 : 0;
    }
    const float deepX = y1_ > y2_ ? x1_ : x2_;
    *dipDirection = truncToInt(double(deepX) * kRadToDeg);
    return 1;
}

void CAttitudeLine::UpdateAttitude(int openingDiameter, float holeInclination,
                                   float inclinedHoleDipDirection, float declination)
{
    const int radius = openingDiameter / 2;
    int dipDirection = 0;
    int dipAngle = 0;
    ComputeDip(radius, &dipDirection, &dipAngle);

    dipAngle = safeAbs(truncToInt(static_cast<float>(dipAngle) - holeInclination));

    dipDirection = truncToInt(static_cast<float>(dipDirection) - declination);
    if (dipDirection < 0)
        dipDirection += 360;

    if (inclinedHoleDipDirection > 0.0f) {
        if (y1_ < y2_ && x2_ > x1_)
            dipDirection = truncToInt(inclinedHoleDipDirection + 360.0f -
                                      static_cast<float>(dipDirection));
        else
            dipDirection = truncToInt(static_cast<float>(dipDirection) + inclinedHoleDipDirection);
    }
    if (dipDirection > 360)
        dipDirection -= 360;

    texts_[TextId] = QString::number(id_);
    texts_[TextDepthRange] = QString::asprintf("%.2f-%.2f", double(y2_ * 0.001f),
                                               double(y1_ * 0.001f));
    texts_[TextDipDirection] = QString::asprintf("%d°", dipDirection);
    texts_[TextDipAngle] = QString::asprintf("%d°", dipAngle);
    texts_[TextDescription].clear();
}

bool CAttitudeLine::Read(ByteReader& in, QString* error)
{
    if (!CAttitudeShape::Read(in, error))
        return false;
    float v[4];
    for (float& f : v) {
        if (!in.readF32(f)) {
            if (error)
                *error = QStringLiteral("产状记录不完整");
            return false;
        }
    }
    x1_ = v[0], y1_ = v[1], x2_ = v[2], y2_ = v[3];
    return true;
}

void CAttitudeLine::Write(ByteWriter& out) const
{
    CAttitudeShape::Write(out);
    out.writeF32(x1_);
    out.writeF32(y1_);
    out.writeF32(x2_);
    out.writeF32(y2_);
}

// --- CAttitudePolyline -----------------------------------------------------

CAttitudePolyline::CAttitudePolyline(int32_t id, int penStyle, int penWidth, uint32_t penColor)
    : CAttitudeShape(TypePolyline, id, penStyle, penWidth, penColor)
{
    points_.reserve(kCapacity);
}

CAttitudePolyline::CAttitudePolyline(int32_t id) : CAttitudePolyline(id, 0, 0, 0) {}

int CAttitudePolyline::AddPoint(const CShapePoint& p)
{
    if (points_.size() >= size_t(kCapacity))
        return 0;
    points_.push_back(p);
    return 1;
}

void CAttitudePolyline::Draw(QPainter& painter, int topDepth, int bottomDepth, float scaleX,
                             float scaleY, int mode) const
{
    if (!IsInDepthRange(topDepth, bottomDepth))
        return;
    painter.save();
    painter.setPen(gdiPen(penStyle_, penWidth_, penColor_));
    if (state_ == StateSelected) {
        painter.setBrush(Qt::NoBrush);
        for (const CShapePoint& p : points_)
            drawHandle(painter, p, topDepth, scaleX, scaleY);
    }
    applyMode(painter, mode);
    QPolygon chain;
    chain.reserve(int(points_.size()));
    for (const CShapePoint& p : points_)
        chain << paintPoint(projectX(p.x, scaleX), projectY(p.y, topDepth, scaleY));
    painter.drawPolyline(chain);
    painter.restore();
}

void CAttitudePolyline::DrawLabel(QPainter& painter, const int* area, float scaleX, float scaleY,
                                  int) const
{
    if (!area || !IsInDepthRange(area[1], area[3]))
        return;
    const CShapePoint* anchor = &points_.front();
    for (const CShapePoint& p : points_)
        if (p.x > anchor->x)
            anchor = &p;
    float ax = scaleX * anchor->x;
    if (ax < static_cast<float>(area[0]))
        ax = static_cast<float>(area[0]);
    if (area[0] == 0)
        ax = -60.0f;
    const float ay = projectY(anchor->y, area[1], scaleY);
    drawLabelText(painter, ax, ay, 1.5f * static_cast<float>(int64_t(area[2]) - area[0]), true);
}

PageRect CAttitudePolyline::GetBoundRect(int topDepth, float scaleX, float scaleY) const
{
    if (points_.empty())
        return {};
    float minX = points_[0].x, maxX = points_[0].x, minY = points_[0].y, maxY = points_[0].y;
    for (const CShapePoint& p : points_) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    PageRect r;
    r.left = truncToInt(minX * scaleX - 5.0f);
    r.top = truncToInt(projectY(minY, topDepth, scaleY) - 5.0f);
    r.right = truncToInt(maxX * scaleX + 5.0f);
    r.bottom = truncToInt(projectY(maxY, topDepth, scaleY) + 5.0f);
    return r.normalized();
}

int CAttitudePolyline::HitTest(int x, int y, int topDepth, float scaleX, float scaleY) const
{
    if (points_.size() < 2)
        return 0;
    for (size_t i = 0; i + 1 < points_.size(); ++i) {
        const CAttitudeLine segment(id_, points_[i], points_[i + 1], penStyle_, penWidth_,
                                    penColor_);
        if (segment.HitTest(x, y, topDepth, scaleX, scaleY))
            return 1;
    }
    return 0;
}

bool CAttitudePolyline::IsInDepthRange(int topDepth, int bottomDepth) const
{
    if (points_.size() < 2)
        return false;
    for (const CShapePoint& p : points_)
        if (!(static_cast<float>(topDepth) <= p.y && p.y <= static_cast<float>(bottomDepth)))
            return false;
    return true;
}

void CAttitudePolyline::UpdateAttitude(int openingDiameter, float holeInclination,
                                       float inclinedHoleDipDirection, float declination)
{
    if (points_.size() < 2)
        return;
    size_t deepest = 0;
    for (size_t i = 1; i < points_.size(); ++i)
        if (points_[i].y > points_[deepest].y)
            deepest = i;
    size_t shallowest = 0;
    for (size_t i = 1; i < points_.size(); ++i)
        if (points_[i].y < points_[shallowest].y)
            shallowest = i;
    if (points_.back().y == points_[shallowest].y)
        shallowest = points_.size() - 1;

    // The temporary line carries this polyline's own id: it takes none from
    // the program-wide counter.
    CAttitudeLine line(id_, points_[deepest], points_[shallowest], penStyle_, penWidth_,
                       penColor_);
    line.UpdateAttitude(openingDiameter, holeInclination, inclinedHoleDipDirection, declination);
    texts_[TextId] = QString::number(id_);
    for (int i = TextDepthRange; i <= TextDescription; ++i)
        texts_[i] = line.GetText(static_cast<ShapeText>(i));
}

bool CAttitudePolyline::Read(ByteReader& in, QString* error)
{
    if (!CAttitudeShape::Read(in, error))
        return false;
    int32_t count = 0;
    if (!in.readI32(count) || count < 0 || count > in.remaining() / 8) {
        if (error)
            *error = QStringLiteral("产状记录的点数错误");
        return false;
    }
    points_.clear();
    for (int32_t i = 0; i < count; ++i) {
        float x = 0, y = 0;
        in.readF32(x);
        in.readF32(y);
        if (points_.size() < size_t(kCapacity))
            points_.emplace_back(x, y);
    }
    return true;
}

void CAttitudePolyline::Write(ByteWriter& out) const
{
    CAttitudeShape::Write(out);
    out.writeI32(static_cast<int32_t>(points_.size()));
    for (const CShapePoint& p : points_) {
        out.writeF32(p.x);
        out.writeF32(p.y);
    }
}

std::unique_ptr<CAttitudeShape> ReadShapeRecord(ByteReader& in, QString* error)
{
    int32_t type = 0;
    if (!in.readI32(type)) {
        if (error)
            *error = QStringLiteral("产状记录不完整");
        return nullptr;
    }
    std::unique_ptr<CAttitudeShape> shape;
    if (type == CAttitudeShape::TypeLine)
        shape = std::make_unique<CAttitudeLine>(NextShapeId());
    else if (type == CAttitudeShape::TypePolyline)
        shape = std::make_unique<CAttitudePolyline>(NextShapeId());
    else {
        if (error)
            *error = QStringLiteral("未知的产状类型: %1").arg(type);
        return nullptr;
    }
    if (!shape->Read(in, error))
        return nullptr;
    return shape;
}

} // namespace bc

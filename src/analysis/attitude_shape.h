#pragma once
// Attitude shapes: planes crossing the hole, marked on the unwrapped wall as a
// line through two points or a polyline of up to ten points. Points are kept
// in wall coordinates (x azimuth in radians from the strip's left edge, y depth
// in millimetres), so a shape survives paging and zooming. Each shape draws
// itself and its label, tests clicks, computes its attitude and reads and
// writes its record of the ".sfa" file.

#include "analysis/page_rect.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QPainter;

namespace bc {

class ByteReader;
class ByteWriter;

struct CShapePoint {
    float x = 0.0f; // azimuth, radians
    float y = 0.0f; // depth, millimetres
    CShapePoint() = default;
    CShapePoint(float ax, float ay) : x(ax), y(ay) {}
    bool operator==(const CShapePoint&) const = default;
};

// The program-wide shape counter. NextShapeId returns the counter and then
// increments it; ResetShapeId starts numbering again at 0.
int32_t NextShapeId();
void ResetShapeId();

// Pixels within which a click hits a shape.
constexpr int kShapeHitTolerance = 10;

// A label's text is laid out at least this wide (pixels), so that on a
// narrow page (a small hole shown true to its depth) its words are not
// broken one to a line and cut off below its few lines.
constexpr int kMinShapeLabelWidth = 400;
// The width a label's text takes right of a page whose label run is `run`.
int ShapeLabelTextWidth(int run);

// Distance in whole pixels from a point to a segment, by the angle rule of the
// strip view (truncating at every step).
int PointToSegmentDistance(int px, int py, int x1, int y1, int x2, int y2);

// The five display texts of a shape, in list order.
enum ShapeText { TextId = 0, TextDepthRange, TextDipDirection, TextDipAngle, TextDescription };

class CAttitudeShape {
public:
    enum Type { TypeBase = 0, TypeLine = 1, TypePolyline = 2 };
    enum State { StateHidden = 0, StateNormal = 1, StateSelected = 2 };

    virtual ~CAttitudeShape() = default;

    // mode 1 paints normally, mode 0 inverts the destination (rubber band),
    // any other value keeps the painter's composition.
    virtual void Draw(QPainter& painter, int topDepth, int bottomDepth, float scaleX, float scaleY,
                      int mode) const = 0;
    // area: labelLeft (px), topDepth (mm), labelRight (px), bottomDepth (mm);
    // null draws nothing. flag is not read.
    virtual void DrawLabel(QPainter& painter, const int* area, float scaleX, float scaleY,
                           int flag) const = 0;
    // The rectangle the shape covers in logical page pixels, normalised.
    virtual PageRect GetBoundRect(int topDepth, float scaleX, float scaleY) const = 0;
    virtual int HitTest(int x, int y, int topDepth, float scaleX, float scaleY) const = 0;
    virtual bool IsInDepthRange(int topDepth, int bottomDepth) const = 0;
    virtual void UpdateAttitude(int openingDiameter, float holeInclination,
                                float inclinedHoleDipDirection, float declination) = 0;

    // Reads the rest of a record whose type word the caller has read; false
    // (with `error` set) when the record does not fit in the bytes remaining.
    virtual bool Read(ByteReader& in, QString* error);
    // Writes the whole record, type word first.
    virtual void Write(ByteWriter& out) const;

    // UpdateAttitude keeping the description.
    void RecalcAttitude(int openingDiameter, float holeInclination,
                        float inclinedHoleDipDirection, float declination);

    int GetType() const { return type_; }
    int GetState() const { return state_; }
    void SetState(int state) { state_ = state; }
    int32_t GetId() const { return id_; }
    int GetPenStyle() const { return penStyle_; }
    int GetPenWidth() const { return penWidth_; }
    uint32_t GetPenColor() const { return penColor_; } // COLORREF 0x00BBGGRR
    const QString& GetText(ShapeText which) const { return texts_[which]; }
    void SetText(ShapeText which, const QString& text) { texts_[which] = text; }
    void SetDescription(const QString& text) { texts_[TextDescription] = text; }
    // "ID:%s  深度:%sm  倾向:%s  倾角:%s  产状描述:%s" of the five texts.
    QString LabelText() const;

protected:
    CAttitudeShape(int type, int32_t id, int penStyle, int penWidth, uint32_t penColor);
    void drawLabelText(QPainter& painter, float ax, float ay, float width, bool ownPen) const;

    int type_;
    int state_ = StateNormal;
    int32_t id_;
    int penStyle_;
    int penWidth_;
    uint32_t penColor_;
    QString texts_[5];
};

class CAttitudeLine : public CAttitudeShape {
public:
    // The deeper point is stored first (y1 >= y2); on equal depths p1 first.
    CAttitudeLine(int32_t id, const CShapePoint& p1, const CShapePoint& p2, int penStyle,
                  int penWidth, uint32_t penColor);
    // For loading: pen, texts and points come from Read.
    explicit CAttitudeLine(int32_t id);

    void Draw(QPainter& painter, int topDepth, int bottomDepth, float scaleX, float scaleY,
              int mode) const override;
    void DrawLabel(QPainter& painter, const int* area, float scaleX, float scaleY,
                   int flag) const override;
    PageRect GetBoundRect(int topDepth, float scaleX, float scaleY) const override;
    int HitTest(int x, int y, int topDepth, float scaleX, float scaleY) const override;
    bool IsInDepthRange(int topDepth, int bottomDepth) const override;
    void UpdateAttitude(int openingDiameter, float holeInclination,
                        float inclinedHoleDipDirection, float declination) override;
    bool Read(ByteReader& in, QString* error) override;
    void Write(ByteWriter& out) const override;

    // The raw rule: dip angle from the depth difference over the chord across
    // a hole of radius R, dip direction from the deeper point's azimuth.
    int ComputeDip(int radius, int* dipDirection, int* dipAngle) const;

    CShapePoint point1() const { return {x1_, y1_}; }
    CShapePoint point2() const { return {x2_, y2_}; }

private:
    float x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
};

class CAttitudePolyline : public CAttitudeShape {
public:
    static constexpr int kCapacity = 10;

    CAttitudePolyline(int32_t id, int penStyle, int penWidth, uint32_t penColor);
    explicit CAttitudePolyline(int32_t id);

    // Appends a vertex; 0 (and nothing added) when the polyline is full.
    int AddPoint(const CShapePoint& p);
    const std::vector<CShapePoint>& points() const { return points_; }

    void Draw(QPainter& painter, int topDepth, int bottomDepth, float scaleX, float scaleY,
              int mode) const override;
    void DrawLabel(QPainter& painter, const int* area, float scaleX, float scaleY,
                   int flag) const override;
    PageRect GetBoundRect(int topDepth, float scaleX, float scaleY) const override;
    int HitTest(int x, int y, int topDepth, float scaleX, float scaleY) const override;
    bool IsInDepthRange(int topDepth, int bottomDepth) const override;
    void UpdateAttitude(int openingDiameter, float holeInclination,
                        float inclinedHoleDipDirection, float declination) override;
    bool Read(ByteReader& in, QString* error) override;
    void Write(ByteWriter& out) const override;

private:
    std::vector<CShapePoint> points_;
};

// Reads one shape record (type word first) as the ".sfa" reader does: a line
// or a polyline with a fresh id. Null (with `error`) for an unknown type or a
// record that does not fit.
std::unique_ptr<CAttitudeShape> ReadShapeRecord(ByteReader& in, QString* error);

} // namespace bc

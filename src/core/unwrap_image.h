#pragma once
// One unwrapped strip of the borehole wall: its depth key and compass angle,
// its pixels (24-bit, blue-green-red, rows bottom-up, each row padded to a
// multiple of 4 bytes: every consumer steps by `stride`), and the bitmap
// header the strip is drawn with. Also the ring unwrap that makes a strip
// from a camera frame and the stitch of consecutive strips.

#include "core/bitmap_header.h"
#include "core/error_report.h"

#include <QIODevice>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace bc {

// Working buffers of the stitch, kept by the caller between runs so that no
// run allocates once they have grown (one per thread).
struct StitchWorkArea {
    std::vector<uint8_t> template1;
    std::vector<uint8_t> template2;
};

class CUnWrapImage {
  public:
    // Size in bytes of the strip record in an analysis file.
    static constexpr int kRecordSize = 14;

    CUnWrapImage();
    CUnWrapImage(int32_t depthKey, uint16_t angle);
    CUnWrapImage(const CUnWrapImage& other);
    CUnWrapImage& operator=(const CUnWrapImage& other);
    // Moving hands the pixels over; the source is left without pixels.
    CUnWrapImage(CUnWrapImage&& other) noexcept;
    CUnWrapImage& operator=(CUnWrapImage&& other) noexcept;
    virtual ~CUnWrapImage();

    // Deep copy: keys, sizes and the whole pixel buffer; the header becomes
    // (width, shownHeight).
    void CopyFrom(const CUnWrapImage& other);

    // The 14-byte record: depth key (4), angle (2), width (4), shown height
    // (4), little-endian. ReadRecord changes nothing unless all 14 bytes were
    // read; it then sets the header to (width, shownHeight).
    bool WriteRecord(QIODevice& file) const;
    bool ReadRecord(QIODevice& file);

    // The strip's file in `dir`: "<dir>/<depthKey>.jpg" or ".bmp".
    QString jpgPath(const QString& dir) const;
    QString bmpPath(const QString& dir) const;

    // Write every held row (not only the shown ones). Nothing happens without
    // pixels. False when the file could not be written; the reason, if any,
    // goes to `error`.
    bool SaveJpg(const QString& dir, ErrorReport* error = nullptr) const;
    bool SaveBmp(const QString& dir, ErrorReport* error = nullptr) const;
    // The same into a file named by the caller (the one the strip was read from).
    bool SaveJpgFile(const QString& path, ErrorReport* error = nullptr) const;
    bool SaveBmpFile(const QString& path, ErrorReport* error = nullptr) const;

    // Read the strip's pixels. The width is always the file's; a shown height
    // set by ReadRecord stays, clamped to the rows held, otherwise it becomes
    // the file height. On failure the strip has no pixels.
    bool LoadJpg(const QString& dir, ErrorReport* error = nullptr);
    bool LoadBmp(const QString& dir, ErrorReport* error = nullptr);
    // The same from a file named by the caller (an imported "1200.JPG").
    bool LoadJpgFile(const QString& path, ErrorReport* error = nullptr);
    bool LoadBmpFile(const QString& path, ErrorReport* error = nullptr);

    bool hasPixels() const { return bits != nullptr; }
    const uint8_t* pixels() const { return bits.get(); }
    uint8_t* pixels() { return bits.get(); }
    // Buffer row `y` (0 is drawn at the bottom).
    const uint8_t* row(int y) const { return bits.get() + size_t(y) * size_t(stride); }
    uint8_t* row(int y) { return bits.get() + size_t(y) * size_t(stride); }
    // Drops the pixels (rows and stride become 0).
    void freePixels();
    // Takes `buffer` of `rowCount` rows of `rowStride` bytes as the pixels;
    // width and shown height are left as they are.
    void adoptPixels(std::unique_ptr<uint8_t[]> buffer, int rowCount, int rowStride);

    // Ring unwrap of a 24-bit frame (rows of sourceStride bytes, 0 meaning
    // sourceWidth x 3, top-down) about (centreX, centreY) between the outer
    // and inner radius into `width` columns starting at angle + 90 degrees.
    // Unwrap puts the outer radius in buffer row 0, UnwrapInnerFirst the
    // inner one. Sets width, shownHeight, rows = shownHeight, stride and the
    // header. Returns the pixel buffer, or null when the radii or the sizes
    // are refused (text for the user in `error` when there is one) or memory
    // runs out. Samples off the frame are clipped to its edge.
    const uint8_t* Unwrap(const uint8_t* source, int sourceWidth, int sourceHeight, int centreX,
                          int centreY, int outerRadius, int innerRadius, int width, int16_t angle,
                          ErrorReport* error = nullptr, int sourceStride = 0);
    const uint8_t* UnwrapInnerFirst(const uint8_t* source, int sourceWidth, int sourceHeight,
                                    int centreX, int centreY, int outerRadius, int innerRadius,
                                    int width, int16_t angle, ErrorReport* error = nullptr,
                                    int sourceStride = 0);

    // Compares this (current) strip with the previous one, finds the rows at
    // the top of this strip that repeat the bottom of the previous one,
    // blends them into the previous strip and hides them here. `templateSize`
    // is T (8, 16 or 32), `searchRange` the columns searched either side.
    // 1 when the strips were compared, 0 when a precondition failed.
    int Stitch(CUnWrapImage* previous, StitchWorkArea& work, int templateSize, int searchRange);

    // The two feature columns the stitch compares at, on the previous strip's
    // bottom row (which must hold pixels): the first steps of more than 50
    // from T on, T + 1 apart at least; the middle of the row when there are
    // none, the first + 30 when there is one.
    static void StitchFeatureColumns(const CUnWrapImage& previous, int T, int columns[2]);

    // Cross-fades the previous strip's bottom n rows towards the rows that
    // start n rows below the top of this strip.
    void BlendOverlap(CUnWrapImage* previous, int n);

    // Fields, in the order of the item.
    int32_t depthKey = 0;
    uint16_t angle = 0;
    int32_t width = 0;
    int32_t shownHeight = 0;
    int32_t rows = 0;
    int32_t stride = 0;

  private:
    // Takes the pixels of a loaded file (rows bottom-up, `fileStride` bytes
    // apart) and settles the sizes; false when there are none.
    bool takeLoaded(std::unique_ptr<uint8_t[]> data, uint32_t fileWidth, uint32_t fileHeight,
                    uint32_t fileStride);
    const uint8_t* unwrapRing(const uint8_t* source, int sourceWidth, int sourceHeight, int centreX,
                              int centreY, int outerRadius, int innerRadius, int width,
                              int16_t angle, ErrorReport* error, int sourceStride, bool innerFirst);

    std::unique_ptr<uint8_t[]> bits;

  public:
    // What the last unwrap left behind: its last sample, column and radius,
    // its angular step and phase.
    int32_t unwrapX = 0;
    int32_t unwrapY = 0;
    int32_t unwrapColumn = 0;
    int32_t unwrapRadius = 0;
    float unwrapStep = 0.0f;
    float unwrapPhase = 0.0f;

    BitmapInfoHeader header;

  private:
    // Per-column cosine and sine of the last unwrap, reused while the width
    // and angle stay.
    std::vector<double> columnCos_;
    std::vector<double> columnSin_;
    std::vector<int32_t> sampleScratch_;
    int trigWidth_ = -1;
    float trigPhase_ = 0.0f;
};

} // namespace bc

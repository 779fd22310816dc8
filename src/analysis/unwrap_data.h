#pragma once
// The document of the analysis workspace: the unwrapped strips of a survey in
// ascending depth order, the attitude shapes picked on them with the current
// selection, and the test header of the borehole. It cuts the strips into
// pages, paints a page on a caller's QPainter, answers the geometric questions
// of a page, keeps only the current page's pixels in memory and reads and
// writes itself as an ".sfa" file.

#include "analysis/attitude_shape.h"
#include "analysis/page_geometry.h"
#include "analysis/sfa_format.h"
#include "core/error_report.h"
#include "core/unwrap_image.h"

#include <QSize>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QPainter;

namespace bc {

class CSurveyParams;

class CUnWrapData {
public:
    CUnWrapData(const QString& filePath, const QString& imageDirectory);
    virtual ~CUnWrapData();
    CUnWrapData(const CUnWrapData&) = delete;
    CUnWrapData& operator=(const CUnWrapData&) = delete;

    void SetDefaults();
    // Start depth, sampling step, movement direction, hole type, diameters,
    // the nine test strings and the inclined-hole dip direction.
    void CopyHeaderFromSettings(const CSurveyParams& settings);
    // Deletes every strip and shape, resets the saved counts and starts the
    // program-wide shape numbering again.
    void Clear();

    // Changes not yet saved: a live strip, a stitch, a turned or shortened
    // strip, an attitude added, deleted, recomputed or described anew. Set by
    // the changes made here; the attitude list marks its own edits. A load
    // or a save clears it.
    bool IsModified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }

    const QString& filePath() const { return filePath_; }
    const QString& imageDirectory() const { return imageDirectory_; }
    SfaHeader& header() { return header_; }
    const SfaHeader& header() const { return header_; }

    // --- strips --------------------------------------------------------------
    // Inserts by ascending depth key and returns the index. A strip at a depth
    // already present replaces that strip's contents in place. `modified`
    // marks pixels that exist nowhere else yet (a capture); strips imported
    // from files pass false.
    int InsertImage(std::unique_ptr<CUnWrapImage> item, bool modified = true);
    CUnWrapImage* GetItem(int i) const;
    int GetItemCount() const { return int(items_.size()); }
    bool IsItemModified(int i) const;
    void SetItemModified(int i, bool modified);
    // The picture strip `i` is read from and saved into (one the user chose).
    void SetItemFile(int i, const QString& path);
    int GetPageCount(int perPage) const;

    // --- shapes --------------------------------------------------------------
    void AddShape(std::unique_ptr<CAttitudeShape> shape);
    CAttitudeShape* GetShape(int i) const;
    int GetShapeCount() const { return int(shapes_.size()); }
    CAttitudeShape* GetSelectedShape(int i) const;
    int GetSelectedCount() const { return int(selection_.size()); }

    // Rectangles (logical page pixels) to repaint after a selection change.
    using Invalidate = std::function<void(const PageRect&)>;

    int HitTestShapes(int x, int y, float topDepth, int bottomDepth, float pxPerRadian,
                      float pxPerMm) const;
    // kShiftFlag adds the hit shape to the selection; otherwise the hit shape
    // becomes the only selected one and a miss clears the selection. 1 when
    // a shape was hit.
    static constexpr unsigned kShiftFlag = 4; // MK_SHIFT
    int SelectShapeAt(int topDepth, int bottomDepth, float pxPerRadian, float pxPerMm,
                      unsigned flags, int x, int y, const Invalidate& invalidate);
    void DeleteSelectedShapes(int topDepth, float pxPerRadian, float pxPerMm,
                              const Invalidate& invalidate);
    void DrawShapes(QPainter& painter, int page, int perPage, int topDepth, int bottomDepth,
                    float pxPerRadian, float pxPerMm) const;
    void DrawShapeLabels(QPainter& painter, const int labelBox[4], float pxPerRadian,
                         float pxPerMm) const;
    // Recomputes every attitude from the test header, keeping descriptions.
    void RecalcAttitudes(float declination);

    // --- pages ---------------------------------------------------------------
    // The strips of a page as the page arithmetic sees them.
    std::vector<PageStrip> PageStrips(int page, int perPage, int* first = nullptr) const;

    void ResetPageHeights(int page, int perPage);
    // Drops the pixels of the page's strips, except those of modified strips,
    // which are the only copy until they are saved.
    void FreePageBits(int page, int perPage);
    // The same for every strip off the page (after a save).
    void FreeBitsOffPage(int page, int perPage);
    // Writes the page's modified strips and clears their flags: each into
    // the picture it was read from, a new strip into the image directory in
    // the capture format. False (with the reason) when any failed.
    bool SavePageImages(int page, int perPage, ErrorReport* error = nullptr);
    // Loads the pixels of the page's strips that have none: each from the
    // picture it was read from before or chosen for it; a strip without one
    // tries the capture format's extension first, then the other, either in
    // any case.
    // Returns the number of strips that could not be loaded; `error` then
    // holds one report naming each of them (the first five) and what is
    // wrong with its file.
    int LoadPageImages(int page, int perPage, ErrorReport* error = nullptr);

    // The page painter. (0, 0) is the top-left corner of the page's strips;
    // the depth labels lie left of it, at x -60 to 0. labelMode 1 labels each
    // strip with its depth, 0 draws a depth scale.
    void DrawPage(QPainter& painter, int page, int perPage, int selectedIndex, float pxPerMm,
                  int labelMode) const;
    void DrawPageDib(QPainter& painter, float zoom, float aspect, int page, int perPage,
                     int selectedIndex, float pxPerMm, int labelMode) const;

    // The page's strips alone, stacked from y 0, each trunc(width * zoom *
    // aspect) by trunc(shownHeight * zoom): no labels, scale or marker (the
    // cylinder texture and the report pictures). Returns the index after the
    // last strip drawn.
    int DrawPageStrips(QPainter& painter, float zoom, float aspect, int page, int perPage) const;

    // The scale of the page queries is the zoom, bounded as the painter
    // bounds it, so what is hit is what was painted.
    PageRect GetItemRect(int part, int page, int perPage, float scale, int index) const;
    int HitTestItem(int page, int perPage, int x, int y, float scale) const;
    QSize GetPageSize(int page, int perPage, float scale, float aspect) const;
    void GetPageExtent(int page, int perPage, float scale, float aspect, int& width,
                       int& height) const;
    double GetPageAspect(int page, int perPage, int diameter, float scale) const;
    int GetPageDepthScale(int page, int perPage, float scale, int& topDepth, int& bottomDepth,
                          float& pxPerMm) const;
    // (0, unscaled shown heights from the page's first strip up to endIndex + 30).
    QPoint GetPageHeight(int page, int perPage, int endIndex) const;
    // Depth in metres of every fifth strip of the page.
    std::vector<float> SamplePageValues(int page, int perPage) const;

    // --- stitching and keys --------------------------------------------------
    int StitchItem(int current, int previous, StitchWorkArea& work, int templateSize,
                   int searchRange);
    // Stitches every strip of the page to the one before it, in order.
    // `progress` (may be empty) hears (done, total) after each strip.
    using Progress = std::function<void(int done, int total)>;
    void AutoAlign(int page, int perPage, StitchWorkArea& work, int templateSize, int searchRange,
                   const Progress& progress = {});
    // Qt::Key_Left / Key_Right turn the strip by `big` ? 10 : 1 columns,
    // Key_Down / Key_Up show more or fewer rows.
    void OnItemKey(int index, int key, bool big);

    // --- file ----------------------------------------------------------------
    // Reads the file path into this data set, which is cleared first; shapes
    // are numbered from 0 in file order. On failure nothing of the file is
    // kept and the message is stored in `error`, or shown through the
    // prompter when `error` is null.
    bool LoadSfa(ErrorReport* error = nullptr);
    // Writes the first `count` strips and every shape to the file path
    // through a temporary file; with `saveImages` the modified strips' pixels
    // are written first, as SavePageImages writes them. On any failure the
    // old file stays whole and "保存SFA文件失败" is reported as for LoadSfa.
    bool SaveSfa(int count, bool saveImages, ErrorReport* error = nullptr);
    // The texts a save writes with '?' in place of characters the file
    // cannot hold (SfaUnfitTexts of the header and every shape).
    std::vector<SfaUnfitText> UnfitTexts() const;

    // What the file at the file path holds for this data set now. Another
    // window or another copy of the program may have saved over it since
    // this data set read or wrote it; a save then asks before it replaces it.
    enum class DiskFile {
        None,    // no file there
        Same,    // what this data set last read or wrote there
        Changed, // read or written here, rewritten by someone else since
        Other,   // a file this data set has neither read nor written
    };
    DiskFile fileOnDisk() const;
    // The first strip picture a save would write over that another window or
    // program rewrote since this data set read or wrote it; empty when none.
    QString changedStripFile() const;

private:
    struct Item {
        std::unique_ptr<CUnWrapImage> image;
        bool modified = false;
        // The picture the strip was read from or last written to; empty for
        // a strip that has none yet (a capture).
        QString file;
        // Digest of that picture's bytes then: a save compares it with what
        // the file holds now.
        QByteArray fileDigest;
    };

    void drawPage(QPainter& painter, float zoom, float aspect, int page, int perPage,
                  int selectedIndex, float pxPerMm, int labelMode, bool zoomable) const;
    void clearSelection(int topDepth, float pxPerRadian, float pxPerMm,
                        const Invalidate& invalidate);
    // False with the reason in `error`, or with `error` left empty when the
    // strip has no picture at all (see missingPictureReport).
    bool loadStripPixels(Item& item, ErrorReport* error);
    // The report of strip `index` without any picture, naming the file the
    // survey holds for it.
    ErrorReport missingPictureReport(int index) const;
    // The extension (as written) of the picture read for the strip nearest to
    // `index` that was read from one named by its depth; empty when none was.
    QString surveyPictureSuffix(int index) const;
    // Writes a modified strip's pixels into its picture; the reason, or
    // the file's name, in `error` when that failed.
    bool writeStrip(Item& item, ErrorReport* error);

    // A deque: a survey moving up adds every strip at the front.
    std::deque<Item> items_;
    std::vector<std::unique_ptr<CAttitudeShape>> shapes_;
    std::vector<CAttitudeShape*> selection_;
    QString filePath_;
    QString imageDirectory_;
    SfaHeader header_;
    bool modified_ = false;
    // Files larger than this are no analysis file: 10,000 strips and 10,000
    // shapes with long descriptions stay far below it.
    static constexpr qint64 kMaxSfaBytes = 256ll * 1024 * 1024;
    // Digest of the bytes last read from or written to the file path; empty
    // before either. What is on disk is compared by content: a rewrite within
    // the same clock tick, of the same size, is still a change.
    QByteArray diskDigest_;
};

} // namespace bc

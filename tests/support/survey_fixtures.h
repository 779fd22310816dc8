#pragma once
// Strips of known pixels, surveys of N strips and strip views built as the
// windows build them, shared by the analysis tests.

#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "support/file_bytes.h"
#include "support/strip_fill.h"

#include <QColor>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace bc::test {

// A white w x h picture with `draw` applied, the painter's origin at `origin`.
template <typename Draw> QImage painted(int w, int h, Draw draw, QPoint origin = {})
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        p.translate(origin);
        draw(p);
    }
    return img;
}

// A strip `width` columns wide of `rows` buffer rows (row 0 is drawn at the
// bottom) whose pixel (x, row) is colour(x, row); `shown` rows are shown
// (-1: all of them).
template <typename Colour>
std::unique_ptr<CUnWrapImage> colourStrip(int32_t key, int width, int rows, Colour colour,
                                          int shown = -1)
{
    auto item = std::make_unique<CUnWrapImage>(filledStrip(
        width, rows,
        [&](int x, int y, int c) {
            const QRgb rgb = colour(x, y);
            return c == 0 ? qBlue(rgb) : c == 1 ? qGreen(rgb) : qRed(rgb);
        },
        0, key));
    if (shown >= 0) {
        item->shownHeight = shown;
        item->header.setSize(width, shown);
    }
    return item;
}

inline std::unique_ptr<CUnWrapImage> flatStrip(int32_t key, int width, int rows, QRgb colour,
                                               int shown = -1)
{
    return colourStrip(
        key, width, rows, [colour](int, int) { return colour; }, shown);
}

// A strip whose rows differ from each other and from those of other depths.
inline std::unique_ptr<CUnWrapImage> rowStrip(int32_t key, int width = 8, int rows = 6,
                                              int shown = -1)
{
    return colourStrip(
        key, width, rows,
        [key](int, int y) { return qRgb(255 - y * 10, std::abs(key) % 200, y * 10); }, shown);
}

// A data set of `count` strips at depths first, first + step, ...
inline void addStrips(CUnWrapData& d, int count, int32_t first = 1000, int32_t step = 100,
                      int width = 8, int rows = 6, bool captured = true)
{
    for (int i = 0; i < count; ++i)
        d.InsertImage(rowStrip(first + step * i, width, rows), captured);
}

inline std::vector<int32_t> depthKeys(const CUnWrapData& d)
{
    std::vector<int32_t> v;
    for (int i = 0; i < d.GetItemCount(); ++i)
        v.push_back(d.GetItem(i)->depthKey);
    return v;
}

// The strips that hold their pixels.
inline std::vector<int> residentStrips(const CUnWrapData& d)
{
    std::vector<int> held;
    for (int i = 0; i < d.GetItemCount(); ++i)
        if (d.GetItem(i)->hasPixels())
            held.push_back(i);
    return held;
}

// `strip` with its picture moved `columns` to the right around the hole,
// every row (what the right arrow does to a selected strip).
inline CUnWrapImage movedRight(const CUnWrapImage& strip, int columns)
{
    CUnWrapImage moved(strip);
    const int w = strip.width;
    for (int y = 0; y < strip.rows && w > 0; ++y)
        for (int x = 0; x < w; ++x)
            std::copy_n(strip.row(y) + 3 * (((x - columns) % w + w) % w), 3, moved.row(y) + 3 * x);
    return moved;
}

// Mean difference per byte of buffer rows first..end-1 of two strips; 255
// when they differ in size or either has no such rows.
inline double meanDifference(const CUnWrapImage& a, const CUnWrapImage& b, int first, int end)
{
    if (a.width != b.width || end > std::min(a.rows, b.rows) || first < 0 || end <= first)
        return 255;
    double sum = 0;
    for (int y = first; y < end; ++y)
        for (int i = 0; i < a.width * 3; ++i)
            sum += std::abs(int(a.row(y)[i]) - int(b.row(y)[i]));
    return sum / (double(end - first) * a.width * 3);
}

// A survey read back from its index and strip files, as after a crash;
// `missing` counts the strip files that could not be read.
inline std::unique_ptr<CUnWrapData> reloadSurvey(const QString& sfa, int* missing = nullptr)
{
    auto d = std::make_unique<CUnWrapData>(sfa, QFileInfo(sfa).absolutePath());
    ErrorReport error;
    if (!d->LoadSfa(&error))
        return nullptr;
    for (int p = 0; missing && p < d->GetPageCount(10); ++p)
        *missing += d->LoadPageImages(p, 10);
    return d;
}

// The capture format (0 JPEG, 1 BMP) for the life of a test.
class CaptureFormatScope {
  public:
    explicit CaptureFormatScope(int format) : saved_(currentCaptureFormat.load())
    {
        currentCaptureFormat = format;
    }
    ~CaptureFormatScope() { currentCaptureFormat = saved_; }

  private:
    int saved_;
};

// A strip view as the windows build it, over a survey folder: form mode 1
// (live) and 2 (recording) record into survey.sfa of the folder.
struct StripViewFixture {
    QTemporaryDir dir;
    CSurveyParams settings;
    int formMode = 0;
    std::unique_ptr<CUnWrapView> view;

    explicit StripViewFixture(int mode = 0, int perPage = 10) : formMode(mode)
    {
        settings.itemsPerPage = perPage;
    }
    // Builds the view; settings changed before this call are seen by it.
    CUnWrapView& build()
    {
        WorkspaceContext ctx;
        ctx.settings = &settings;
        ctx.formMode = [this] { return formMode; };
        if (formMode) {
            ctx.recordingSfaPath = sfaPath();
            ctx.recordingFolder = dir.path();
        }
        view = std::make_unique<CUnWrapView>(ctx);
        if (formMode)
            view->BindLiveSurvey(); // as the live window does
        view->resize(400, 300);
        return *view;
    }
    QString sfaPath() const { return dir.filePath(QStringLiteral("survey.sfa")); }
};

} // namespace bc::test

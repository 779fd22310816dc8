#include "analysis/unwrap_data.h"

#include "analysis/file_digest.h"
#include "analysis/page_painter.h"
#include "core/atomic_file.h"
#include "core/c_number.h"
#include "core/jpeg_file.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "platform/prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <utility>
#include <vector>

namespace bc {

namespace {

// No page reaches this far down; strips below it are not painted.
constexpr int kMaxPaintedTop = 1 << 24;

// Diameters below this are raised to it, as the test-parameter dialog does.
constexpr int kMinDiameter = 50;

void report(ErrorReport* error, const QString& text)
{
    if (error)
        reportError(error, text, QStringLiteral("出错"), MB_ICONERROR);
    else
        messageBox(text, QStringLiteral("出错"), MB_ICONERROR);
}

// The strip file of `key` with extension `ext` in `dir`, matched without
// regard to the extension's case; empty when there is none.
QString findStripFile(const QString& dir, int32_t key, const QString& ext)
{
    const QString exact = QStringLiteral("%1/%2.%3").arg(dir, QString::number(key), ext);
    if (QFileInfo::exists(exact))
        return exact;
    const QString stem = QString::number(key);
    const QStringList names = QDir(dir).entryList({stem + QStringLiteral(".*")}, QDir::Files);
    for (const QString& name : names)
        if (name.size() == stem.size() + 1 + ext.size() && name.startsWith(stem) &&
            name.mid(stem.size() + 1).compare(ext, Qt::CaseInsensitive) == 0)
            return QStringLiteral("%1/%2").arg(dir, name);
    return {};
}

void drawStrip(QPainter& painter, const CUnWrapImage& item, const QRect& target)
{
    if (!item.hasPixels() || item.width <= 0 || target.isEmpty())
        return;
    const int shown = std::min(item.shownHeight, item.rows);
    if (shown <= 0 || qint64(item.width) * 3 > item.stride)
        return;
    // Buffer row 0 is the strip's bottom row: turn the rows over (a copy is
    // cheaper than a mirrored draw, which takes the painter's slow path).
    const QImage image(item.pixels(), item.width, shown, item.stride, QImage::Format_BGR888);
    painter.drawImage(target, image.mirrored());
}

} // namespace

CUnWrapData::CUnWrapData(const QString& filePath, const QString& imageDirectory)
    : filePath_(filePath), imageDirectory_(imageDirectory)
{
    SetDefaults();
}

CUnWrapData::~CUnWrapData()
{
    Clear();
}

void CUnWrapData::SetDefaults()
{
    header_ = SfaHeader{};
}

void CUnWrapData::CopyHeaderFromSettings(const CSurveyParams& s)
{
    header_.startDepth = s.startDepth;
    header_.samplingStep = static_cast<int32_t>(s.sampleStep);
    header_.moveDirection = static_cast<uint8_t>(s.moveDirection);
    header_.holeType = s.holeType;
    header_.openingDiameter = std::clamp(s.openingDiameter, kMinDiameter, kMaxSfaDiameter);
    header_.finalDiameter = std::max(s.finalDiameter, kMinDiameter);
    header_.elevation = s.collarElevation;
    header_.holeNumber = s.holeNumber;
    header_.holeInclination = s.holeInclination;
    header_.collarCoordinates = s.collarCoordinates;
    header_.testingUnit = s.testUnit;
    header_.tester = s.tester;
    header_.site = s.testSite;
    header_.testTime = s.testDate;
    header_.waterLevel = s.waterLevel;
    header_.inclinedHoleDipDirection = s.inclinedHoleAzimuth;
}

void CUnWrapData::Clear()
{
    selection_.clear();
    shapes_.clear();
    items_.clear();
    header_.savedItemCount = 0;
    header_.savedShapeCount = 0;
    // A new analysis numbers its shapes from 0 again.
    ResetShapeId();
}

// --- strips ------------------------------------------------------------------

int CUnWrapData::InsertImage(std::unique_ptr<CUnWrapImage> item, bool modified)
{
    if (!item)
        return -1;
    const int32_t key = item->depthKey;
    // The strips are kept in ascending depth order: the place is found by
    // halving, whatever order a survey adds them in.
    const auto at = std::lower_bound(items_.begin(), items_.end(), key,
                                     [](const Item& stored, int32_t k) {
                                         return stored.image->depthKey < k;
                                     });
    const int index = int(at - items_.begin());
    modified_ = modified_ || modified;
    if (at != items_.end() && at->image->depthKey == key) {
        at->image->CopyFrom(*item);
        at->modified = at->modified || modified;
        return index;
    }
    items_.insert(at, Item{std::move(item), modified, {}, {}});
    return index;
}

CUnWrapImage* CUnWrapData::GetItem(int i) const
{
    return i >= 0 && i < GetItemCount() ? items_[size_t(i)].image.get() : nullptr;
}

bool CUnWrapData::IsItemModified(int i) const
{
    return i >= 0 && i < GetItemCount() && items_[size_t(i)].modified;
}

void CUnWrapData::SetItemFile(int i, const QString& path)
{
    if (i >= 0 && i < GetItemCount())
        items_[size_t(i)].file = path;
}

void CUnWrapData::SetItemModified(int i, bool modified)
{
    if (i < 0 || i >= GetItemCount())
        return;
    items_[size_t(i)].modified = modified;
    modified_ = modified_ || modified;
}

int CUnWrapData::GetPageCount(int perPage) const
{
    return PageCountFor(GetItemCount(), perPage);
}

// --- shapes ------------------------------------------------------------------

void CUnWrapData::AddShape(std::unique_ptr<CAttitudeShape> shape)
{
    if (!shape)
        return;
    shapes_.push_back(std::move(shape));
    modified_ = true;
}

CAttitudeShape* CUnWrapData::GetShape(int i) const
{
    return i >= 0 && i < GetShapeCount() ? shapes_[size_t(i)].get() : nullptr;
}

CAttitudeShape* CUnWrapData::GetSelectedShape(int i) const
{
    return i >= 0 && i < GetSelectedCount() ? selection_[size_t(i)] : nullptr;
}

int CUnWrapData::HitTestShapes(int x, int y, float topDepth, int bottomDepth, float pxPerRadian,
                               float pxPerMm) const
{
    const int top = truncToInt(topDepth);
    for (const auto& shape : shapes_)
        if (shape->IsInDepthRange(top, bottomDepth) &&
            shape->HitTest(x, y, top, pxPerRadian, pxPerMm) == 1)
            return 1;
    return 0;
}

void CUnWrapData::clearSelection(int topDepth, float pxPerRadian, float pxPerMm,
                                 const Invalidate& invalidate)
{
    for (CAttitudeShape* shape : selection_) {
        shape->SetState(CAttitudeShape::StateNormal);
        if (invalidate)
            invalidate(shape->GetBoundRect(topDepth, pxPerRadian, pxPerMm));
    }
    selection_.clear();
}

int CUnWrapData::SelectShapeAt(int topDepth, int bottomDepth, float pxPerRadian, float pxPerMm,
                               unsigned flags, int x, int y, const Invalidate& invalidate)
{
    // Only what the page shows can be picked on it.
    CAttitudeShape* hit = nullptr;
    for (const auto& shape : shapes_)
        if (shape->IsInDepthRange(topDepth, bottomDepth) &&
            shape->HitTest(x, y, topDepth, pxPerRadian, pxPerMm)) {
            hit = shape.get();
            break;
        }
    auto select = [&](CAttitudeShape* shape) {
        shape->SetState(CAttitudeShape::StateSelected);
        selection_.push_back(shape);
        if (invalidate)
            invalidate(shape->GetBoundRect(topDepth, pxPerRadian, pxPerMm));
    };
    if (flags & kShiftFlag) {
        if (hit && hit->GetState() != CAttitudeShape::StateSelected)
            select(hit);
    } else if (hit) {
        if (hit->GetState() != CAttitudeShape::StateSelected) {
            clearSelection(topDepth, pxPerRadian, pxPerMm, invalidate);
            select(hit);
        }
    } else {
        clearSelection(topDepth, pxPerRadian, pxPerMm, invalidate);
    }
    return hit ? 1 : 0;
}

void CUnWrapData::DeleteSelectedShapes(int topDepth, float pxPerRadian, float pxPerMm,
                                       const Invalidate& invalidate)
{
    for (CAttitudeShape* shape : selection_) {
        const PageRect rect = shape->GetBoundRect(topDepth, pxPerRadian, pxPerMm);
        auto it = std::find_if(shapes_.begin(), shapes_.end(),
                               [shape](const auto& owned) { return owned.get() == shape; });
        if (it != shapes_.end()) {
            shapes_.erase(it);
            modified_ = true;
        }
        if (invalidate)
            invalidate(rect);
    }
    selection_.clear();
}

void CUnWrapData::DrawShapes(QPainter& painter, int, int, int topDepth, int bottomDepth,
                             float pxPerRadian, float pxPerMm) const
{
    for (const auto& shape : shapes_)
        shape->Draw(painter, topDepth, bottomDepth, pxPerRadian, pxPerMm, 1);
}

void CUnWrapData::DrawShapeLabels(QPainter& painter, const int labelBox[4], float pxPerRadian,
                                  float pxPerMm) const
{
    for (const auto& shape : shapes_)
        shape->DrawLabel(painter, labelBox, pxPerRadian, pxPerMm, 1);
}

void CUnWrapData::RecalcAttitudes(float declination)
{
    const float inclination = static_cast<float>(leadingDouble(header_.holeInclination));
    for (const auto& shape : shapes_)
        shape->RecalcAttitude(header_.openingDiameter, inclination,
                              header_.inclinedHoleDipDirection, declination);
    modified_ = true; // the test header they follow was changed
}

// --- pages -------------------------------------------------------------------

std::vector<PageStrip> CUnWrapData::PageStrips(int page, int perPage, int* first) const
{
    const IndexRange range = PageItems(GetItemCount(), page, perPage);
    if (first)
        *first = range.first;
    std::vector<PageStrip> strips;
    strips.reserve(size_t(range.end - range.first));
    for (int i = range.first; i < range.end; ++i) {
        const CUnWrapImage& item = *items_[size_t(i)].image;
        strips.push_back({item.depthKey, item.width, item.shownHeight});
    }
    return strips;
}

void CUnWrapData::ResetPageHeights(int page, int perPage)
{
    const IndexRange range = PageItems(GetItemCount(), page, perPage);
    for (int i = range.first; i < range.end; ++i) {
        CUnWrapImage& item = *items_[size_t(i)].image;
        // A strip without pixels has no rows to show: its recorded height stays.
        if (!item.hasPixels() || item.rows <= 0)
            continue;
        item.shownHeight = item.rows;
        item.header.setSize(item.width, item.shownHeight);
    }
}

void CUnWrapData::FreePageBits(int page, int perPage)
{
    const IndexRange range = PageItems(GetItemCount(), page, perPage);
    for (int i = range.first; i < range.end; ++i) {
        Item& item = items_[size_t(i)];
        // Pixels not yet written (a live capture, a stitch, a turn, a failed
        // page save) exist nowhere else: they stay until a save writes them.
        if (item.modified && item.image->hasPixels())
            continue;
        item.image->freePixels();
    }
}

void CUnWrapData::FreeBitsOffPage(int page, int perPage)
{
    const IndexRange range = PageItems(GetItemCount(), page, perPage);
    for (int i = 0; i < GetItemCount(); ++i) {
        Item& item = items_[size_t(i)];
        if ((i < range.first || i >= range.end) && !item.modified)
            item.image->freePixels();
    }
}

bool CUnWrapData::writeStrip(Item& item, ErrorReport* error)
{
    // A strip goes back into its own picture whatever the capture format is
    // now: a picture of the other format beside it would hide the edit, or
    // be hidden by the old one.
    const CUnWrapImage& strip = *item.image;
    const QString path = !item.file.isEmpty()               ? item.file
                         : currentCaptureFormat.load() == 1 ? strip.bmpPath(imageDirectory_)
                                                            : strip.jpgPath(imageDirectory_);
    ErrorReport why;
    const bool saved = path.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive)
                           ? strip.SaveBmpFile(path, &why)
                           : strip.SaveJpgFile(path, &why);
    if (!saved) {
        if (error)
            *error = why.isEmpty() ? ErrorReport{path, QString(), 0} : why;
        return false;
    }
    item.file = path;
    item.fileDigest = FileDigest(path);
    item.modified = false;
    return true;
}

bool CUnWrapData::SavePageImages(int page, int perPage, ErrorReport* error)
{
    const IndexRange range = PageItems(GetItemCount(), page, perPage);
    bool ok = true;
    for (int i = range.first; i < range.end; ++i) {
        Item& item = items_[size_t(i)];
        if (!item.modified || !item.image->hasPixels())
            continue;
        if (!writeStrip(item, ok ? error : nullptr))
            ok = false;
    }
    return ok;
}

bool CUnWrapData::loadStripPixels(Item& stored, ErrorReport* error)
{
    CUnWrapImage& item = *stored.image;
    const auto readFrom = [&stored, &item](const QString& path, ErrorReport* why) {
        const bool bmp = path.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive);
        if (!(bmp ? item.LoadBmpFile(path, why) : item.LoadJpgFile(path, why)))
            return false;
        stored.file = path;
        stored.fileDigest = FileDigest(path);
        return true;
    };
    // The picture it was read from before (or chosen for it) stays its
    // picture, whatever the capture format is now.
    if (!stored.file.isEmpty() && QFileInfo(stored.file).isFile())
        return readFrom(stored.file, error);
    const bool bmpFirst = currentCaptureFormat.load() == 1;
    const QString exts[2] = {bmpFirst ? QStringLiteral("bmp") : QStringLiteral("jpg"),
                             bmpFirst ? QStringLiteral("jpg") : QStringLiteral("bmp")};
    ErrorReport first;
    for (const QString& ext : exts) {
        const QString path = findStripFile(imageDirectory_, item.depthKey, ext);
        if (path.isEmpty())
            continue;
        ErrorReport why;
        if (readFrom(path, &why))
            return true;
        if (first.isEmpty())
            first = why;
    }
    if (error)
        *error = first;
    // No picture at all (nothing in `error`): LoadPageImages names it.
    return false;
}

QString CUnWrapData::surveyPictureSuffix(int index) const
{
    const int count = GetItemCount();
    for (int d = 1; index - d >= 0 || index + d < count; ++d)
        for (const int j : {index - d, index + d}) {
            if (j < 0 || j >= count || items_[size_t(j)].file.isEmpty())
                continue;
            const QFileInfo file(items_[size_t(j)].file);
            if (file.completeBaseName() == QString::number(items_[size_t(j)].image->depthKey))
                return file.suffix();
        }
    return {};
}

ErrorReport CUnWrapData::missingPictureReport(int index) const
{
    // The picture the strip was read from or written to is the one missing;
    // a strip of a survey just opened has the kind of picture the survey's
    // strips around it were read from; failing both, every name looked for.
    const Item& stored = items_[size_t(index)];
    if (!stored.file.isEmpty())
        return JpegFile::OpenFailureReport({stored.file});
    const CUnWrapImage& item = *stored.image;
    const QString suffix = surveyPictureSuffix(index);
    if (!suffix.isEmpty())
        return JpegFile::OpenFailureReport(
            {QStringLiteral("%1/%2.%3")
                 .arg(imageDirectory_, QString::number(item.depthKey), suffix)});
    const QString jpg = item.jpgPath(imageDirectory_), bmp = item.bmpPath(imageDirectory_);
    return JpegFile::OpenFailureReport(currentCaptureFormat.load() == 1 ? QStringList{bmp, jpg}
                                                                        : QStringList{jpg, bmp});
}

int CUnWrapData::LoadPageImages(int page, int perPage, ErrorReport* error)
{
    // One report for the page, naming every strip that could not be read
    // (the first few of them, and how many more).
    constexpr int kNamed = 5;
    const IndexRange range = PageItems(GetItemCount(), page, perPage);
    std::vector<std::pair<int, ErrorReport>> failed; // the strip and why
    for (int i = range.first; i < range.end; ++i) {
        Item& item = items_[size_t(i)];
        if (item.image->hasPixels())
            continue; // a live strip not yet written keeps its pixels
        ErrorReport why;
        if (!loadStripPixels(item, &why))
            failed.emplace_back(i, why);
    }
    const int failures = int(failed.size());
    ErrorReport all;
    for (int k = 0; error && k < failures && k < kNamed; ++k) {
        // A strip without any picture is named once the page's other strips
        // are read: they tell which picture the survey holds for it.
        const ErrorReport why = failed[size_t(k)].second.isEmpty()
                                    ? missingPictureReport(failed[size_t(k)].first)
                                    : failed[size_t(k)].second;
        all = {all.isEmpty() ? why.text : all.text + QLatin1Char('\n') + why.text, why.caption,
               why.style};
    }
    if (failures > kNamed)
        all.text += QStringLiteral("\n……另有%1个条带图像无法读取").arg(failures - kNamed);
    if (failures > 0 && error)
        *error = all;
    return failures;
}

void CUnWrapData::DrawPage(QPainter& painter, int page, int perPage, int selectedIndex,
                           float pxPerMm, int labelMode) const
{
    drawPage(painter, 1.0f, 1.0f, page, perPage, selectedIndex, pxPerMm, labelMode, false);
}

void CUnWrapData::DrawPageDib(QPainter& painter, float zoom, float aspect, int page, int perPage,
                              int selectedIndex, float pxPerMm, int labelMode) const
{
    drawPage(painter, ClampZoom(zoom), aspect, page, perPage, selectedIndex, pxPerMm, labelMode,
             true);
}

int CUnWrapData::DrawPageStrips(QPainter& painter, float zoom, float aspect, int page,
                                int perPage) const
{
    const IndexRange range = PageItems(GetItemCount(), page, perPage);
    zoom = ClampZoom(zoom);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom != 1.0f || aspect != 1.0f);
    int top = 0;
    int i = range.first;
    for (; i < range.end && top <= kMaxPaintedTop; ++i) {
        const CUnWrapImage& item = *items_[size_t(i)].image;
        const int h = ScaledStripHeight(item.shownHeight, zoom);
        drawStrip(painter, item,
                  paintRectSized(0, top, truncToInt(float(item.width) * zoom * aspect), h));
        top = satAdd(top, h);
    }
    painter.restore();
    return i;
}

void CUnWrapData::drawPage(QPainter& painter, float zoom, float aspect, int page, int perPage,
                           int selectedIndex, float pxPerMm, int labelMode, bool zoomable) const
{
    const IndexRange range = PageItems(GetItemCount(), page, perPage);
    if (range.end <= range.first)
        return;
    painter.save();
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(14);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::Serif);
    painter.setFont(font);
    const QPen red(QColor(255, 0, 0), 1, Qt::SolidLine);
    const QPen text(Qt::black);
    painter.setPen(red);
    painter.setBrush(QColor(255, 0, 0));
    const int drawn = DrawPageStrips(painter, zoom, aspect, page, perPage);

    int top = 0;
    for (int i = range.first; i < drawn; ++i) {
        const CUnWrapImage& item = *items_[size_t(i)].image;
        const int h = ScaledStripHeight(item.shownHeight, zoom);
        if (labelMode == 1) {
            painter.setPen(text);
            DrawDepthLabel(painter, paintRectSized(-kLabelColumn, top, kLabelColumn, 15),
                           QString::asprintf("%.2fm", double(item.depthKey) * 0.001));
            painter.setPen(red);
        }
        if (i == selectedIndex) {
            if (zoomable) {
                const int s = int(std::clamp<int64_t>(int64_t(h) - 15, 5, 20));
                painter.drawEllipse(paintRectSized(-20, int64_t(top) + 15, s, s));
            } else {
                painter.drawEllipse(paintRectSized(-20, int64_t(top) + 15, 30, 30));
            }
        }
        top = satAdd(top, h);
    }

    if (labelMode == 0) {
        const int32_t d0 = items_[size_t(range.first)].image->depthKey;
        const int32_t d1 = items_[size_t(range.end - 1)].image->depthKey;
        const QPen tickPen = zoomable ? QPen(Qt::black, 1) : red;
        for (const DepthMark& m : DepthScaleMarks(d0, d1, pxPerMm, zoomable)) {
            painter.setPen(text);
            if (m.labelled)
                DrawDepthLabel(painter, m.label.toQRect(),
                               QString::asprintf("%.2fm", double(m.depth) * 0.001));
            if (m.tick) {
                painter.setPen(tickPen);
                painter.drawLine(-35, paintClamp(m.y), 0, paintClamp(m.y));
            }
        }
    }
    painter.restore();
}

PageRect CUnWrapData::GetItemRect(int part, int page, int perPage, float scale, int index) const
{
    int first = 0;
    const std::vector<PageStrip> strips = PageStrips(page, perPage, &first);
    return PageItemRect({first, strips}, part, ClampZoom(scale), index);
}

int CUnWrapData::HitTestItem(int page, int perPage, int x, int y, float scale) const
{
    int first = 0;
    const std::vector<PageStrip> strips = PageStrips(page, perPage, &first);
    return PageHitTestItem({first, strips}, x, y, ClampZoom(scale));
}

QSize CUnWrapData::GetPageSize(int page, int perPage, float scale, float aspect) const
{
    if (items_.empty())
        return {700, 1200};
    int first = 0;
    const std::vector<PageStrip> strips = PageStrips(page, perPage, &first);
    return PageSizeOf({first, strips}, ClampZoom(scale), aspect);
}

void CUnWrapData::GetPageExtent(int page, int perPage, float scale, float aspect, int& width,
                                int& height) const
{
    if (items_.empty()) {
        width = 600;
        height = 100;
        return;
    }
    int first = 0;
    const std::vector<PageStrip> strips = PageStrips(page, perPage, &first);
    const QSize size = PageExtentOf({first, strips}, ClampZoom(scale), aspect);
    width = size.width();
    height = size.height();
}

double CUnWrapData::GetPageAspect(int page, int perPage, int diameter, float scale) const
{
    int first = 0;
    std::vector<PageStrip> strips = PageStrips(page, perPage, &first);
    // A page of one strip has no depth span of its own: rather than at its
    // full width, many times wider than the others, it is shown at the
    // stretch of the page before it.
    if (strips.size() == 1 && page > 0)
        strips = PageStrips(page - 1, perPage, &first);
    return PageAspectOf({first, strips}, diameter, ClampZoom(scale));
}

int CUnWrapData::GetPageDepthScale(int page, int perPage, float scale, int& topDepth,
                                   int& bottomDepth, float& pxPerMm) const
{
    int first = 0;
    const std::vector<PageStrip> strips = PageStrips(page, perPage, &first);
    PageDepthScale ds;
    if (!PageDepthScaleOf({first, strips}, ClampZoom(scale), ds))
        return 0;
    topDepth = ds.topDepth;
    bottomDepth = ds.bottomDepth;
    pxPerMm = ds.pxPerMm;
    return 1;
}

QPoint CUnWrapData::GetPageHeight(int page, int perPage, int endIndex) const
{
    const int64_t first = int64_t(std::max(page, 0)) * EffectivePerPage(perPage);
    const int64_t end = std::min<int64_t>(endIndex, GetItemCount());
    int64_t sum = 0;
    for (int64_t i = first; i < end; ++i)
        sum += items_[size_t(i)].image->shownHeight;
    return {0, int(std::clamp<int64_t>(sum + 30, INT32_MIN, INT32_MAX))};
}

std::vector<float> CUnWrapData::SamplePageValues(int page, int perPage) const
{
    const IndexRange range = PageItems(GetItemCount(), page, perPage);
    std::vector<float> values;
    values.reserve(size_t((range.end - range.first + 4) / 5));
    for (int i = range.first; i < range.end; i += 5)
        values.push_back(static_cast<float>(double(items_[size_t(i)].image->depthKey) * 0.001));
    return values;
}

// --- stitching and keys ------------------------------------------------------

int CUnWrapData::StitchItem(int current, int previous, StitchWorkArea& work, int templateSize,
                            int searchRange)
{
    CUnWrapImage* cur = GetItem(current);
    if (!cur)
        return 0;
    CUnWrapImage* prev = GetItem(previous);
    const int result = cur->Stitch(prev, work, templateSize, searchRange);
    if (result == 1) {
        // The shown height of this strip and the blended rows of the one
        // before it exist nowhere else now.
        SetItemModified(current, true);
        SetItemModified(previous, true);
    }
    return result;
}

void CUnWrapData::AutoAlign(int page, int perPage, StitchWorkArea& work, int templateSize,
                            int searchRange, const Progress& progress)
{
    const IndexRange range = PageItems(GetItemCount(), page, perPage);
    const int total = range.end - range.first;
    int previous = -1;
    for (int i = range.first; i < range.end; ++i) {
        StitchItem(i, previous, work, templateSize, searchRange);
        previous = i;
        if (progress)
            progress(i - range.first + 1, total);
    }
}

void CUnWrapData::OnItemKey(int index, int key, bool big)
{
    CUnWrapImage* item = GetItem(index);
    if (!item)
        return;
    const int step = big ? 10 : 1;
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        if (!item->hasPixels() || item->width <= 0 || item->rows <= 0)
            return;
        const int width = item->width;
        const size_t bytes = size_t(item->stride) * size_t(item->rows);
        std::unique_ptr<uint8_t[]> turned(new (std::nothrow) uint8_t[bytes]);
        if (!turned)
            return;
        std::copy(item->pixels(), item->pixels() + bytes, turned.get()); // keeps row padding
        const int shift = key == Qt::Key_Left ? step % width : (width - step % width) % width;
        for (int y = 0; y < item->rows; ++y) {
            const uint8_t* src = item->row(y);
            uint8_t* dst = turned.get() + size_t(y) * size_t(item->stride);
            for (int x = 0; x < width; ++x) {
                const int from = (x + shift) % width;
                std::copy(src + from * 3, src + from * 3 + 3, dst + x * 3);
            }
        }
        item->adoptPixels(std::move(turned), item->rows, item->stride);
        break;
    }
    case Qt::Key_Down:
        if (!item->hasPixels())
            return; // no rows to cap at
        item->shownHeight = int(std::min<int64_t>(int64_t(item->shownHeight) + step, item->rows));
        break;
    case Qt::Key_Up: {
        const int64_t shown = int64_t(item->shownHeight) - step;
        item->shownHeight = (shown < 0 || shown > 10000) ? 1 : int(shown);
        break;
    }
    default:
        return;
    }
    item->header.setSize(item->width, item->shownHeight);
    SetItemModified(index, true);
}

// --- file --------------------------------------------------------------------

bool CUnWrapData::LoadSfa(ErrorReport* error)
{
    QFile file(filePath_);
    if (!file.open(QIODevice::ReadOnly)) {
        report(error, QStringLiteral("无法打开文件: '%1'").arg(filePath_));
        return false;
    }
    // A device or pipe has no size to check and may never end: no analysis file.
    if (file.isSequential() || file.size() > kMaxSfaBytes) {
        report(error, QStringLiteral("无法读取SFA文件: '%1'\n文件过大").arg(filePath_));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        report(error, QStringLiteral("无法读取SFA文件: '%1'\n%2").arg(filePath_, file.errorString()));
        return false;
    }
    // The shapes read take their ids from a fresh count.
    Clear();
    SfaContent content;
    content.header = header_;
    QString detail;
    switch (ParseSfa(bytes, content, &detail)) {
    case SfaParse::Ok:
        break;
    case SfaParse::NotSfa:
        // Too short to tell what it was: an analysis file cut short (a
        // full disk, a kill), not a file of another kind.
        if (bytes.size() < 4) {
            report(error, QStringLiteral("无法读取SFA文件: '%1'\n文件已损坏(%2)")
                              .arg(filePath_, bytes.isEmpty()
                                                  ? QStringLiteral("文件是空的")
                                                  : QStringLiteral("只有%1字节").arg(bytes.size())));
            return false;
        }
        report(error, QStringLiteral("请选择\nSFA文件!"));
        return false;
    case SfaParse::UnknownVersion:
    case SfaParse::Damaged:
        report(error, QStringLiteral("无法读取SFA文件: '%1'\n%2").arg(filePath_, detail));
        return false;
    }
    header_ = std::move(content.header);
    modified_ = false;
    diskDigest_ = BytesDigest(bytes);
    for (auto& strip : content.strips)
        items_.push_back(Item{std::move(strip), false, {}, {}});
    shapes_ = std::move(content.shapes);
    return true;
}

std::vector<SfaUnfitText> CUnWrapData::UnfitTexts() const
{
    std::vector<const CAttitudeShape*> shapes;
    shapes.reserve(shapes_.size());
    for (const auto& s : shapes_)
        shapes.push_back(s.get());
    return SfaUnfitTexts(header_, shapes);
}

bool CUnWrapData::SaveSfa(int count, bool saveImages, ErrorReport* error)
{
    const QString failed = QStringLiteral("保存SFA文件失败");
    const int n = std::clamp(count, 0, GetItemCount());
    if (saveImages) {
        ErrorReport first;
        for (int i = 0; i < n; ++i) {
            Item& item = items_[size_t(i)];
            if (item.modified && item.image->hasPixels())
                writeStrip(item, first.isEmpty() ? &first : nullptr);
        }
        if (!first.isEmpty()) {
            report(error, failed + QLatin1Char('\n') + first.text);
            return false;
        }
    }

    std::vector<const CUnWrapImage*> strips;
    strips.reserve(size_t(n));
    for (int i = 0; i < n; ++i)
        strips.push_back(items_[size_t(i)].image.get());
    std::vector<const CAttitudeShape*> shapes;
    shapes.reserve(shapes_.size());
    for (const auto& s : shapes_)
        shapes.push_back(s.get());
    const QByteArray bytes = SerializeSfa(header_, strips, shapes);

    QString why;
    if (!WriteFileAtomically(filePath_, bytes, &why)) {
        report(error, failed + QLatin1Char('\n') + why);
        return false;
    }
    modified_ = false;
    diskDigest_ = BytesDigest(bytes);
    header_.version = 1;
    header_.savedItemCount = n;
    header_.savedShapeCount = int32_t(shapes_.size());
    return true;
}

} // namespace bc

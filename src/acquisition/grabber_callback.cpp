#include "acquisition/grabber_callback.h"

#include "acquisition/shared_frame.h"
#include "core/jpeg_file.h"
#include "core/program_values.h"
#include "platform/prompter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>

#include <cstring>
#include <limits>

namespace bc {

namespace {

// Tells the user about a failed write from the event loop: the streaming
// thread never shows anything itself, and the raw-frame view may call in
// holding the frame lock, under which no box may be shown.
void reportWriteFailure(const ErrorReport& error)
{
    if (error.isEmpty())
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app, [error] { messageBox(error.text, error.caption, error.style); },
        Qt::QueuedConnection);
}

// A 24-bit BMP of packed top-down red-green-blue rows, through the image
// core: the file holds its rows bottom-up, blue first.
bool writeRgbAsBmp(const QString& path, const uint8_t* rgb, int width, int height,
                   ErrorReport* error)
{
    const auto w = static_cast<uint32_t>(width);
    const auto h = static_cast<uint32_t>(height);
    const PixelBuffer bgr = JpegFile::UnpadRows(rgb, w, h, w * 3);
    if (!bgr) {
        reportError(error, QStringLiteral("无法写入图像文件: %1\n内存不足").arg(path),
                    QStringLiteral("出错"), MB_ICONSTOP);
        return false;
    }
    JpegFile::FlipRowsVertically(bgr.get(), w * 3, h);
    JpegFile::SwapRedBlue(bgr.get(), w, h);
    // The image core says why a write failed (a full disk, no permission).
    return JpegFile::SaveBmpFile(path, bgr.get(), w, h, 24, error);
}

// The image core's writers: a ".bmp" name gives a 24-bit BMP, any other a
// colour JPEG of quality 75.
CGrabberCallback::JpegWriter defaultCaptureWriter()
{
    return [](const QString& path, const uint8_t* rgb, int width, int height,
              ErrorReport* error) {
        if (path.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive))
            return writeRgbAsBmp(path, rgb, width, height, error);
        return JpegFile::WriteRgbAsJpeg(path, rgb, static_cast<uint32_t>(width),
                                        static_cast<uint32_t>(height), true, 75, error);
    };
}

// "<folder>/<stem>.<extension>", filled in one pass: a '%' in the folder is
// no placeholder.
QString captureName(const QString& folder, const QString& stem, const QString& extension)
{
    return QStringLiteral("%1/%2.%3").arg(folder, stem, extension);
}

// The stem a taken capture name moves to.
QString suffixedStem(int number, int suffix)
{
    return QStringLiteral("%1_%2").arg(number).arg(suffix);
}

QString capturedExtension()
{
    return currentCaptureFormat.load() == 1 ? QStringLiteral("bmp") : QStringLiteral("jpg");
}

} // namespace

QString captureFileName(const QString& folder, int number)
{
    return captureName(folder, QString::number(number), capturedExtension());
}

QString captureFileName(const QString& folder, int number, int suffix)
{
    return captureName(folder, suffixedStem(number, suffix), capturedExtension());
}

void packBottomUp(const uchar* bgr, int width, int height, int stride, uint8_t* dst)
{
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        std::memcpy(dst + static_cast<std::size_t>(height - 1 - y) * row,
                    bgr + static_cast<std::ptrdiff_t>(y) * stride, row);
}

CGrabberCallback::CGrabberCallback()
    : writer_(defaultCaptureWriter())
{
}

void CGrabberCallback::SetTarget(const QString& name, const QString& folder, int number)
{
    std::lock_guard<std::mutex> lock(targetMutex_);
    targetName_ = name;
    targetFolder_ = folder;
    targetNumber_ = number;
}

QString CGrabberCallback::targetName() const
{
    std::lock_guard<std::mutex> lock(targetMutex_);
    return targetName_;
}

QString CGrabberCallback::lastSavedPath() const
{
    std::lock_guard<std::mutex> lock(targetMutex_);
    return lastSaved_;
}

void CGrabberCallback::setJpegWriter(JpegWriter writer)
{
    std::lock_guard<std::mutex> lock(targetMutex_);
    writer_ = writer ? std::move(writer) : defaultCaptureWriter();
}

void CGrabberCallback::registerFrameTarget(QObject* view)
{
    std::lock_guard<std::mutex> lock(viewMutex_);
    view_ = view;
}

void CGrabberCallback::unregisterFrameTarget(QObject* view)
{
    std::lock_guard<std::mutex> lock(viewMutex_);
    if (view_ == view)
        view_ = nullptr;
}

QObject* CGrabberCallback::frameTarget() const
{
    std::lock_guard<std::mutex> lock(viewMutex_);
    return view_;
}

CGrabberCallback::FrameSink CGrabberCallback::sink()
{
    return [this](const uchar* bgr, int width, int height, int stride) {
        BufferCB(bgr, width, height, stride);
    };
}

void CGrabberCallback::BufferCB(const uchar* bgr, int width, int height, int stride)
{
    if (!bgr)
        return;
    // The common case: nobody wants this frame.
    if (!continuousRequest.load(std::memory_order_relaxed) &&
        !oneShotRequest.load(std::memory_order_relaxed))
        return;
    // No capture device delivers more than this; a larger size is damage.
    constexpr int64_t kMaxFramePixels = int64_t(8192) * 8192;
    if (width <= 0 || height <= 0 || stride < static_cast<int64_t>(width) * 3 ||
        static_cast<int64_t>(width) * height > kMaxFramePixels)
        return;

    const bool continuous = continuousRequest.exchange(false);
    frameWidth_.store(width);
    frameHeight_.store(height);

    const std::size_t bytes = static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(height);
    {
        std::lock_guard<std::mutex> lock(frameLock());
        SharedFrame& frame = sharedFrame();
        if (!frame.reserve(bytes)) {
            // Dropped: the requests wait for the next frame, so a live view
            // does not freeze on one frame that found no memory.
            if (continuous)
                continuousRequest.store(true);
            return;
        }
        packBottomUp(bgr, width, height, stride, frame.pixels());
        frame.setSize(width, height);
    }

    bool saveHere = false;
    {
        std::lock_guard<std::mutex> lock(viewMutex_);
        const bool oneShot = oneShotRequest.exchange(false);
        if (view_) {
            if (oneShot)
                QCoreApplication::postEvent(view_, new QEvent(kCaptureCurrentEvent));
            QCoreApplication::postEvent(view_, new QEvent(kFrameReadyEvent));
        } else {
            saveHere = oneShot;
        }
    }
    if (!saveHere)
        return;

    // No view: the frame itself is the capture, written from a private copy
    // (upright, red first) so the shared copy stays as the view expects it.
    const PixelBuffer rgb = JpegFile::UnpadRows(bgr, static_cast<uint32_t>(width),
                                                static_cast<uint32_t>(height),
                                                static_cast<uint32_t>(stride));
    if (!rgb)
        return;
    JpegFile::SwapRedBlue(rgb.get(), static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    writeCapture(rgb.get(), width, height);
}

int CGrabberCallback::SaveFrameJpeg(const uint8_t* pixels, int width, int height, int stride)
{
    if (!pixels || width <= 0 || height <= 0)
        return 0;
    if (stride == 0)
        stride = width * 3;
    if (stride < width * 3)
        return 0;
    if (targetName().isEmpty())
        return 0;
    // A private copy, flipped upright and turned to red-green-blue: the
    // caller's image (the view's strip, the frame copy) is not touched.
    const auto w = static_cast<uint32_t>(width);
    const auto h = static_cast<uint32_t>(height);
    const PixelBuffer rgb = JpegFile::UnpadRows(pixels, w, h, static_cast<uint32_t>(stride));
    if (!rgb)
        return 0;
    JpegFile::FlipRowsVertically(rgb.get(), w * 3, h);
    JpegFile::SwapRedBlue(rgb.get(), w, h);
    writeCapture(rgb.get(), width, height);
    return 0;
}

QString CGrabberCallback::claimTargetName()
{
    // Called with targetMutex_ held.
    if (targetName_.isEmpty())
        return QString();
    if (QFileInfo::exists(targetName_)) {
        // Keep counting until a free name turns up: an existing capture is
        // never overwritten. The free name keeps the target's own format.
        const QString extension = QFileInfo(targetName_).suffix();
        for (int suffix = 1; suffix < std::numeric_limits<int>::max(); ++suffix) {
            const QString candidate =
                captureName(targetFolder_, suffixedStem(targetNumber_, suffix), extension);
            if (!QFileInfo::exists(candidate)) {
                targetName_ = candidate;
                break;
            }
        }
    }
    return targetName_;
}

bool CGrabberCallback::writeCapture(const uint8_t* rgbTopDown, int width, int height)
{
    QString path;
    JpegWriter writer;
    {
        std::lock_guard<std::mutex> lock(targetMutex_);
        path = claimTargetName();
        writer = writer_;
    }
    if (path.isEmpty() || !writer)
        return false;
    ErrorReport error;
    const bool ok = writer(path, rgbTopDown, width, height, &error);
    if (ok) {
        std::lock_guard<std::mutex> lock(targetMutex_);
        lastSaved_ = path;
    } else {
        reportWriteFailure(error);
    }
    return ok;
}

CGrabberCallback& grabberCallback()
{
    static CGrabberCallback grabber;
    return grabber;
}

int nextCaptureNumber(bool recording, int& counter)
{
    if (recording)
        return currentDepthHeading().depth;
    return counter++;
}

void requestCapture(const QString& folder, int number)
{
    grabberCallback().SetTarget(captureFileName(folder, number), folder, number);
    oneShotRequest.store(true);
}

} // namespace bc

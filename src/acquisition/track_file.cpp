#include "acquisition/track_file.h"

#include "platform/prompter.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include <unistd.h>

namespace bc {

void encodeTrackRecord(const TrackRecord& record, uint8_t out[kTrackRecordBytes])
{
    const auto depth = static_cast<uint32_t>(record.depth);
    const auto heading = static_cast<uint16_t>(record.heading);
    out[0] = static_cast<uint8_t>(depth);
    out[1] = static_cast<uint8_t>(depth >> 8);
    out[2] = static_cast<uint8_t>(depth >> 16);
    out[3] = static_cast<uint8_t>(depth >> 24);
    out[4] = static_cast<uint8_t>(heading);
    out[5] = static_cast<uint8_t>(heading >> 8);
}

TrackRecord decodeTrackRecord(const uint8_t in[kTrackRecordBytes])
{
    TrackRecord r;
    const uint32_t depth = static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) |
                           (static_cast<uint32_t>(in[2]) << 16) |
                           (static_cast<uint32_t>(in[3]) << 24);
    const uint16_t heading =
        static_cast<uint16_t>(static_cast<uint16_t>(in[4]) | (static_cast<uint16_t>(in[5]) << 8));
    r.depth = static_cast<int32_t>(depth);
    r.heading = static_cast<int16_t>(heading);
    return r;
}

namespace {

// Index of the "." that starts the file name's extension, or -1.
qsizetype extensionDot(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? dot : -1;
}

} // namespace

QString MakeTrackName(const QString& mpegPath)
{
    const qsizetype dot = extensionDot(mpegPath);
    const QString base = dot >= 0 ? mpegPath.left(dot) : mpegPath;
    return base + QStringLiteral(".ss");
}

// ---- CTrackFile -------------------------------------------------------------

CTrackFile::CTrackFile(Source source, std::chrono::nanoseconds period)
    : source_(std::move(source)), period_(period)
{
}

CTrackFile::~CTrackFile()
{
    Close();
}

bool CTrackFile::OpenTrackForWriting(const QString& path, std::chrono::milliseconds holdFirstRecord,
                                     FailureHandler onFailure)
{
    Close();
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    path_ = path;
    hold_ = std::max(holdFirstRecord, std::chrono::milliseconds(0));
    onFailure_ = std::move(onFailure);
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        stopRequested_ = false;
        released_ = false;
    }
    writeFailed_.store(false);
    writing_.store(true);
    writer_ = std::thread([this] { TrackWriterThread(); });
    return true;
}

void CTrackFile::releaseFirstRecord()
{
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        released_ = true;
    }
    stopCv_.notify_all();
}

bool CTrackFile::OpenTrackForReading(const QString& path)
{
    Close();
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadOnly))
        return false;
    reading_ = true;
    return true;
}

void CTrackFile::Close()
{
    const bool wrote = writer_.joinable();
    if (wrote) {
        {
            std::lock_guard<std::mutex> lock(stopMutex_);
            stopRequested_ = true;
        }
        stopCv_.notify_all();
        writer_.join();
    }
    onFailure_ = nullptr;
    writing_.store(false);
    reading_ = false;
    if (!file_.isOpen())
        return;
    // A write cut short (a full disk) leaves part of a record at the end:
    // the track keeps only whole records.
    if (wrote) {
        const qint64 size = file_.size();
        if (size % kTrackRecordBytes != 0)
            file_.resize(size - size % kTrackRecordBytes);
    }
    file_.close();
}

int CTrackFile::writeRecord(const uint8_t* bytes)
{
    // Written straight to the descriptor, so that a refusal keeps its reason.
    const int fd = file_.handle();
    std::size_t done = 0;
    while (done < kTrackRecordBytes) {
        const ssize_t n = ::write(fd, bytes + done, kTrackRecordBytes - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 ? errno : ENOSPC;
    }
    return 0;
}

void CTrackFile::TrackWriterThread()
{
    using Clock = std::chrono::steady_clock;
    // Deadlines are counted from the start, so waking late never shifts the
    // later records: the track keeps 25 records a second however long it runs.
    const Clock::time_point start = Clock::now();
    long long tick = 0;
    long long owed = 0; // records due when a stop ends the hold
    std::unique_lock<std::mutex> lock(stopMutex_);
    if (hold_.count() > 0) {
        stopCv_.wait_until(lock, start + hold_, [this] { return stopRequested_ || released_; });
        if (stopRequested_ && !released_)
            owed = (Clock::now() - start) / period_ + 1;
    }
    while (!stopRequested_ || tick < owed) {
        lock.unlock();
        const DepthHeading now = source_ ? source_() : DepthHeading{};
        uint8_t bytes[kTrackRecordBytes];
        encodeTrackRecord(TrackRecord{now.depth, static_cast<int16_t>(now.heading)}, bytes);
        const int error = writeRecord(bytes);
        if (error != 0) {
            writeFailed_.store(true);
            if (onFailure_)
                onFailure_(path_, error);
            return;
        }
        lock.lock();
        ++tick;
        const Clock::time_point deadline =
            start + std::chrono::duration_cast<Clock::duration>(period_ * tick);
        stopCv_.wait_until(lock, deadline, [this] { return stopRequested_; });
    }
}

qint64 CTrackFile::recordCount() const
{
    if (!reading_)
        return 0;
    return file_.size() / kTrackRecordBytes;
}

std::optional<TrackRecord> CTrackFile::readRecord(qint64 index)
{
    const qint64 records = recordCount();
    if (records <= 0 || index < 0 || index >= records)
        return std::nullopt;
    if (!file_.seek(index * kTrackRecordBytes))
        return std::nullopt;
    uint8_t bytes[kTrackRecordBytes];
    if (file_.read(reinterpret_cast<char*>(bytes), kTrackRecordBytes) != kTrackRecordBytes)
        return std::nullopt;
    return decodeTrackRecord(bytes);
}

std::optional<TrackRecord> CTrackFile::readAtFraction(double fraction)
{
    const qint64 records = recordCount();
    if (records <= 0)
        return std::nullopt;
    if (!(fraction > 0.0)) // also NaN
        fraction = 0.0;
    const double position = static_cast<double>(records) * fraction;
    qint64 index = position >= static_cast<double>(records) ? records - 1
                                                            : static_cast<qint64>(position);
    return readRecord(index);
}

CTrackFile& trackFile()
{
    static CTrackFile track;
    return track;
}

// ---- Playback ---------------------------------------------------------------

StreamKind streamKindFromHeader(const uint8_t* bytes, std::size_t count)
{
    if (bytes && count >= 4 && bytes[0] == 0x00 && bytes[1] == 0x00 && bytes[2] == 0x01 &&
        bytes[3] == 0xBA)
        return StreamKind::Program;
    return StreamKind::Elementary;
}

bool GetMpegStreamLength(QWidget* form, PlaybackStreamInfo& info, const QString& path)
{
    if (extensionDot(path) < 0) {
        info.streamKind = StreamKind::NoExtension;
        return true;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        messageBox(QStringLiteral("无法打开该文件: %1").arg(path), QStringLiteral("出错"),
                   MB_OK | MB_ICONSTOP, form);
        return false;
    }
    uint8_t head[4] = {0, 0, 0, 0};
    const qint64 got = file.read(reinterpret_cast<char*>(head), 4);
    info.streamKind = streamKindFromHeader(head, got > 0 ? static_cast<std::size_t>(got) : 0);
    return true;
}

bool checkPlayFileName(const QString& path, QString* status, QWidget* parent)
{
    if (!path.isEmpty())
        return true;
    messageBox(QStringLiteral("请先选择一个播放视频文件"), QStringLiteral("出错"),
               MB_OK | MB_ICONSTOP, parent);
    if (status)
        *status = QStringLiteral("文件名为空,播放失败");
    return false;
}

PlaybackPlan planPlayback(const QString& path, const PlaybackStreamInfo& info)
{
    PlaybackPlan plan;
    switch (info.streamKind) {
    case StreamKind::NoExtension:
        plan.status = QStringLiteral("请包含文件扩展名");
        return plan;
    case StreamKind::Program:
        plan.ok = true;
        plan.graphKind = 2;
        plan.mediaPath = path;
        return plan;
    case StreamKind::Elementary: {
        const qsizetype dot = extensionDot(path);
        const QString base = dot >= 0 ? path.left(dot) : path;
        plan.ok = true;
        plan.graphKind = 4;
        plan.audioPath = base + QStringLiteral(".mpa");
        plan.videoPath = base + QStringLiteral(".mpv");
        return plan;
    }
    }
    return plan;
}

QString durationText(qint64 duration100ns)
{
    const qint64 seconds = duration100ns > 0 ? duration100ns / 10000000 : 0;
    return QString::asprintf("%.2d:%.2d:%.2d", static_cast<int>(seconds / 3600),
                             static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

PlaybackTick playbackTick(std::optional<double> fraction, CTrackFile& track)
{
    PlaybackTick tick;
    // A position that is no number is no answer.
    if (!fraction || !std::isfinite(*fraction))
        return tick;
    tick.answered = true;
    // Bounded so the percentage always fits (a graph may overshoot its end).
    const double f = std::clamp(*fraction, -1.0, 2.0);
    tick.percent = static_cast<int>(f * 100);
    if (tick.percent > 99) {
        tick.stop = true;
        return tick;
    }
    if (track.isReading()) {
        tick.record = track.readAtFraction(f);
        if (tick.record)
            publishDepthHeading(tick.record->depth, tick.record->heading);
    }
    return tick;
}

} // namespace bc

#pragma once
// The depth track of a recording and the playback helpers around it.
//
// A track is a headerless file beside the MPEG recording, with the extension
// ".ss": 6-byte little-endian records back to back (int32 depth in
// millimetres, int16 heading in degrees), one every 40 ms while recording.
// Playback maps the position in the film to the same fraction of the track.

#include "core/program_values.h"

#include <QFile>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class QWidget;

namespace bc {

inline constexpr int kTrackRecordBytes = 6;
inline constexpr std::chrono::milliseconds kTrackPeriod{40};

struct TrackRecord {
    int32_t depth = 0;   // millimetres
    int16_t heading = 0; // degrees
};

void encodeTrackRecord(const TrackRecord& record, uint8_t out[kTrackRecordBytes]);
TrackRecord decodeTrackRecord(const uint8_t in[kTrackRecordBytes]);

// The track path of a recording: the extension of the file name (from its
// last ".") replaced by ".ss", or ".ss" appended when the name has none.
QString MakeTrackName(const QString& mpegPath);

// One track file, written by its own thread while recording or read while
// playing back (never both at once).
class CTrackFile {
public:
    using Source = std::function<DepthHeading()>;
    // Told, on the writer's thread and once a recording, that the track can
    // no longer be written: its path and the system's error number (0 when
    // none is known).
    using FailureHandler = std::function<void(const QString& path, int error)>;

    explicit CTrackFile(Source source = currentDepthHeading,
                        std::chrono::nanoseconds period = kTrackPeriod);
    ~CTrackFile();
    CTrackFile(const CTrackFile&) = delete;
    CTrackFile& operator=(const CTrackFile&) = delete;

    // Creates (truncates) the track and starts the writer, which appends the
    // current depth and heading at every period, timed by absolute deadlines.
    // With `holdFirstRecord`, the first record waits until releaseFirstRecord()
    // (the source has a fresh reading) or that long at most; the records whose
    // time has passed meanwhile are then written at once, so the track keeps
    // its pace from the start. A write that fails ends the track and is told
    // to `onFailure`. Returns false when the file cannot be created; any open
    // track is closed first.
    bool OpenTrackForWriting(const QString& path, std::chrono::milliseconds holdFirstRecord = {},
                             FailureHandler onFailure = {});
    // The source's reading is fresh: a held first record is written now.
    void releaseFirstRecord();
    // Opens a track for reading. Returns false when it cannot be opened (a
    // missing track is no error for playback: depth and heading stay).
    bool OpenTrackForReading(const QString& path);
    // Stops the writer, waits for it and closes the file, cut back to whole
    // records (the failure handler is let go); closes a reading track. Safe
    // to call at any time.
    void Close();

    bool isWriting() const { return writing_.load(); }
    bool isReading() const { return reading_; }
    // True once a write failed (the track then ends there).
    bool writeFailed() const { return writeFailed_.load(); }

    // Reading: the number of whole records in the file.
    qint64 recordCount() const;
    // Reading: the record at `fraction` (0..1) of the track, never past the
    // last whole record; none for an empty track or when not reading.
    std::optional<TrackRecord> readAtFraction(double fraction);
    std::optional<TrackRecord> readRecord(qint64 index);

private:
    void TrackWriterThread();
    // Writes one record whole; the system's error number when it could not.
    int writeRecord(const uint8_t* bytes);

    Source source_;
    std::chrono::nanoseconds period_;
    QFile file_;
    QString path_;
    FailureHandler onFailure_;
    std::thread writer_;
    std::mutex stopMutex_;
    std::condition_variable stopCv_;
    bool stopRequested_ = false; // guarded by stopMutex_
    bool released_ = false;      // guarded by stopMutex_
    std::chrono::milliseconds hold_{0};
    std::atomic<bool> writing_{false};
    std::atomic<bool> writeFailed_{false};
    bool reading_ = false;
};

// The process-wide track (the form's recording and playback use it).
CTrackFile& trackFile();

// ---- Playback --------------------------------------------------------------

// What the first bytes of a file to be played say about it.
enum class StreamKind : uint8_t {
    Elementary = 0,  // video elementary stream (or anything unrecognised)
    Program = 1,     // MPEG program stream (pack start code 00 00 01 BA)
    NoExtension = 2, // the file name has no extension
};

// The kind given by the first bytes of a file with an extension: 00 00 01 BA
// is a program stream, anything else (00 00 01 B3 included) an elementary
// stream.
StreamKind streamKindFromHeader(const uint8_t* bytes, std::size_t count);

// The form's playback stream information, cleared at every stop.
struct PlaybackStreamInfo {
    StreamKind streamKind = StreamKind::Elementary;
};

// Examines the file to be played. A name without extension gives kind
// NoExtension without opening anything. A file that cannot be opened shows
// "无法打开该文件: %s" and returns false. Returns true otherwise.
bool GetMpegStreamLength(QWidget* form, PlaybackStreamInfo& info, const QString& path);

// Refuses an empty file field: "请先选择一个播放视频文件" in a box, and the status
// text "文件名为空,播放失败" in `status`.
bool checkPlayFileName(const QString& path, QString* status, QWidget* parent = nullptr);

// How a examined file is played.
struct PlaybackPlan {
    bool ok = false;
    QString status;    // when not ok: the status line text
    int graphKind = 0; // 2 program stream through the device settings, 4 file pair
    QString mediaPath; // kind 2: the capture-device settings' output path
    QString audioPath; // kind 4: base + ".mpa"
    QString videoPath; // kind 4: base + ".mpv"
};
PlaybackPlan planPlayback(const QString& path, const PlaybackStreamInfo& info);

// "%.2d:%.2d:%.2d" of a duration in 100-ns units.
QString durationText(qint64 duration100ns);

// One tick of the 40 ms playback timer. The form shows the record with
// formatDepthMetres ("%.3f米") and formatHeading ("%d度") of the depth counter.
struct PlaybackTick {
    bool answered = false; // the graph gave a position
    bool stop = false;     // past 99 %: stop playback
    int percent = 0;       // slider position
    std::optional<TrackRecord> record; // the track's record of this moment
};
// Computes the tick for the graph's position fraction (none when the graph
// did not answer). A record found in the track is also published as the
// current depth and heading.
PlaybackTick playbackTick(std::optional<double> fraction, CTrackFile& track);

} // namespace bc

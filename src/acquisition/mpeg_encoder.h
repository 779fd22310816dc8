#pragma once
// The recording encoder: BGR frames in, an MPEG program stream file out
// (MPEG-1 for VCD, MPEG-2 for SVCD and DVD, through libavformat's vcd, svcd
// and dvd muxers). Frames are taken at the profile's frame rate, one after
// another; a frame of another size is scaled to the profile's.

#include "acquisition/dvr_settings.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace bc {

class CMpegEncoder {
public:
    CMpegEncoder();
    ~CMpegEncoder(); // finishes an open file
    CMpegEncoder(const CMpegEncoder&) = delete;
    CMpegEncoder& operator=(const CMpegEncoder&) = delete;

    // Creates `path` and writes the stream header. False (with `error` set)
    // when the file cannot be created or the profile cannot be encoded.
    bool open(const QString& path, const EncoderProfile& profile, QString* error = nullptr);
    bool isOpen() const;

    // Encodes one frame: rows top-down, 3 bytes a pixel (blue, green, red),
    // `stride` bytes from row to row. False when it could not be written.
    bool addFrame(const uint8_t* bgr, int width, int height, int stride);

    // Drains the encoder, writes the end of the stream and closes the file.
    // Does nothing when no file is open. False when the file is incomplete.
    bool finish();

    int64_t framesEncoded() const;
    // The system's error number (errno) of the first write that failed, 0
    // when none did or the failure was not the system's.
    int writeErrorNumber() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace bc

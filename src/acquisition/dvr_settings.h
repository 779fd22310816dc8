#pragma once
// The capture device's encoder, input and tuner values, kept under the key the
// device's own software uses, and the encoder profile a recording is made with.

#include <QString>

#include <cstdint>

class QSettings;

namespace bc {

// The key of the capture device's values.
inline constexpr const char* kDvrSettingsKey = "Software\\Cirrus Logic USB-DVR2\\App Settings";

// The store the device values live in when no other is given: an INI file of
// the current user. Tests point it at a file of their own (nullptr restores the
// user's file). Not owned.
void setDvrSettingsStore(QSettings* store);

// One DWORD value under a key. The key is opened for each read or write.
class CRegistryValue {
public:
    // `root` null means the device-values store above.
    explicit CRegistryValue(const char* subkey, QSettings* root = nullptr);

    // The stored value, or `defaultValue` when the key or the value is missing
    // or does not hold a 32-bit number.
    int32_t ReadDword(const char* name, int32_t defaultValue) const;
    // 1 on success, 0 when the store refuses the write.
    int WriteDword(const char* name, int32_t value) const;

private:
    const char* subkey_;
    QSettings* root_;
};

class CDvrAppSettings {
public:
    // Loads from `store` (null: the device-values store).
    explicit CDvrAppSettings(QSettings* store = nullptr);
    CDvrAppSettings(const CDvrAppSettings&) = delete;
    CDvrAppSettings& operator=(const CDvrAppSettings&) = delete;
    // Saves, unless told not to: every destroyed settings object writes its
    // values.
    virtual ~CDvrAppSettings();
    // Whether the destructor saves (default true). A copy that is being
    // edited and may be thrown away is not saved behind the user's back.
    void setSaveOnDestroy(bool save) { saveOnDestroy_ = save; }

    void Load();
    void Save() const;
    // Copies every field, the unpersisted ones included (not the store).
    void Assign(const CDvrAppSettings& other);

    // List-index rules of the video parameters dialog. The Set* rules return
    // the list index to show instead of the chosen one, or -1 to keep it.
    int SetVideoBitrateIndex(int index);
    int GetVideoBitrateIndex() const;
    void SetVideoResolutionIndex(int index);
    int GetVideoResolutionIndex() const;
    void SetAudioBitrateIndex(int index);
    int GetAudioBitrateIndex() const;
    int GetAudioFormatIndex() const;

    // Presets. Audio: 0 "Mpeg (44.1 kHz)", 1 "Mpeg (48.0 kHz)", 2 "LPCM (48.0 kHz)".
    void SetAudioPreset(int audioIndex);
    void SetVcdPreset();
    void SetSvcdPreset();
    void SetDvdPreset();

    int32_t VideoBitrate = 4000000;
    int32_t MuxFormat = 2;       // 0 SVCD, 1 VCD, 2 DVD
    int32_t VideoResolution = 0; // 5 D1 720, 0 D1 704, 1 2/3 D1, 2 1/2 D1, 3 SIF
    int32_t VideoSource = 0;
    int32_t VideoOutput = 0;
    int32_t VideoFormat = 1; // 1 PAL, 0 NTSC
    int32_t Channel = 2;
    int32_t CableAntenna = 1;
    int32_t recordFlag = 0;
    QString mediaPath; // the MPEG file to write or play; any length
    int32_t AudioEncodingFormat = 1; // 1 MPEG, 7 LPCM, 3 further format
    int32_t AudioFrequency = 0;      // 0 44.1 kHz, 1 48 kHz, 2 further rate
    int32_t AudioBitrate = 11;       // 10..14: 192, 224, 256, 320, 384 kbit/s
    int32_t bitrateClass = 0;        // filled by the device: 0 2-12 Mbit/s, 1 2-4 Mbit/s
    int32_t CountryCode = 1;
    int32_t tunerOption = 0;
    int32_t PALType = 0;
    int32_t changeMask = 0xE7;
    int32_t VideoStartDelay = 18000;
    int32_t AudioStartDelay = 18000;

private:
    // The three presets differ only in these; the audio values are shared.
    void applyPreset(int32_t muxFormat, int32_t videoBitrate, int bitrateIndex,
                     int32_t videoResolution);

    QSettings* store_;
    bool saveOnDestroy_ = true;
};

// What the recording encoder writes for a set of device values.
struct EncoderProfile {
    enum Bitstream { Svcd = 0, Vcd = 1, Dvd = 2 };
    enum AudioKind { AudioMpeg, AudioLpcm };

    Bitstream bitstream = Dvd;
    bool mpeg1 = false;        // VCD is MPEG-1 video, the others MPEG-2
    const char* muxer = "dvd"; // libavformat's program-stream muxer
    int width = 720;
    int height = 576;
    int frameRateNum = 25;
    int frameRateDen = 1;
    int gopSize = 15;
    int64_t bitrate = 4000000; // bits per second
    int64_t maxRate = 0;       // 0: unconstrained
    int64_t minRate = 0;
    int bufferSize = 0; // video buffer verifier, bits
    AudioKind audio = AudioMpeg;
    int audioSampleRate = 44100;
    int audioBitrate = 224000;
};

// The encoder profile of `s`: frame size and rate from the video standard and
// the resolution, the bitrate and the bitstream format, the audio format.
// Values a format cannot carry are brought into its limits, so every profile
// this returns can be encoded and multiplexed.
EncoderProfile encoderProfileFor(const CDvrAppSettings& s);

} // namespace bc

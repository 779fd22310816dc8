#include "acquisition/dvr_settings.h"

#include "core/profile_format.h"

#include <QSettings>
#include <QString>

#include <algorithm>
#include <atomic>
#include <memory>

namespace bc {

namespace {

std::atomic<QSettings*> g_store{nullptr};

QString groupOf(const char* subkey)
{
    // QSettings takes both separators; keep the key as the device names it.
    return QString::fromUtf8(subkey).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

// The store to use for one read or write: the given one, the one installed for
// tests, or the user's own file opened for this access only.
class StoreAccess {
public:
    explicit StoreAccess(QSettings* root)
    {
        store_ = root ? root : g_store.load();
        if (!store_) {
            owned_ = std::make_unique<QSettings>(ProfileFormat(QStringLiteral("ini")),
                                                 QSettings::UserScope,
                                                 QStringLiteral("2011 PELK  Corporation"),
                                                 QStringLiteral("USB-DVR2"));
            store_ = owned_.get();
        }
    }
    QSettings& operator*() const { return *store_; }
    QSettings* operator->() const { return store_; }

private:
    QSettings* store_ = nullptr;
    std::unique_ptr<QSettings> owned_;
};

} // namespace

void setDvrSettingsStore(QSettings* store) { g_store.store(store); }

CRegistryValue::CRegistryValue(const char* subkey, QSettings* root) : subkey_(subkey), root_(root)
{
}

int32_t CRegistryValue::ReadDword(const char* name, int32_t defaultValue) const
{
    StoreAccess store(root_);
    const QString key = groupOf(subkey_) + QLatin1Char('/') + QString::fromUtf8(name);
    const QVariant v = store->value(key);
    if (!v.isValid())
        return defaultValue;
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok, 0);
    // A DWORD: anything that does not fit 32 bits was not written by us.
    if (!ok || n < INT32_MIN || n > UINT32_MAX)
        return defaultValue;
    return static_cast<int32_t>(static_cast<uint32_t>(n));
}

int CRegistryValue::WriteDword(const char* name, int32_t value) const
{
    StoreAccess store(root_);
    const QString key = groupOf(subkey_) + QLatin1Char('/') + QString::fromUtf8(name);
    store->setValue(key, static_cast<qlonglong>(static_cast<uint32_t>(value)));
    return SyncProfile(*store) ? 1 : 0;
}

CDvrAppSettings::CDvrAppSettings(QSettings* store) : store_(store)
{
    VideoSource = 0;
    recordFlag = 0;
    mediaPath.clear();
    VideoFormat = 1;
    changeMask = 0xE7;
    Load();
}

CDvrAppSettings::~CDvrAppSettings()
{
    if (saveOnDestroy_)
        Save();
}

void CDvrAppSettings::Load()
{
    const CRegistryValue r(kDvrSettingsKey, store_);
    VideoSource = r.ReadDword("VideoSource", 0);
    VideoOutput = r.ReadDword("VideoOutput", 0);
    VideoFormat = r.ReadDword("VideoFormat", 0);
    AudioEncodingFormat = r.ReadDword("AudioEncodingFormat", 1);
    AudioFrequency = r.ReadDword("AudioFrequency", 0);
    AudioBitrate = r.ReadDword("AudioBitrate", 11);
    VideoResolution = r.ReadDword("VideoResolution", 0);
    VideoBitrate = r.ReadDword("VideoBitrate", 4000000);
    MuxFormat = r.ReadDword("MuxFormat", 2);
    CountryCode = r.ReadDword("CountryCode", 1);
    Channel = r.ReadDword("Channel", 2);
    CableAntenna = r.ReadDword("CableAntenna", 1);
    PALType = r.ReadDword("PALType", 0);
    VideoStartDelay = r.ReadDword("VideoStartDelay", 18000);
    AudioStartDelay = r.ReadDword("AudioStartDelay", 18000);
}

void CDvrAppSettings::Save() const
{
    // A failed write is ignored: the values stay in memory.
    const CRegistryValue r(kDvrSettingsKey, store_);
    r.WriteDword("AudioBitrate", AudioBitrate);
    r.WriteDword("AudioEncodingFormat", AudioEncodingFormat);
    r.WriteDword("AudioFrequency", AudioFrequency);
    r.WriteDword("CableAntenna", CableAntenna);
    r.WriteDword("Channel", Channel);
    r.WriteDword("CountryCode", CountryCode);
    r.WriteDword("MuxFormat", MuxFormat);
    r.WriteDword("PALType", PALType);
    r.WriteDword("VideoBitrate", VideoBitrate);
    r.WriteDword("VideoFormat", VideoFormat);
    r.WriteDword("VideoOutput", VideoOutput);
    r.WriteDword("VideoResolution", VideoResolution);
    r.WriteDword("VideoSource", VideoSource);
    r.WriteDword("VideoStartDelay", VideoStartDelay);
    r.WriteDword("AudioStartDelay", AudioStartDelay);
}

void CDvrAppSettings::Assign(const CDvrAppSettings& o)
{
    VideoBitrate = o.VideoBitrate;
    MuxFormat = o.MuxFormat;
    VideoResolution = o.VideoResolution;
    VideoSource = o.VideoSource;
    VideoOutput = o.VideoOutput;
    VideoFormat = o.VideoFormat;
    Channel = o.Channel;
    CableAntenna = o.CableAntenna;
    recordFlag = o.recordFlag;
    mediaPath = o.mediaPath;
    AudioEncodingFormat = o.AudioEncodingFormat;
    AudioFrequency = o.AudioFrequency;
    AudioBitrate = o.AudioBitrate;
    bitrateClass = o.bitrateClass;
    CountryCode = o.CountryCode;
    tunerOption = o.tunerOption;
    PALType = o.PALType;
    changeMask = o.changeMask;
    VideoStartDelay = o.VideoStartDelay;
    AudioStartDelay = o.AudioStartDelay;
}

int CDvrAppSettings::SetVideoBitrateIndex(int index)
{
    static const int32_t kRates[] = {2000000, 3000000, 4000000, 6000000,
                                     8000000, 10000000, 12000000};
    if (bitrateClass == 0) {
        if (index >= 0 && index <= 6) {
            VideoBitrate = kRates[index];
            return -1;
        }
        VideoBitrate = 4000000;
        return (index == 7 || index == 8) ? 2 : -1;
    }
    if (bitrateClass == 1) {
        if (index == 0 || index == 1) {
            VideoBitrate = kRates[index];
            return -1;
        }
        VideoBitrate = 4000000;
        return (index >= 3 && index <= 8) ? 2 : -1;
    }
    return -1;
}

int CDvrAppSettings::GetVideoBitrateIndex() const
{
    if (bitrateClass == 0) {
        switch (VideoBitrate) {
        case 2000000: return 0;
        case 3000000: return 1;
        case 4000000: return 2;
        case 6000000: return 3;
        case 8000000: return 4;
        case 10000000: return 5;
        case 12000000: return 6;
        default: return 2;
        }
    }
    if (bitrateClass == 1) {
        if (VideoBitrate == 2000000)
            return 0;
        if (VideoBitrate == 3000000)
            return 1;
        return 2;
    }
    return 0;
}

void CDvrAppSettings::SetVideoResolutionIndex(int index)
{
    switch (index) {
    case 1: VideoResolution = 0; break;
    case 2: VideoResolution = 1; break;
    case 3: VideoResolution = 2; break;
    case 4: VideoResolution = 3; break;
    default: VideoResolution = 5; break;
    }
}

int CDvrAppSettings::GetVideoResolutionIndex() const
{
    switch (VideoResolution) {
    case 0: return 1;
    case 1: return 2;
    case 2: return 3;
    case 3: return 4;
    default: return 0;
    }
}

void CDvrAppSettings::SetAudioBitrateIndex(int index)
{
    if (index >= 0 && index <= 4)
        AudioBitrate = 10 + index;
}

int CDvrAppSettings::GetAudioBitrateIndex() const
{
    switch (AudioBitrate) {
    case 11: return 1;
    case 12: return 2;
    case 13: return 3;
    case 14: return 4;
    default: return 0;
    }
}

int CDvrAppSettings::GetAudioFormatIndex() const
{
    if (AudioFrequency == 1)
        return AudioEncodingFormat == 1 ? 1 : 2;
    return 0;
}

void CDvrAppSettings::SetAudioPreset(int audioIndex)
{
    switch (audioIndex) {
    case 0:
        AudioEncodingFormat = 1;
        AudioFrequency = 0;
        break;
    case 1:
        AudioEncodingFormat = 1;
        AudioFrequency = 1;
        break;
    case 2:
        AudioEncodingFormat = 7;
        AudioFrequency = 1;
        break;
    default: break;
    }
}

void CDvrAppSettings::applyPreset(int32_t muxFormat, int32_t videoBitrate, int bitrateIndex,
                                  int32_t videoResolution)
{
    MuxFormat = muxFormat;
    VideoBitrate = videoBitrate;
    SetVideoBitrateIndex(bitrateIndex);
    VideoResolution = videoResolution;
    AudioBitrate = 11;
    AudioEncodingFormat = 1;
    AudioFrequency = 0;
}

void CDvrAppSettings::SetVcdPreset()
{
    applyPreset(1, 1123047, 7, 3);
}

void CDvrAppSettings::SetSvcdPreset()
{
    applyPreset(0, 2343750, 8, 1);
}

void CDvrAppSettings::SetDvdPreset()
{
    applyPreset(2, 2343750, 2, 5);
}

EncoderProfile encoderProfileFor(const CDvrAppSettings& s)
{
    EncoderProfile p;
    const bool pal = s.VideoFormat == 1;
    const int fullHeight = pal ? 576 : 480;
    const int halfHeight = pal ? 288 : 240;
    p.frameRateNum = pal ? 25 : 30000;
    p.frameRateDen = pal ? 1 : 1001;
    p.gopSize = pal ? 15 : 18;

    static const int kAudioKbps[] = {192, 224, 256, 320, 384};
    const int audioIndex = s.AudioBitrate >= 10 && s.AudioBitrate <= 14 ? s.AudioBitrate - 10 : 1;
    const int64_t wanted = s.VideoBitrate > 0 ? s.VideoBitrate : 4000000;

    switch (s.MuxFormat) {
    case 1: // VCD: MPEG-1 at SIF, constant 1150 kbit/s, MPEG audio 224 kbit/s at 44.1 kHz
        p.bitstream = EncoderProfile::Vcd;
        p.mpeg1 = true;
        p.muxer = "vcd";
        p.width = 352;
        p.height = halfHeight;
        p.bitrate = 1150000;
        p.maxRate = 1150000;
        p.minRate = 1150000;
        p.bufferSize = 40 * 1024 * 8;
        p.audio = EncoderProfile::AudioMpeg;
        p.audioSampleRate = 44100;
        p.audioBitrate = 224000;
        break;
    case 0: // SVCD: MPEG-2 at 2/3 D1, at most 2.5 Mbit/s, MPEG audio at 44.1 kHz
        p.bitstream = EncoderProfile::Svcd;
        p.mpeg1 = false;
        p.muxer = "svcd";
        p.width = 480;
        p.height = fullHeight;
        p.maxRate = 2516000;
        p.bitrate = std::clamp<int64_t>(wanted, 1000000, p.maxRate);
        p.bufferSize = 224 * 1024 * 8;
        p.audio = EncoderProfile::AudioMpeg;
        p.audioSampleRate = 44100;
        p.audioBitrate = kAudioKbps[audioIndex] * 1000;
        break;
    default: { // DVD
        p.bitstream = EncoderProfile::Dvd;
        p.mpeg1 = false;
        p.muxer = "dvd";
        switch (s.VideoResolution) {
        case 0: p.width = 704; p.height = fullHeight; break;
        case 1: p.width = 480; p.height = fullHeight; break;
        case 2: p.width = 352; p.height = fullHeight; break;
        case 3: p.width = 352; p.height = halfHeight; break;
        default: p.width = 720; p.height = fullHeight; break;
        }
        // A DVD stream carries at most 9.8 Mbit/s in all; the video keeps
        // room for the sound.
        p.maxRate = 9000000;
        p.bitrate = std::clamp<int64_t>(wanted, 1000000, p.maxRate);
        p.bufferSize = 224 * 1024 * 8;
        // DVD sound is sampled at 48 kHz.
        p.audio = s.AudioEncodingFormat == 7 ? EncoderProfile::AudioLpcm
                                              : EncoderProfile::AudioMpeg;
        p.audioSampleRate = 48000;
        p.audioBitrate = p.audio == EncoderProfile::AudioLpcm ? 48000 * 16 * 2
                                                              : kAudioKbps[audioIndex] * 1000;
        break;
    }
    }
    return p;
}

} // namespace bc

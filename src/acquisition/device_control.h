#pragma once
// The capture device's control: which source stands for the device, whether
// it is there, and the few values that reach it (the input and the video
// standard). A V4L2 implementation drives a real capture node; the test source
// has a control of its own that answers as a present PAL or NTSC device and
// logs what it is given.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <mutex>

class QSettings;

namespace bc {

class CDvrAppSettings;

// The capture source, a setting of this layer:
//   ""                 the first V4L2 capture device (/dev/video*);
//   "/dev/videoN"      that device;
//   "test[:WxH[@FPS]]" GStreamer's test picture, live, default 720x576 at 25.
void setCaptureSource(const QString& source);
QString captureSource();

// Takes the capture source from the profile (section "视频设备", key "设备");
// a missing key means the first V4L2 capture device.
void loadCaptureSource(QSettings& profile);

struct ResolvedSource {
    enum Kind { None, V4l2, Test };
    Kind kind = None;
    QString device; // V4L2 node
    int width = 720;
    int height = 576;
    int fps = 25;
};

// What the setting stands for now. A V4L2 setting that names no usable capture
// node (or an empty setting when there is none) gives None.
ResolvedSource resolveCaptureSource();

// Whether `path` is a V4L2 node that can capture video.
bool isV4l2CaptureNode(const QString& path);
// The first capture node among /dev/video0.. (empty when none).
QString firstV4l2CaptureNode();

// The device's values, in the order of the change mask's bits.
enum class DeviceValue {
    VideoSource,  // bit 0: the input
    VideoOutput,  // bit 1
    VideoFormat,  // bit 2: 1 PAL, 0 NTSC
    CountryCode,  // bit 3
    TunerSetup,   // bit 4: country, cable/antenna, tuner option
    PalType,      // bit 5
    Channel,      // bit 6
    CableAntenna, // bit 7
};

class CDeviceControl {
public:
    virtual ~CDeviceControl();

    // The device answers (its node opens and still captures).
    virtual bool isPresent() = 0;
    // Gives one value to the device. True only when the device took it; the
    // values with no meaning for the device return false and change nothing.
    virtual bool apply(DeviceValue which, int value, int extra1 = 0, int extra2 = 0) = 0;
    // The video standard the device detects on its input: true with `pal`
    // set, or false when it cannot tell.
    virtual bool detectedStandard(bool& pal) = 0;
    // 0: the encoder takes 2 to 12 Mbit/s; 1: 2 to 4 Mbit/s.
    virtual int bitrateClass() = 0;
};

// Control of a V4L2 node: the input through VIDIOC_S_INPUT and the standard
// through VIDIOC_S_STD where the node offers them, the detected standard
// through VIDIOC_QUERYSTD (or the current one).
std::unique_ptr<CDeviceControl> makeV4l2DeviceControl(const QString& device);

// Control of the test source. Every call is logged ("VideoFormat=1", ...).
class CTestSourceControl : public CDeviceControl {
public:
    explicit CTestSourceControl(bool pal) : pal_(pal) {}
    bool isPresent() override;
    bool apply(DeviceValue which, int value, int extra1, int extra2) override;
    bool detectedStandard(bool& pal) override;
    int bitrateClass() override { return 0; }

    QStringList log() const;

    // Shared by every test-source control: the log of all of them, and
    // whether the test device answers (tests unplug it).
    static QStringList takeLog();
    static void setPresent(bool present);

private:
    bool pal_;
};

// The device parameter codes of the acquisition form, answered through
// `control` (null: no device source in the graph, every code gives 0).
// Code 6 applies the values of `settings` selected by its change mask (the
// mask is not changed); 9 reads the standard status byte (address 0x42 0x1F:
// bits 0 and 5 both set for NTSC) into arg[2]; 10 (a register write) is not
// possible here and gives 0; 21 fills settings.bitrateClass; 22 and 26 tell
// whether the device answers; 28 (the streaming switch) is accepted, since the
// graph itself starts and stops the stream. Every other code gives 0.
int deviceParam(CDeviceControl* control, CDvrAppSettings& settings, int code, uint8_t* arg);

} // namespace bc

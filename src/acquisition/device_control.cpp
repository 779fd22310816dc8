#include "acquisition/device_control.h"

#include "acquisition/dvr_settings.h"

#include <QDir>
#include <QSettings>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace bc {

namespace {

std::mutex g_sourceMutex;
QString g_source;

std::mutex g_testLogMutex;
QStringList g_testLog;
std::atomic<bool> g_testPresent{true};

int xioctl(int fd, unsigned long request, void* arg)
{
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r == -1 && errno == EINTR);
    return r;
}

// An open node, closed on scope exit.
class Node {
public:
    explicit Node(const QString& path)
    {
        const QByteArray p = QFile::encodeName(path);
        fd_ = ::open(p.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    }
    ~Node()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

bool capturesVideo(int fd)
{
    v4l2_capability cap{};
    if (xioctl(fd, VIDIOC_QUERYCAP, &cap) != 0)
        return false;
    const uint32_t caps =
        (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    return (caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING);
}

const char* valueName(DeviceValue which)
{
    switch (which) {
    case DeviceValue::VideoSource: return "VideoSource";
    case DeviceValue::VideoOutput: return "VideoOutput";
    case DeviceValue::VideoFormat: return "VideoFormat";
    case DeviceValue::CountryCode: return "CountryCode";
    case DeviceValue::TunerSetup: return "TunerSetup";
    case DeviceValue::PalType: return "PALType";
    case DeviceValue::Channel: return "Channel";
    case DeviceValue::CableAntenna: return "CableAntenna";
    }
    return "?";
}

class V4l2DeviceControl : public CDeviceControl {
public:
    explicit V4l2DeviceControl(QString device) : device_(std::move(device)) {}

    bool isPresent() override
    {
        Node n(device_);
        return n.fd() >= 0 && capturesVideo(n.fd());
    }

    bool apply(DeviceValue which, int value, int, int) override
    {
        Node n(device_);
        if (n.fd() < 0)
            return false;
        switch (which) {
        case DeviceValue::VideoSource: {
            v4l2_input input{};
            input.index = static_cast<uint32_t>(value);
            if (value < 0 || xioctl(n.fd(), VIDIOC_ENUMINPUT, &input) != 0)
                return false; // the node has no such input
            int index = value;
            return xioctl(n.fd(), VIDIOC_S_INPUT, &index) == 0;
        }
        case DeviceValue::VideoFormat: {
            v4l2_std_id std = value == 1 ? V4L2_STD_PAL : V4L2_STD_NTSC;
            return xioctl(n.fd(), VIDIOC_S_STD, &std) == 0;
        }
        default:
            // Output selector, tuner, country and PAL variant have no meaning
            // for a V4L2 capture node: nothing is written.
            return false;
        }
    }

    bool detectedStandard(bool& pal) override
    {
        Node n(device_);
        if (n.fd() < 0)
            return false;
        v4l2_std_id std = 0;
        if (xioctl(n.fd(), VIDIOC_QUERYSTD, &std) != 0 || std == 0) {
            std = 0;
            if (xioctl(n.fd(), VIDIOC_G_STD, &std) != 0 || std == 0)
                return false;
        }
        const bool isNtsc = (std & V4L2_STD_525_60) && !(std & V4L2_STD_625_50);
        const bool isPal = (std & V4L2_STD_625_50) && !(std & V4L2_STD_525_60);
        if (!isNtsc && !isPal)
            return false; // still ambiguous
        pal = isPal;
        return true;
    }

    int bitrateClass() override { return 0; }

private:
    QString device_;
};

} // namespace

CDeviceControl::~CDeviceControl() = default;

void setCaptureSource(const QString& source)
{
    std::lock_guard<std::mutex> lock(g_sourceMutex);
    g_source = source;
}

QString captureSource()
{
    std::lock_guard<std::mutex> lock(g_sourceMutex);
    return g_source;
}

void loadCaptureSource(QSettings& profile)
{
    setCaptureSource(profile.value(QStringLiteral("视频设备/设备")).toString());
}

bool isV4l2CaptureNode(const QString& path)
{
    Node n(path);
    return n.fd() >= 0 && capturesVideo(n.fd());
}

QString firstV4l2CaptureNode()
{
    QDir dev(QStringLiteral("/dev"));
    QStringList nodes = dev.entryList({QStringLiteral("video*")}, QDir::System | QDir::Files);
    static const QRegularExpression digits(QStringLiteral("^video(\\d+)$"));
    QList<std::pair<int, QString>> numbered;
    for (const QString& n : nodes) {
        const auto m = digits.match(n);
        if (m.hasMatch())
            numbered.append({m.captured(1).toInt(), n});
    }
    std::sort(numbered.begin(), numbered.end());
    for (const auto& [number, name] : numbered) {
        const QString path = dev.filePath(name);
        if (isV4l2CaptureNode(path))
            return path;
    }
    return {};
}

ResolvedSource resolveCaptureSource()
{
    ResolvedSource r;
    const QString s = captureSource().trimmed();
    if (s == QLatin1String("test") || s.startsWith(QLatin1String("test:"))) {
        r.kind = ResolvedSource::Test;
        static const QRegularExpression sizePattern(QStringLiteral("^test:(\\d+)x(\\d+)(?:@(\\d+))?$"));
        const auto m = sizePattern.match(s);
        if (m.hasMatch()) {
            const int w = m.captured(1).toInt();
            const int h = m.captured(2).toInt();
            const int fps = m.captured(3).isEmpty() ? 25 : m.captured(3).toInt();
            if (w >= 16 && w <= 4096 && h >= 16 && h <= 4096 && fps >= 1 && fps <= 120) {
                r.width = w;
                r.height = h;
                r.fps = fps;
            }
        }
        if (!g_testPresent.load())
            r.kind = ResolvedSource::None;
        return r;
    }
    const QString node = s.isEmpty() ? firstV4l2CaptureNode() : s;
    if (!node.isEmpty() && isV4l2CaptureNode(node)) {
        r.kind = ResolvedSource::V4l2;
        r.device = node;
    }
    return r;
}

std::unique_ptr<CDeviceControl> makeV4l2DeviceControl(const QString& device)
{
    return std::make_unique<V4l2DeviceControl>(device);
}

bool CTestSourceControl::isPresent() { return g_testPresent.load(); }

bool CTestSourceControl::apply(DeviceValue which, int value, int extra1, int extra2)
{
    QString entry = QString::fromLatin1(valueName(which)) + QLatin1Char('=') +
                    QString::number(value);
    if (which == DeviceValue::TunerSetup)
        entry += QLatin1Char(',') + QString::number(extra1) + QLatin1Char(',') +
                 QString::number(extra2);
    std::lock_guard<std::mutex> lock(g_testLogMutex);
    g_testLog << entry;
    if (which == DeviceValue::VideoFormat)
        pal_ = value == 1;
    return which == DeviceValue::VideoSource || which == DeviceValue::VideoFormat;
}

bool CTestSourceControl::detectedStandard(bool& pal)
{
    pal = pal_;
    return true;
}

QStringList CTestSourceControl::log() const
{
    std::lock_guard<std::mutex> lock(g_testLogMutex);
    return g_testLog;
}

QStringList CTestSourceControl::takeLog()
{
    std::lock_guard<std::mutex> lock(g_testLogMutex);
    QStringList l;
    l.swap(g_testLog);
    return l;
}

void CTestSourceControl::setPresent(bool present) { g_testPresent.store(present); }

int deviceParam(CDeviceControl* control, CDvrAppSettings& s, int code, uint8_t* arg)
{
    if (!control)
        return 0;
    try {
        switch (code) {
        case 6: {
            const int mask = s.changeMask;
            if (mask & 0x01)
                control->apply(DeviceValue::VideoSource, s.VideoSource);
            if (mask & 0x02)
                control->apply(DeviceValue::VideoOutput, s.VideoOutput);
            if (mask & 0x04)
                control->apply(DeviceValue::VideoFormat, s.VideoFormat);
            if (mask & 0x08)
                control->apply(DeviceValue::CountryCode, s.CountryCode);
            if (mask & 0x10)
                control->apply(DeviceValue::TunerSetup, s.CountryCode, s.CableAntenna,
                               s.tunerOption);
            if (mask & 0x20)
                control->apply(DeviceValue::PalType, s.PALType);
            if (mask & 0x40)
                control->apply(DeviceValue::Channel, s.Channel);
            if (mask & 0x80)
                control->apply(DeviceValue::CableAntenna, s.CableAntenna);
            return 1;
        }
        case 9: {
            // The status byte at 0x42 0x1F: bits 0 and 5 both set on NTSC.
            if (!arg || arg[0] != 0x42 || arg[1] != 0x1F)
                return 0;
            bool pal = true;
            if (!control->detectedStandard(pal))
                return 0;
            arg[2] = pal ? 0x00 : 0x21;
            return 1;
        }
        case 10:
            return 0; // no register can be written here
        case 21:
            s.bitrateClass = control->bitrateClass();
            return 1;
        case 22:
        case 26:
            return control->isPresent() ? 1 : 0;
        case 28:
            return arg ? 1 : 0;
        default:
            return 0;
        }
    } catch (...) {
        return 0;
    }
}

} // namespace bc

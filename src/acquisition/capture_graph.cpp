#include "acquisition/capture_graph.h"

namespace bc {

namespace {

const char* const kNoDevice = "no capture device";

class AbsentDeviceGraph : public ICaptureGraph {
public:
    bool BuildGraph(int, const GraphRequest&) override
    {
        error_ = QString::fromLatin1(kNoDevice);
        return false;
    }
    bool TearDownGraph() override { return true; }
    int SetDeviceParam(int, uint8_t*) override { return 0; }
    bool Play() override { return false; }
    bool Stop() override { return false; }
    bool Pause() override { return false; }
    bool Run() override { return false; }
    int GetGraphState() const override { return GraphStateStopped; }
    int GetGraphKind() const override { return GraphKindNone; }
    bool SeekToFraction(float) override { return false; }
    bool GetDuration(int64_t&) override { return false; }
    bool GetPositionFraction(float&) override { return false; }
    QString LastError() const override { return error_; }
    void SetEventHandler(std::function<void(GraphEvent, const QString&)>) override {}

private:
    QString error_;
};

class AbsentDeviceFactory : public ICaptureGraphFactory {
public:
    std::unique_ptr<ICaptureGraph> CreateGraph() override
    {
        return std::make_unique<AbsentDeviceGraph>();
    }
    int VideoSource() const override { return 0; }
    void SetVideoFormat(int) override {}
    unsigned ChangeMask() const override { return mask_; }
    void SetChangeMask(unsigned mask) override { mask_ = mask; }
    int MuxFormat() const override { return 0; }
    bool EditVideoSettings(QWidget*) override { return false; }

private:
    unsigned mask_ = 0xE7;
};

} // namespace

std::unique_ptr<ICaptureGraphFactory> makeAbsentDeviceGraphFactory()
{
    return std::make_unique<AbsentDeviceFactory>();
}

} // namespace bc

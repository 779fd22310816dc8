#pragma once
// A capture graph for tests: follows the graph's state rules, answers device
// codes from a script and logs every call, so tests can check what the form
// asked of the device and in which order.

#include "acquisition/capture_graph.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <set>

namespace bc::test {

class ScriptedCaptureGraph;

struct GraphScript {
    bool devicePresent = true;      // probe builds, preview builds and code 26
    bool deviceCheckOk = true;      // code 22
    std::set<int> failingKinds;     // BuildGraph of these kinds fails
    bool playFails = false;
    uint8_t registerValue = 0x21;   // code 9: bits 0 and 5 set means NTSC
    int64_t duration = 600000000;   // 60 s
    float position = 0.0f;

    // Capture-device settings kept by the factory.
    int videoSource = 0;
    int videoFormat = 1;
    unsigned changeMask = 0xE7;
    int muxFormat = 0;
    std::deque<bool> settingsDialogAnswers; // EditVideoSettings; false when empty
    int settingsDialogMuxFormat = -1;        // taken over on OK when >= 0

    QStringList log;                 // every call, in order
    int alive = 0;                   // graph objects not yet deleted
    int created = 0;
    ScriptedCaptureGraph* current = nullptr; // the newest graph still alive
    GraphRequest lastRequest;
    float lastSeek = -1.0f;
};

class ScriptedCaptureGraph : public ICaptureGraph {
public:
    explicit ScriptedCaptureGraph(GraphScript& s) : s_(s)
    {
        ++s_.alive;
        ++s_.created;
        s_.current = this;
    }
    ~ScriptedCaptureGraph() override
    {
        if (state_ == GraphStateRunning || state_ == GraphStatePaused)
            s_.log << QStringLiteral("stop-on-delete");
        s_.log << QStringLiteral("delete");
        --s_.alive;
        if (s_.current == this)
            s_.current = nullptr;
    }

    bool BuildGraph(int kind, const GraphRequest& request) override
    {
        s_.log << QStringLiteral("build %1%2").arg(kind).arg(
            request.recordFlag ? QStringLiteral(" record ") + request.mediaPath
            : kind == GraphKindPlayback ? QStringLiteral(" ") + request.mediaPath
                                        : QString());
        s_.lastRequest = request;
        const bool known = kind == 0 || kind == 1 || kind == 2 || kind == 8;
        const bool needsDevice = kind != GraphKindPlayback;
        if (!known || s_.failingKinds.count(kind) || (needsDevice && !s_.devicePresent)) {
            error_ = QStringLiteral("scripted build failure");
            return false;
        }
        kind_ = kind == 1 ? 0 : kind;
        return true;
    }
    bool TearDownGraph() override
    {
        kind_ = GraphKindNone;
        return true;
    }
    int SetDeviceParam(int code, uint8_t* arg) override
    {
        s_.log << QStringLiteral("param %1%2").arg(code).arg(
            code == DeviceStreaming && arg ? QStringLiteral(" %1").arg(*arg) : QString());
        if (kind_ != 0 && kind_ != 8)
            return 0;
        switch (code) {
        case DeviceApplySettings:
            s_.log << QStringLiteral("apply mask %1").arg(s_.changeMask, 0, 16);
            return 1;
        case DeviceReadRegister:
            if (arg)
                arg[2] = s_.registerValue;
            return 1;
        case DeviceBitrateClass:
            return 1;
        case DeviceCheck:
            return s_.deviceCheckOk ? 1 : 0;
        case DevicePresent:
            return s_.devicePresent ? 1 : 0;
        case DeviceStreaming:
            return 1;
        default:
            return 0;
        }
    }
    bool Play() override
    {
        s_.log << QStringLiteral("play");
        if (s_.playFails || (state_ != GraphStateStopped && state_ != GraphStatePaused))
            return false;
        state_ = GraphStateRunning;
        return true;
    }
    bool Stop() override
    {
        s_.log << QStringLiteral("stop");
        if (state_ != GraphStatePaused && state_ != GraphStateRunning)
            return false;
        state_ = GraphStateStopped;
        return true;
    }
    bool Pause() override
    {
        s_.log << QStringLiteral("pause");
        if (state_ != GraphStateRunning)
            return false;
        state_ = GraphStatePaused;
        return true;
    }
    bool Run() override
    {
        s_.log << QStringLiteral("run");
        if (state_ != GraphStateStopped && state_ != GraphStatePaused)
            return false;
        state_ = GraphStateRunning;
        return true;
    }
    int GetGraphState() const override { return state_; }
    int GetGraphKind() const override { return kind_; }
    bool SeekToFraction(float fraction) override
    {
        if (kind_ != GraphKindPlayback)
            return false;
        s_.lastSeek = fraction;
        s_.position = fraction;
        return true;
    }
    bool GetDuration(int64_t& duration) override
    {
        if (kind_ != GraphKindPlayback)
            return false;
        duration = s_.duration;
        return true;
    }
    bool GetPositionFraction(float& fraction) override
    {
        if (kind_ != GraphKindPlayback)
            return false;
        fraction = s_.position;
        return true;
    }
    QString LastError() const override { return error_; }
    void SetEventHandler(std::function<void(GraphEvent, const QString&)> handler) override
    {
        handler_ = std::move(handler);
    }

    // Delivers an event as the real graph would after Play.
    void fire(GraphEvent event, const QString& text = QString())
    {
        if (handler_)
            handler_(event, text);
    }

private:
    GraphScript& s_;
    int state_ = GraphStateStopped;
    int kind_ = GraphKindNone;
    QString error_;
    std::function<void(GraphEvent, const QString&)> handler_;
};

class ScriptedGraphFactory : public ICaptureGraphFactory {
public:
    GraphScript script;

    std::unique_ptr<ICaptureGraph> CreateGraph() override
    {
        return std::make_unique<ScriptedCaptureGraph>(script);
    }
    int VideoSource() const override { return script.videoSource; }
    void SetVideoFormat(int format) override { script.videoFormat = format; }
    unsigned ChangeMask() const override { return script.changeMask; }
    void SetChangeMask(unsigned mask) override { script.changeMask = mask; }
    int MuxFormat() const override { return script.muxFormat; }
    bool EditVideoSettings(QWidget*) override
    {
        script.log << QStringLiteral("video settings dialog");
        if (script.settingsDialogAnswers.empty())
            return false;
        const bool ok = script.settingsDialogAnswers.front();
        script.settingsDialogAnswers.pop_front();
        if (ok && script.settingsDialogMuxFormat >= 0)
            script.muxFormat = script.settingsDialogMuxFormat;
        return ok;
    }
};

} // namespace bc::test

#include "acquisition/capture_graph.h"

#include "support/scripted_capture_graph.h"

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(AbsentDeviceGraph, EveryBuildFailsAndNoDeviceCodeSucceeds)
{
    auto factory = makeAbsentDeviceGraphFactory();
    auto graph = factory->CreateGraph();
    for (int kind : {GraphKindPreview, GraphKindPreviewRecord, GraphKindPlayback, GraphKindProbe}) {
        EXPECT_FALSE(graph->BuildGraph(kind, GraphRequest{}));
        EXPECT_FALSE(graph->LastError().isEmpty());
    }
    for (int code : {DeviceApplySettings, DeviceCheck, DevicePresent, DeviceStreaming})
        EXPECT_EQ(graph->SetDeviceParam(code), 0);
    EXPECT_FALSE(graph->Play());
    int64_t d = 77;
    float f = 0.5f;
    EXPECT_FALSE(graph->GetDuration(d));
    EXPECT_FALSE(graph->GetPositionFraction(f));
    EXPECT_EQ(d, 77);
    EXPECT_EQ(f, 0.5f);
    EXPECT_FALSE(factory->EditVideoSettings(nullptr));
}

TEST(ScriptedGraph, FollowsTheGraphStateRules)
{
    test::ScriptedGraphFactory factory;
    auto graph = factory.CreateGraph();
    ASSERT_TRUE(graph->BuildGraph(GraphKindPlayback, GraphRequest{false, "/x/a.mpg"}));
    EXPECT_FALSE(graph->Pause()); // stopped: nothing to pause
    EXPECT_FALSE(graph->Stop());
    EXPECT_TRUE(graph->Play());
    EXPECT_EQ(graph->GetGraphState(), GraphStateRunning);
    EXPECT_TRUE(graph->Pause());
    EXPECT_TRUE(graph->Run());
    EXPECT_EQ(graph->SetDeviceParam(DevicePresent), 0); // playback has no device source
    EXPECT_FALSE(graph->BuildGraph(4, GraphRequest{}));
    graph.reset();
    EXPECT_EQ(factory.script.alive, 0);
    EXPECT_TRUE(factory.script.log.contains("stop-on-delete"));
}

} // namespace
} // namespace bc

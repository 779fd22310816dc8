#include "acquisition/capture_graph.h"

#include "support/scripted_capture_graph.h"

#include <gtest/gtest.h>

namespace bc {
namespace {

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

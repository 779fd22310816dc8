#include "analysis/d3d_scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace bc {
namespace {

CD3DScene sceneOf(float radius, float height, int marks = 0, std::vector<float> labels = {})
{
    CD3DScene s;
    s.setCylinder(radius, height, marks, std::move(labels));
    return s;
}

void expectNear(const QVector3D& a, const QVector3D& b)
{
    EXPECT_LT((a - b).length(), 1e-3f) << a.x() << ' ' << a.y() << ' ' << a.z();
}

TEST(D3DScene, CylinderIsAStripOfFiftySegmentsWhoseTextureWrapsPastOne)
{
    const float r = 100.0f / (2 * float(M_PI)), h = 80.0f;
    const std::vector<CylinderVertex> v = sceneOf(r, h).cylinderVertices();
    ASSERT_EQ(v.size(), 100u);
    struct Row {
        size_t index;
        QVector3D position;
        float u, v;
    } rows[] = {{0, {-r, 0, 0}, 50.0f / 49, 1}, {1, {-r, h, 0}, 50.0f / 49, 0},
                {99, {-r, h, 0}, 1.0f / 49, 0}};
    for (const Row& row : rows) {
        expectNear(v[row.index].position, row.position);
        EXPECT_FLOAT_EQ(v[row.index].u, row.u);
        EXPECT_FLOAT_EQ(v[row.index].v, row.v);
    }
    // The pair nearest the viewer (-z) shows the texture's left half.
    EXPECT_LT(v[74].position.z(), -0.99f * r);
    EXPECT_LT(v[74].u, 0.5f);
}

TEST(D3DScene, TheCameraAimsAtTheScaledMiddleAndZoomMovesTheEye)
{
    struct Row {
        float height;
        std::vector<int> commands;
        float k, eyeZ;
    } rows[] = {{150, {}, 1.0f, -300}, {400, {}, 0.5f, -300},
                {400, {1}, 0.5f, -240}, {400, {1, 2, 2}, 0.5f, -375}};
    for (const Row& row : rows) {
        CD3DScene s = sceneOf(50, row.height);
        for (int c : row.commands)
            s.doViewCommand(c);
        EXPECT_FLOAT_EQ(s.heightScale(), row.k);
        expectNear(s.lookAt(), QVector3D(0, row.k * row.height / 2, 0));
        expectNear(s.eye(), QVector3D(0, row.k * row.height / 2, row.eyeZ));
    }
    // Not mirrored: +x lands right of the centre, +y above it.
    const CD3DScene s = sceneOf(50, 300);
    const QVector3D right = s.toDevice({}, s.lookAt() + QVector3D(40, 0, 0));
    const QVector3D above = s.toDevice({}, s.lookAt() + QVector3D(0, 40, 0));
    EXPECT_GT(right.x(), 0.1f);
    EXPECT_NEAR(right.y(), 0.0f, 1e-4f);
    EXPECT_GT(above.y(), 0.1f);
    EXPECT_TRUE(right.z() > -1 && right.z() < 1);
}

TEST(D3DScene, LabelsStandRightOfTheCylinderAtEveryTenthMark)
{
    // 400 high (k = 0.5), 40 marks 5 units apart, a label every fifth mark.
    const CD3DScene s = sceneOf(60, 400, 40, {1.5f, 1.75f, 2.0f, 2.25f, 2.5f, 2.75f, 3.0f, 3.25f});
    const std::vector<ScenePlacement> labels = s.labelPlacements();
    ASSERT_EQ(labels.size(), 4u);
    struct Row {
        size_t at;
        QString text;
        float y;
    } rows[] = {{0, "1.50", 195.0f}, {1, "2.00", 145.0f}, {3, "3.00", 45.0f}};
    for (const Row& row : rows) {
        EXPECT_EQ(labels[row.at].text, row.text);
        expectNear(labels[row.at].world.map(QVector3D(0, 0, 0)), QVector3D(30, row.y, 0));
        expectNear(labels[row.at].world.map(QVector3D(1, 0, 0)), QVector3D(35, row.y, 0));
    }
    // A label list shorter than the marks ask for is not read past its end.
    EXPECT_EQ(sceneOf(60, 400, 40, {1.5f}).labelPlacements().size(), 1u);
    EXPECT_TRUE(sceneOf(60, 400, 0, {1.5f}).labelPlacements().empty());
}

TEST(D3DScene, CompassLettersLieRoundTheFootAndTurnWithTheCylinder)
{
    CD3DScene s = sceneOf(60.7f, 150);
    const std::vector<ScenePlacement> at0 = s.letterPlacements();
    s.setStep(90);
    s.doViewCommand(CD3DScene::ModeForward);
    const std::vector<ScenePlacement> at90 = s.letterPlacements();
    struct Row {
        const ScenePlacement& letter;
        const char* text;
        QVector3D origin;
    } rows[] = {{at0[0], "S", {60, -2, 0}},   {at0[1], "E", {0, -2, -60}},
                {at0[2], "N", {-60, -2, 0}},  {at0[3], "W", {0, -2, 60}},
                {at90[0], "S", {0, -2, -60}}};
    for (const Row& row : rows) {
        EXPECT_EQ(row.letter.text, row.text);
        expectNear(row.letter.world.map(QVector3D(0, 0, 0)), row.origin);
    }
    // Scaled, tilted, turned: the baseline runs round the cylinder, the
    // letter's up points out and down, its depth is squashed.
    const QMatrix4x4& south = at0[0].world;
    const QVector3D o = south.map(QVector3D(0, 0, 0));
    expectNear(south.map(QVector3D(1, 0, 0)) - o, QVector3D(0, 0, 12));
    expectNear(south.map(QVector3D(0, 1, 0)) - o,
               QVector3D(12 * std::sin(2.0420351f), 12 * std::cos(2.0420351f), 0));
    EXPECT_NEAR((south.map(QVector3D(0, 0, 1)) - o).length(), 2.0f, 1e-4f);
}

struct State {
    int mode, cursor;
    float scale, yaw, pan;
};

void expectState(const CD3DScene& s, const State& e)
{
    EXPECT_EQ(std::tuple(s.mode(), s.cursor(), s.scale(), s.yaw(), s.pan()),
              std::tuple(e.mode, e.cursor, e.scale, e.yaw, e.pan));
}

TEST(D3DScene, ViewCommandsSetTheModeAndActOnce)
{
    CD3DScene s = sceneOf(50, 100);
    s.mousePress({0, 0});
    s.mouseMove({0, 7});
    s.mouseRelease();
    struct Row {
        int command;
        bool done;
        State after;
    } rows[] = {
        {1, true, {1, 1, 1.25f, 0, -7}},    {1, true, {1, 1, 1.5625f, 0, -7}},
        {2, true, {2, 2, 1.25f, 0, -7}},    {3, true, {3, 0, 1.25f, 45, -7}},
        {4, true, {4, 0, 1.25f, 0, -7}},    {4, true, {4, 0, 1.25f, -45, -7}},
        {5, false, {4, 0, 1.25f, -45, -7}}, {-1, false, {4, 0, 1.25f, -45, -7}},
        {0, true, {0, 0, 1.0f, 0, 0}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(s.doViewCommand(row.command), row.done) << row.command;
        expectState(s, row.after);
    }
}

TEST(D3DScene, MouseDragsTurnAndPanAndTheReleaseRepeatsTheModesAction)
{
    struct Row {
        int mode;
        State after;
        bool moveRepaints;
    } rows[] = {
        {0, {0, 0, 1, -20, 5}, true},
        {3, {3, 0, 1, 45 - 20 + 45, 5}, true},
        {4, {4, 0, 1, -45 - 20 - 45, 5}, true},
        {1, {1, 1, 1.25f * 1.25f, 0, 0}, false},
        {2, {2, 2, 0.8f * 0.8f, 0, 0}, false},
    };
    for (const Row& row : rows) {
        CD3DScene s = sceneOf(50, 100);
        s.doViewCommand(row.mode);
        s.mousePress({10, 10});
        EXPECT_EQ(s.mouseMove({25, 8}), row.moveRepaints);
        EXPECT_EQ(s.mouseMove({30, 5}), row.moveRepaints);
        EXPECT_TRUE(s.mouseRelease()) << row.mode; // every change is shown
        expectState(s, row.after);
        EXPECT_FALSE(s.mouseMove({90, 90}));
    }
    EXPECT_FALSE(sceneOf(50, 100).mouseRelease()); // nothing to show
}

TEST(D3DScene, AutoRotationTurnsByThirtyOnlyInARotatingModeForwardFirst)
{
    // The yaw after one tick, by mode, from the yaw the mode's command left.
    struct Row {
        bool forward, backward;
        float byMode[5];
    } rows[] = {{false, false, {0, 0, 0, 45, -45}},
                {true, false, {0, 0, 0, 75, -15}},
                {false, true, {0, 0, 0, 15, -75}},
                {true, true, {0, 0, 0, 75, -15}}};
    for (const Row& row : rows) {
        for (int mode = 0; mode < 5; ++mode) {
            CD3DScene s = sceneOf(50, 100);
            s.doViewCommand(mode);
            const bool turns = s.yaw() != row.byMode[mode];
            EXPECT_EQ(s.autoTick(row.forward, row.backward), turns);
            EXPECT_FLOAT_EQ(s.yaw(), row.byMode[mode]) << row.forward << row.backward << mode;
            EXPECT_EQ(s.step(), turns ? 30 : 45);
        }
    }
}

} // namespace
} // namespace bc

#include "analysis/d3d_scene.h"

#include <gtest/gtest.h>

#include <cmath>

namespace bc {
namespace {

constexpr float kPi = 3.14159265f;

CD3DScene sceneOf(float radius, float height, int marks = 0, std::vector<float> labels = {})
{
    CD3DScene s;
    s.setCylinder(radius, height, marks, std::move(labels));
    return s;
}

void expectNear(const QVector3D& a, const QVector3D& b)
{
    EXPECT_NEAR(a.x(), b.x(), 1e-3f);
    EXPECT_NEAR(a.y(), b.y(), 1e-3f);
    EXPECT_NEAR(a.z(), b.z(), 1e-3f);
}

TEST(D3DScene, CylinderIsAStripOfFiftySegmentsWhoseTextureWrapsPastOne)
{
    const float r = 100.0f / (2 * kPi), h = 80.0f;
    const std::vector<CylinderVertex> v = sceneOf(r, h).cylinderVertices();
    ASSERT_EQ(v.size(), 100u);
    struct Row {
        size_t index;
        QVector3D position;
        float u, v;
    } rows[] = {
        {0, {-r, 0, 0}, 50.0f / 49, 1},
        {1, {-r, h, 0}, 50.0f / 49, 0},
        {99, {-r, h, 0}, 1.0f / 49, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.index);
        expectNear(v[row.index].position, row.position);
        EXPECT_FLOAT_EQ(v[row.index].u, row.u);
        EXPECT_FLOAT_EQ(v[row.index].v, row.v);
    }
    // Vertex pair 37 lies nearest the viewer (-z), in the texture's left half.
    EXPECT_LT(v[74].position.z(), -0.99f * r);
    EXPECT_LT(v[74].u, 0.5f);
}

TEST(D3DScene, TallCylindersAreScaledToTwoHundredAndTheCameraAimsAtTheirMiddle)
{
    struct Row {
        float height, k;
    } rows[] = {{150, 1.0f}, {200, 1.0f}, {400, 0.5f}};
    for (const Row& row : rows) {
        const CD3DScene s = sceneOf(50, row.height);
        EXPECT_FLOAT_EQ(s.heightScale(), row.k) << row.height;
        EXPECT_FLOAT_EQ(s.lookAt().y(), row.k * row.height / 2) << row.height;
        EXPECT_FLOAT_EQ(s.eye().y(), s.lookAt().y());
    }
}

TEST(D3DScene, ZoomingMovesTheEyeInAndOut)
{
    CD3DScene s = sceneOf(50, 300);
    EXPECT_FLOAT_EQ(s.eye().z(), -300.0f);
    s.doViewCommand(CD3DScene::ModeZoomIn);
    EXPECT_FLOAT_EQ(s.eye().z(), -300.0f / 1.25f);
    s.doViewCommand(CD3DScene::ModeZoomOut);
    s.doViewCommand(CD3DScene::ModeZoomOut);
    EXPECT_FLOAT_EQ(s.eye().z(), -300.0f / (1.25f * 0.8f * 0.8f));
}

TEST(D3DScene, ThePictureIsNotMirrored)
{
    const CD3DScene s = sceneOf(50, 300);
    const float y = s.lookAt().y();
    struct Row {
        QVector3D world;
        float xSign, ySign;
    } rows[] = {{{40, y, 0}, 1, 0}, {{-40, y, 0}, -1, 0}, {{0, y + 40, 0}, 0, 1}};
    for (const Row& row : rows) {
        const QVector3D d = s.toDevice(QMatrix4x4(), row.world);
        EXPECT_EQ(d.x() > 0.01f ? 1 : d.x() < -0.01f ? -1 : 0, row.xSign);
        EXPECT_EQ(d.y() > 0.01f ? 1 : d.y() < -0.01f ? -1 : 0, row.ySign);
        EXPECT_GT(d.z(), -1.0f);
        EXPECT_LT(d.z(), 1.0f);
    }
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
    struct Row {
        float yaw;
        const char* letter;
        QVector3D origin;
    } rows[] = {
        {0, "S", {60, -2, 0}},  {0, "E", {0, -2, -60}},
        {0, "N", {-60, -2, 0}}, {0, "W", {0, -2, 60}},
        {90, "S", {0, -2, -60}},
    };
    for (const Row& row : rows) {
        s.doViewCommand(CD3DScene::ModeNone);
        s.setStep(int(row.yaw));
        if (row.yaw != 0)
            s.doViewCommand(CD3DScene::ModeForward);
        for (const ScenePlacement& p : s.letterPlacements())
            if (p.text == row.letter)
                expectNear(p.world.map(QVector3D(0, 0, 0)), row.origin);
    }
    // The letter's baseline runs along the circumference, its up points out
    // and down, and its depth is squashed.
    const QMatrix4x4 south = sceneOf(60.7f, 150).letterPlacements()[0].world;
    const QVector3D o = south.map(QVector3D(0, 0, 0));
    expectNear(south.map(QVector3D(1, 0, 0)) - o, QVector3D(0, 0, 12));
    const QVector3D up = south.map(QVector3D(0, 1, 0)) - o;
    EXPECT_NEAR(up.x(), 12 * std::sin(2.0420351f), 1e-3f);
    EXPECT_NEAR(up.y(), 12 * std::cos(2.0420351f), 1e-3f);
    EXPECT_NEAR((south.map(QVector3D(0, 0, 1)) - o).length(), 2.0f, 1e-4f);
}

struct State {
    int mode, cursor;
    float scale, yaw, pan;
};

void expectState(const CD3DScene& s, const State& e)
{
    EXPECT_EQ(s.mode(), e.mode);
    EXPECT_EQ(s.cursor(), e.cursor);
    EXPECT_FLOAT_EQ(s.scale(), e.scale);
    EXPECT_FLOAT_EQ(s.yaw(), e.yaw);
    EXPECT_FLOAT_EQ(s.pan(), e.pan);
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
        {1, true, {1, 1, 1.25f, 0, -7}},   {1, true, {1, 1, 1.5625f, 0, -7}},
        {2, true, {2, 2, 1.25f, 0, -7}},   {3, true, {3, 0, 1.25f, 45, -7}},
        {4, true, {4, 0, 1.25f, 0, -7}},   {4, true, {4, 0, 1.25f, -45, -7}},
        {5, false, {4, 0, 1.25f, -45, -7}}, {-1, false, {4, 0, 1.25f, -45, -7}},
        {0, true, {0, 0, 1.0f, 0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        EXPECT_EQ(s.doViewCommand(row.command), row.done);
        expectState(s, row.after);
    }
}

TEST(D3DScene, MouseDragsTurnAndPanAndTheReleaseRepeatsTheModesAction)
{
    struct Row {
        int mode;
        State after;
        bool moveRepaints, releaseRepaints;
    } rows[] = {
        {0, {0, 0, 1, -20, 5}, true, true},
        {3, {3, 0, 1, 45 - 20 + 45, 5}, true, true},
        {4, {4, 0, 1, -45 - 20 - 45, 5}, true, true},
        {1, {1, 1, 1.25f * 1.25f, 0, 0}, false, true},
        {2, {2, 2, 0.8f * 0.8f, 0, 0}, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        CD3DScene s = sceneOf(50, 100);
        if (row.mode)
            s.doViewCommand(row.mode);
        s.mousePress({10, 10});
        EXPECT_EQ(s.mouseMove({25, 8}), row.moveRepaints);
        EXPECT_EQ(s.mouseMove({30, 5}), row.moveRepaints);
        EXPECT_EQ(s.mouseRelease(), row.releaseRepaints);
        EXPECT_FALSE(s.dragging());
        expectState(s, row.after);
        EXPECT_FALSE(s.mouseMove({90, 90}));
    }
    // A release with no drag and no mode changes nothing.
    EXPECT_FALSE(sceneOf(50, 100).mouseRelease());
}

TEST(D3DScene, AutoRotationTurnsByThirtyOnlyInARotatingModeForwardFirst)
{
    // Yaw after one tick, by mode, from the yaw the mode's command left.
    struct Row {
        bool forward, backward;
        float byMode[5];
    } rows[] = {
        {false, false, {0, 0, 0, 45, -45}},
        {true, false, {0, 0, 0, 75, -15}},
        {false, true, {0, 0, 0, 15, -75}},
        {true, true, {0, 0, 0, 75, -15}},
    };
    for (const Row& row : rows) {
        for (int mode = 0; mode < 5; ++mode) {
            SCOPED_TRACE(testing::Message() << row.forward << row.backward << mode);
            CD3DScene s = sceneOf(50, 100);
            s.doViewCommand(mode);
            const bool turns = s.yaw() != row.byMode[mode];
            EXPECT_EQ(s.autoTick(row.forward, row.backward), turns);
            EXPECT_FLOAT_EQ(s.yaw(), row.byMode[mode]);
            EXPECT_EQ(s.step(), turns ? 30 : 45);
        }
    }
}

TEST(D3DScene, AnAutoButtonIsCheckedOnlyWhenItAloneIsOn)
{
    struct Row {
        bool forward, backward, forwardChecked, backwardChecked;
    } rows[] = {{false, false, false, false},
                {true, false, true, false},
                {false, true, false, true},
                {true, true, false, false}};
    for (const Row& row : rows) {
        EXPECT_EQ(CD3DScene::forwardChecked(row.forward, row.backward), row.forwardChecked);
        EXPECT_EQ(CD3DScene::backwardChecked(row.forward, row.backward), row.backwardChecked);
    }
}

} // namespace
} // namespace bc

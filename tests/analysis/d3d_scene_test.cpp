#include "analysis/d3d_scene.h"

#include <gtest/gtest.h>

#include <array>
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
    // index, position, u, v
    const std::tuple<size_t, QVector3D, float, float> rows[] = {{0, {-r, 0, 0}, 50.0f / 49, 1},
                                                                {1, {-r, h, 0}, 50.0f / 49, 0},
                                                                {99, {-r, h, 0}, 1.0f / 49, 0}};
    for (const auto& [i, position, u, tv] : rows) {
        expectNear(v[i].position, position);
        EXPECT_NEAR(v[i].u, u, 1e-6f);
        EXPECT_EQ(v[i].v, tv);
    }
    // The pair nearest the viewer shows the texture's left half.
    EXPECT_TRUE(v[74].position.z() < -0.99f * r && v[74].u < 0.5f);
}

TEST(D3DScene, TheCameraAimsAtTheScaledMiddleUnmirroredAndZoomMovesTheEye)
{
    // height, view commands, k, eye z (radius 50)
    const std::tuple<float, std::vector<int>, float, float> rows[] = {{150, {}, 1.0f, -300},
                                                                      {400, {}, 0.5f, -300},
                                                                      {400, {1}, 0.5f, -240},
                                                                      {400, {1, 2, 2}, 0.5f, -375}};
    for (const auto& [height, commands, k, eyeZ] : rows) {
        CD3DScene s = sceneOf(50, height);
        for (int c : commands)
            s.doViewCommand(c);
        EXPECT_FLOAT_EQ(s.heightScale(), k);
        expectNear(s.lookAt(), QVector3D(0, k * height / 2, 0));
        expectNear(s.eye(), QVector3D(0, k * height / 2, eyeZ));
        // +x lands right of the centre, +y above it.
        const QVector3D right = s.toDevice({}, s.lookAt() + QVector3D(40, 0, 0));
        const QVector3D above = s.toDevice({}, s.lookAt() + QVector3D(0, 40, 0));
        EXPECT_TRUE(right.x() > 0.1f && std::abs(right.y()) < 1e-4f && std::abs(right.z()) < 1);
        EXPECT_TRUE(above.y() > 0.1f && std::abs(above.x()) < 1e-4f);
    }
}

TEST(D3DScene, LabelsStandRightOfTheCylinderAtEveryTenthMark)
{
    // 400 high (k = 0.5), 40 marks 5 units apart, a label every fifth mark.
    const auto labels = sceneOf(60, 400, 40, {1.5f, 1.75f, 2.0f, 2.25f, 2.5f, 2.75f, 3.0f, 3.25f})
                            .labelPlacements();
    ASSERT_EQ(labels.size(), 4u);
    const std::tuple<size_t, QString, float> rows[] = {
        {0, "1.50", 195}, {1, "2.00", 145}, {3, "3.00", 45}};
    for (const auto& [at, text, y] : rows) {
        EXPECT_EQ(labels[at].text, text);
        expectNear(labels[at].world.map(QVector3D(0, 0, 0)), QVector3D(30, y, 0));
        expectNear(labels[at].world.map(QVector3D(1, 0, 0)), QVector3D(35, y, 0));
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
    const std::tuple<ScenePlacement, QString, QVector3D> rows[] = {
        {at0[0], "S", {60, -2, 0}},
        {at0[1], "E", {0, -2, -60}},
        {at0[2], "N", {-60, -2, 0}},
        {at0[3], "W", {0, -2, 60}},
        {s.letterPlacements()[0], "S", {0, -2, -60}}};
    for (const auto& [letter, text, origin] : rows) {
        EXPECT_EQ(letter.text, text);
        expectNear(letter.world.map(QVector3D(0, 0, 0)), origin);
    }
    // Scaled, tilted, turned: the baseline runs round the cylinder, the
    // letter's up points out and down, its depth is squashed.
    const QMatrix4x4& m = at0[0].world;
    const QVector3D o = m.map(QVector3D(0, 0, 0));
    expectNear(m.map(QVector3D(1, 0, 0)) - o, QVector3D(0, 0, 12));
    expectNear(m.map(QVector3D(0, 1, 0)) - o,
               12 * QVector3D(std::sin(2.0420351f), std::cos(2.0420351f), 0));
    EXPECT_NEAR((m.map(QVector3D(0, 0, 1)) - o).length(), 2.0f, 1e-4f);
}

// mode, cursor, scale, yaw, pan
using State = std::tuple<int, int, float, float, float>;
State stateOf(const CD3DScene& s)
{
    return {s.mode(), s.cursor(), s.scale(), s.yaw(), s.pan()};
}

TEST(D3DScene, ViewCommandsSetTheModeAndActOnce)
{
    CD3DScene s = sceneOf(50, 100);
    s.mousePress({0, 0});
    s.mouseMove({0, 7});
    s.mouseRelease();
    const std::tuple<int, bool, State> rows[] = {
        {1, true, {1, 1, 1.25f, 0, -7}},    {1, true, {1, 1, 1.5625f, 0, -7}},
        {2, true, {2, 2, 1.25f, 0, -7}},    {3, true, {3, 0, 1.25f, 45, -7}},
        {4, true, {4, 0, 1.25f, 0, -7}},    {4, true, {4, 0, 1.25f, -45, -7}},
        {5, false, {4, 0, 1.25f, -45, -7}}, {-1, false, {4, 0, 1.25f, -45, -7}},
        {0, true, {0, 0, 1.0f, 0, 0}}};
    for (const auto& [command, done, after] : rows) {
        EXPECT_EQ(s.doViewCommand(command), done) << command;
        EXPECT_EQ(stateOf(s), after) << command;
    }
}

TEST(D3DScene, MouseDragsTurnAndPanAndEveryReleaseRepeatsTheModesActionAndRepaints)
{
    const std::tuple<int, State, bool> rows[] = {{0, {0, 0, 1, -20, 5}, true},
                                                 {3, {3, 0, 1, 45 - 20 + 45, 5}, true},
                                                 {4, {4, 0, 1, -45 - 20 - 45, 5}, true},
                                                 {1, {1, 1, 1.25f * 1.25f, 0, 0}, false},
                                                 {2, {2, 2, 0.8f * 0.8f, 0, 0}, false}};
    for (const auto& [mode, after, drags] : rows) {
        CD3DScene s = sceneOf(50, 100);
        s.doViewCommand(mode);
        s.mousePress({10, 10});
        EXPECT_EQ(s.mouseMove({25, 8}), drags);
        EXPECT_EQ(s.mouseMove({30, 5}), drags);
        EXPECT_TRUE(s.mouseRelease()) << mode;
        EXPECT_EQ(stateOf(s), after) << mode;
        EXPECT_FALSE(s.mouseMove({90, 90}));
    }
    EXPECT_FALSE(sceneOf(50, 100).mouseRelease()); // nothing to show
}

TEST(D3DScene, AutoRotationTurnsByThirtyOnlyInARotatingModeForwardFirst)
{
    // forward, backward, the yaw after one tick by mode (from the command's own
    // turn)
    const std::tuple<bool, bool, std::array<float, 5>> rows[] = {{false, false, {0, 0, 0, 45, -45}},
                                                                 {true, false, {0, 0, 0, 75, -15}},
                                                                 {false, true, {0, 0, 0, 15, -75}},
                                                                 {true, true, {0, 0, 0, 75, -15}}};
    for (const auto& [forward, backward, byMode] : rows) {
        for (int mode = 0; mode < 5; ++mode) {
            CD3DScene s = sceneOf(50, 100);
            s.doViewCommand(mode);
            const bool turns = s.yaw() != byMode[size_t(mode)];
            EXPECT_EQ(s.autoTick(forward, backward), turns);
            EXPECT_EQ(std::pair(s.yaw(), s.step()),
                      std::pair(byMode[size_t(mode)], turns ? 30 : 45))
                << forward << backward << mode;
        }
    }
}

} // namespace
} // namespace bc

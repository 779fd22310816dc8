#include "acquisition/control_param_dlg.h"
#include "acquisition/port_probe.h"
#include "acquisition/serial_line.h"
#include "acquisition/settings_fields.h"

#include "core/program_values.h"
#include "support/scripted_prompter.h"
#include "serial_pty.h"
#include "ui/num_edit.h"

#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <memory>

namespace bc {
namespace {

constexpr ProbeTiming kFast{test::kProbeQueryGapMs, test::kProbeReplyMs};

const QByteArray kCounterReply("\xAA\xAA", 2);
const QByteArray kCompassReply("\x01\x02\x80\x03\x04", 5);

class PortProbeTest : public ::testing::Test {
protected:
    void SetUp() override { resetFlags(); }
    void TearDown() override { resetFlags(); }
    static void resetFlags()
    {
        depthCounterFound() = false;
        compassFound() = false;
        probeBaudEntry(ProbeDevice::DepthCounter) = 3;
        probeBaudEntry(ProbeDevice::Compass) = 3;
    }

    // Slots 1..6 mapped to silent ptys, then the given devices put in place.
    CPortMap silentMap()
    {
        CPortMap map;
        for (int slot = 1; slot <= CPortMap::kSlotCount; ++slot) {
            silent[slot - 1] = std::make_unique<test::PtyPair>();
            map.setDevicePath(slot, silent[slot - 1]->path());
        }
        return map;
    }

    std::unique_ptr<test::PtyPair> silent[CPortMap::kSlotCount];
};

TEST(ProbeReply, AcceptedRepliesOfBothDevices)
{
    EXPECT_TRUE(probeReplyAccepted(ProbeDevice::DepthCounter, kCounterReply));
    EXPECT_FALSE(probeReplyAccepted(ProbeDevice::DepthCounter, QByteArray("\xAA\xAA\xAA", 3)));
    EXPECT_FALSE(probeReplyAccepted(ProbeDevice::DepthCounter, QByteArray("\xAA\x55", 2)));
    EXPECT_FALSE(probeReplyAccepted(ProbeDevice::DepthCounter, QByteArray()));
    EXPECT_TRUE(probeReplyAccepted(ProbeDevice::Compass, kCompassReply));
    EXPECT_TRUE(probeReplyAccepted(ProbeDevice::Compass, QByteArray("\x81\x00\x00", 3)));
    EXPECT_FALSE(probeReplyAccepted(ProbeDevice::Compass, QByteArray("\x80\x00", 2)));
    EXPECT_FALSE(probeReplyAccepted(ProbeDevice::Compass, QByteArray("\x80\x00\x00\x00", 4)));
}

TEST_F(PortProbeTest, FindsCounterOnSlot3AndCompassOnSlot5)
{
    test::ScriptedProbeDevice counter(kCounterReply);
    test::ScriptedProbeDevice compass(kCompassReply);
    CPortMap map = silentMap();
    map.setDevicePath(3, counter.path());
    map.setDevicePath(5, compass.path());
    map.setDevicePath(6, QString()); // unmapped: never tried

    CPortProbe probe(map, kFast);
    ProbePorts ports{1, 1};
    EXPECT_EQ(probe.probeDevices(ports), 3);
    EXPECT_EQ(ports.depthPort, 3);
    EXPECT_EQ(ports.compassPort, 5);
    EXPECT_TRUE(depthCounterFound());
    EXPECT_TRUE(compassFound());
    EXPECT_EQ(probe.slotsTried(), 3 + 5);
    // the compass search asks slot 3 as well
    EXPECT_TRUE(test::waitUntil([&counter] { return counter.queries() == 2; }));
    EXPECT_EQ(compass.queries(), 1);

    // found devices are not searched again
    ProbePorts again{3, 5};
    EXPECT_EQ(probe.probeDevices(again), 3);
    EXPECT_EQ(probe.slotsTried(), 0);
    EXPECT_EQ(again.depthPort, 3);
}

TEST_F(PortProbeTest, ThreeAnswerBytesAreNoCounterAndEmptySlotsFindNothing)
{
    test::ScriptedProbeDevice chatty(QByteArray("\xAA\xAA\xAA", 3));
    CPortMap map = silentMap();
    map.setDevicePath(2, chatty.path());
    map.setDevicePath(4, QStringLiteral("/dev/does-not-exist-borecam")); // will not open

    CPortProbe probe(map, kFast);
    ProbePorts ports{2, 2};
    EXPECT_EQ(probe.probeDevices(ports), 0);
    EXPECT_EQ(ports.depthPort, 2); // nothing found: the configured ports stay
    EXPECT_EQ(ports.compassPort, 2);
    EXPECT_EQ(probe.slotsTried(), 12);
    // asked once for each device
    EXPECT_TRUE(test::waitUntil([&chatty] { return chatty.queries() == 2; }));
    EXPECT_FALSE(depthCounterFound());
    EXPECT_FALSE(compassFound());
}

TEST_F(PortProbeTest, BytesWaitingBeforeTheQueryAreNoAnswer)
{
    // a silent slot with a late counter answer of an earlier search queued up
    CPortMap map = silentMap();
    for (int slot = 2; slot <= CPortMap::kSlotCount; ++slot)
        map.setDevicePath(slot, QString());
    silent[0]->write(kCounterReply);
    ASSERT_TRUE(test::waitUntil([this] { return silent[0]->unreadBySlave() == 2; }));

    CPortProbe probe(map, kFast);
    ProbePorts ports;
    EXPECT_EQ(probe.probeDepthCounter(ports), 0);
    EXPECT_EQ(ports.depthPort, 0);
    EXPECT_EQ(probe.slotsTried(), 1);
}

TEST_F(PortProbeTest, ProbedPortsAreClosedAgain)
{
    test::ScriptedProbeDevice counter(kCounterReply);
    CPortMap map = silentMap();
    map.setDevicePath(1, counter.path());
    CPortProbe probe(map, kFast);
    ProbePorts ports;
    EXPECT_EQ(probe.probeDepthCounter(ports), 1);
    EXPECT_EQ(ports.depthPort, 1);
    // the found port is free for the main line
    CSerialLine line;
    line.configure(1, map);
    EXPECT_TRUE(line.open(false));
}

TEST_F(PortProbeTest, DialogReleasesTheMainLineAndShowsWhatWasFound)
{
    test::ScriptedPrompter prompter;
    test::ScriptedProbeDevice counter(kCounterReply);
    CPortMap map = silentMap();
    map.setDevicePath(3, counter.path());

    // the main line holds slot 3's device exclusively
    CSerialLine line;
    line.configure(3, map);
    ASSERT_TRUE(line.open(false));

    CSurveyParams params;
    params.port1 = 1;
    params.port2 = 2;
    params.baudIndex1 = 3;
    params.baudIndex2 = 5;
    params.sampleStep = 12;
    params.counterResolution = 2;
    params.manualStep = 50;
    params.startDepth = 12345;
    params.moveDirection = 1;
    params.captureFormat = 1;
    CControlParamDlg dlg(params, map, &line, kFast);
    dlg.OnInitDialog();

    EXPECT_TRUE(line.isOpen());
    EXPECT_TRUE(line.receptionEnabled());
    EXPECT_EQ(dlg.params().port1, 3);
    EXPECT_EQ(dlg.params().port2, 2);
    EXPECT_EQ(dlg.depthPortCombo()->currentIndex(), 2);
    EXPECT_EQ(dlg.depthPortCombo()->currentText(), QStringLiteral("COM3 (%1)").arg(counter.path()));
    EXPECT_FALSE(dlg.depthPortCombo()->isEnabled());
    EXPECT_FALSE(dlg.depthBaudCombo()->isEnabled());
    EXPECT_EQ(dlg.compassPortCombo()->currentIndex(), 1);
    EXPECT_TRUE(dlg.compassBaudCombo()->isEnabled());
    EXPECT_EQ(dlg.compassBaudCombo()->currentText(), QStringLiteral("38400"));
    EXPECT_EQ(dlg.counterFields().step->edit()->text(), QStringLiteral("24 mm"));
    EXPECT_EQ(dlg.counterFields().step->spin()->position(), 12);
    EXPECT_EQ(dlg.counterFields().resolution->currentIndex(), 1);
    EXPECT_EQ(dlg.counterFields().manualStep->currentIndex(), 2);
    EXPECT_EQ(dlg.counterFields().direction->currentIndex(), 1);
    EXPECT_EQ(dlg.counterFields().captureFormat->currentIndex(), 1);
    EXPECT_EQ(dlg.counterFields().startDepth->text(), QStringLiteral("12.345"));

    // a compass appears on slot 5 and is found at the newly chosen rate
    test::ScriptedProbeDevice compass(kCompassReply);
    CPortMap withCompass = map;
    withCompass.setDevicePath(5, compass.path());
    CControlParamDlg second(dlg.params(), withCompass, &line, kFast);
    second.OnCompassBaudChanged(9); // outside the table: entry 4
    EXPECT_EQ(second.compassBaudCombo()->currentIndex(), 4);
    EXPECT_EQ(probeBaudEntry(ProbeDevice::Compass), 4);
    EXPECT_EQ(second.params().port2, 5);
    EXPECT_EQ(second.params().baudIndex2, 4);
    EXPECT_FALSE(second.compassBaudCombo()->isEnabled());
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(PortProbeTest, OkTakesEverythingAndCancelStillKeepsTheFoundPorts)
{
    test::ScriptedProbeDevice counter(kCounterReply);
    CPortMap map = silentMap();
    map.setDevicePath(4, counter.path());
    for (int slot : {2, 3, 5, 6})
        map.setDevicePath(slot, QString());

    CSurveyParams form;
    form.port1 = 1;
    form.port2 = 1;
    form.sampleStep = 200;
    form.counterResolution = 1;
    form.lensType = 1;

    {
        CControlParamDlg cancelled(form, map, nullptr, kFast);
        cancelled.OnInitDialog();
        cancelled.counterFields().step->edit()->setText(QStringLiteral("50"));
        cancelled.reject();
        takeControlParams(form, cancelled, false);
        EXPECT_EQ(form.port1, 4);
        EXPECT_EQ(form.port2, 1);
        EXPECT_EQ(form.sampleStep, 200u);
    }

    CControlParamDlg dlg(form, map, nullptr, kFast);
    dlg.OnInitDialog();
    dlg.counterFields().resolution->setCurrentIndex(1); // 2 mm per pulse
    dlg.counterFields().step->setMmPerPulse(2);
    dlg.counterFields().step->edit()->setText(QStringLiteral("25"));
    dlg.counterFields().startDepth->SetValue(1.5f);
    dlg.counterFields().captureFormat->setCurrentIndex(1);
    dlg.counterFields().manualStep->setCurrentIndex(6);
    dlg.accept();
    currentCaptureFormat = 0;
    takeControlParams(form, dlg, true);
    EXPECT_EQ(form.sampleStep, 12u);
    EXPECT_EQ(form.counterResolution, 2u);
    EXPECT_EQ(form.startDepth, 1500);
    EXPECT_EQ(form.captureFormat, 1u);
    EXPECT_EQ(currentCaptureFormat.load(), 1);
    EXPECT_EQ(form.manualStep, 1000u);
    EXPECT_EQ(form.port1, 4);
    EXPECT_EQ(form.lensType, 1u); // not the dialog's business
    currentCaptureFormat = 0;
}

TEST_F(PortProbeTest, CancelKeepsTheConfiguredPortsAndFoundDevicesShowTheirRate)
{
    // Configured: counter on slot 2 at 115200, compass on slot 3 at 115200;
    // a device that answers does so at the probe rate, 9600.
    struct Row {
        int counterSlot, compassSlot; // 0: unplugged
        int port1, port2;             // after Cancel
        const char* depthBaud;
        const char* compassBaud;
    };
    const Row rows[] = {
        {0, 0, 2, 3, "115200", "115200"},
        {4, 0, 4, 3, "9600", "115200"},
        {0, 5, 2, 5, "115200", "9600"},
    };
    for (const Row& r : rows) {
        resetFlags();
        test::ScriptedProbeDevice counter(kCounterReply);
        test::ScriptedProbeDevice compass(kCompassReply);
        CPortMap map = silentMap();
        if (r.counterSlot)
            map.setDevicePath(r.counterSlot, counter.path());
        if (r.compassSlot)
            map.setDevicePath(r.compassSlot, compass.path());
        CSurveyParams form;
        form.port1 = 2;
        form.port2 = 3;
        form.baudIndex1 = 6;
        form.baudIndex2 = 6;
        CControlParamDlg dlg(form, map, nullptr, kFast);
        dlg.OnInitDialog();
        EXPECT_EQ(dlg.depthBaudCombo()->currentText(), QLatin1String(r.depthBaud));
        EXPECT_EQ(dlg.compassBaudCombo()->currentText(), QLatin1String(r.compassBaud));
        dlg.reject();
        takeControlParams(form, dlg, false);
        EXPECT_EQ(form.port1, r.port1) << r.counterSlot << r.compassSlot;
        EXPECT_EQ(form.port2, r.port2) << r.counterSlot << r.compassSlot;
    }
}

} // namespace
} // namespace bc

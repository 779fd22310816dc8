#include "acquisition/control_param_dlg.h"
#include "acquisition/port_probe.h"
#include "acquisition/serial_line.h"
#include "acquisition/settings_fields.h"

#include "core/program_values.h"
#include "support/scripted_prompter.h"
#include "support/serial_pty.h"
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

    // Slots 1..6 mapped to silent ptys, those in `unmapped` to nothing.
    CPortMap silentMap(std::initializer_list<int> unmapped = {})
    {
        CPortMap map;
        for (int slot = 1; slot <= CPortMap::kSlotCount; ++slot) {
            silent[slot - 1] = std::make_unique<test::PtyPair>();
            map.setDevicePath(slot, silent[slot - 1]->path());
        }
        for (int slot : unmapped)
            map.setDevicePath(slot, QString());
        return map;
    }

    std::unique_ptr<test::PtyPair> silent[CPortMap::kSlotCount];
};

TEST(ProbeReply, AcceptedRepliesOfBothDevices)
{
    const std::tuple<ProbeDevice, QByteArray, bool> rows[] = {
        {ProbeDevice::DepthCounter, kCounterReply, true},
        {ProbeDevice::DepthCounter, QByteArray("\xAA\xAA\xAA", 3), false},
        {ProbeDevice::DepthCounter, QByteArray("\xAA\x55", 2), false},
        {ProbeDevice::DepthCounter, QByteArray(), false},
        {ProbeDevice::Compass, kCompassReply, true},
        {ProbeDevice::Compass, QByteArray("\x81\x00\x00", 3), true},
        {ProbeDevice::Compass, QByteArray("\x80\x00", 2), false},
        {ProbeDevice::Compass, QByteArray("\x80\x00\x00\x00", 4), false},
    };
    for (const auto& [device, reply, accepted] : rows)
        EXPECT_EQ(probeReplyAccepted(device, reply), accepted) << reply.toHex().constData();
}

TEST_F(PortProbeTest, FindsCounterAndCompassPastAChattyDeviceAndAMissingNode)
{
    test::ScriptedProbeDevice chatty(QByteArray("\xAA\xAA\xAA", 3)); // three bytes: no counter
    test::ScriptedProbeDevice counter(kCounterReply);
    test::ScriptedProbeDevice compass(kCompassReply);
    CPortMap map = silentMap({6}); // unmapped: never tried
    map.setDevicePath(1, chatty.path());
    map.setDevicePath(2, QStringLiteral("/dev/does-not-exist-borecam")); // will not open
    map.setDevicePath(3, counter.path());
    map.setDevicePath(5, compass.path());

    CPortProbe probe(map, kFast);
    ProbePorts ports{1, 1};
    EXPECT_EQ(probe.probeDevices(ports), 3);
    EXPECT_EQ(ports.depthPort, 3);
    EXPECT_EQ(ports.compassPort, 5);
    EXPECT_EQ(probe.slotsTried(), 3 + 5);
    // each device is asked once for each search it is reached by
    EXPECT_TRUE(test::waitUntil([&] { return chatty.queries() == 2 && counter.queries() == 2; }));
    EXPECT_EQ(compass.queries(), 1);

    // found devices are not searched again
    ProbePorts again{3, 5};
    EXPECT_EQ(probe.probeDevices(again), 3);
    EXPECT_EQ(probe.slotsTried(), 0);
    // the probed ports are closed again: the found one is free for the line
    CSerialLine line;
    line.configure(3, map);
    EXPECT_TRUE(line.open(false));
}

TEST_F(PortProbeTest, BytesWaitingBeforeTheQueryAreNoAnswer)
{
    // a silent slot with a late counter answer of an earlier search queued up
    CPortMap map = silentMap({2, 3, 4, 5, 6});
    silent[0]->write(kCounterReply);
    ASSERT_TRUE(test::waitUntil([this] { return silent[0]->unreadBySlave() == 2; }));

    CPortProbe probe(map, kFast);
    ProbePorts ports;
    EXPECT_EQ(probe.probeDepthCounter(ports), 0);
    EXPECT_EQ(ports.depthPort, 0);
    EXPECT_EQ(probe.slotsTried(), 1);
}

TEST_F(PortProbeTest, DialogShowsWhatWasFoundAndOkTakesItsValues)
{
    test::ScriptedPrompter prompter;
    test::ScriptedProbeDevice counter(kCounterReply);
    CPortMap map = silentMap({1, 6});
    map.setDevicePath(3, counter.path());
    CSurveyParams form;
    form.port1 = 1;
    form.port2 = 2;
    form.baudIndex2 = 5;
    form.sampleStep = 12;
    form.counterResolution = 2;
    form.startDepth = 12345;
    form.lensType = 1;
    CControlParamDlg dlg(form, map, nullptr, kFast);
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.depthPortCombo()->currentText(), QStringLiteral("COM3 (%1)").arg(counter.path()));
    EXPECT_FALSE(dlg.depthPortCombo()->isEnabled()); // found: not to be changed
    EXPECT_FALSE(dlg.depthBaudCombo()->isEnabled());
    EXPECT_EQ(dlg.compassPortCombo()->currentIndex(), 1);
    EXPECT_EQ(dlg.compassBaudCombo()->currentText(), QStringLiteral("38400"));
    EXPECT_EQ(dlg.counterFields().step->edit()->text(), QStringLiteral("24 mm"));
    EXPECT_EQ(dlg.counterFields().startDepth->text(), QStringLiteral("12.345"));

    // a compass appears on slot 5 and is found at the newly chosen rate
    test::ScriptedProbeDevice compass(kCompassReply);
    map.setDevicePath(5, compass.path());
    CControlParamDlg second(dlg.params(), map, nullptr, kFast);
    second.OnCompassBaudChanged(9); // outside the table: entry 4
    EXPECT_EQ(second.compassBaudCombo()->currentIndex(), 4);
    EXPECT_EQ(probeBaudEntry(ProbeDevice::Compass), 4);
    EXPECT_EQ(second.params().port2, 5);
    EXPECT_FALSE(second.compassBaudCombo()->isEnabled());

    // OK takes the dialog's values (the fields' own conversions are the
    // settings group's business) and the ports found.
    second.counterFields().captureFormat->setCurrentIndex(1);
    second.accept();
    takeControlParams(form, second, true);
    EXPECT_EQ(form.captureFormat, 1u);
    EXPECT_EQ(currentCaptureFormat.load(), 1);
    EXPECT_EQ(form.port1, 3);
    EXPECT_EQ(form.port2, 5);
    EXPECT_EQ(form.lensType, 1u); // not the dialog's business
    EXPECT_TRUE(prompter.boxes.empty());
    currentCaptureFormat = 0;
}

TEST_F(PortProbeTest, CancelKeepsTheConfiguredPortsAndFoundDevicesShowTheirRate)
{
    // Configured: counter on slot 2, compass on slot 3, both at 115200; a
    // device that answers does so at the probe rate, 9600.
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
        SCOPED_TRACE(r.counterSlot * 10 + r.compassSlot);
        resetFlags();
        test::ScriptedProbeDevice counter(kCounterReply);
        test::ScriptedProbeDevice compass(kCompassReply);
        CPortMap map = silentMap({1, 6}); // fewer silent slots to wait on
        if (r.counterSlot)
            map.setDevicePath(r.counterSlot, counter.path());
        if (r.compassSlot)
            map.setDevicePath(r.compassSlot, compass.path());
        CSurveyParams form;
        form.port1 = 2;
        form.port2 = 3;
        form.baudIndex1 = 6;
        form.baudIndex2 = 6;
        form.sampleStep = 200;
        CControlParamDlg dlg(form, map, nullptr, kFast);
        dlg.OnInitDialog();
        EXPECT_EQ(dlg.depthBaudCombo()->currentText(), QLatin1String(r.depthBaud));
        EXPECT_EQ(dlg.compassBaudCombo()->currentText(), QLatin1String(r.compassBaud));
        dlg.counterFields().step->edit()->setText(QStringLiteral("50"));
        dlg.reject();
        takeControlParams(form, dlg, false);
        EXPECT_EQ(form.port1, r.port1);
        EXPECT_EQ(form.port2, r.port2);
        EXPECT_EQ(form.sampleStep, 200u);
    }
}

} // namespace
} // namespace bc

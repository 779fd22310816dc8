// A whole survey as a user walks it, with nothing attached: the simulated
// probe's camera feeds the capture graph and its counter sits on a pseudo
// terminal. The program is started the way main() starts it.

#include "acquisition/acquisition_dlg.h"
#include "acquisition/device_control.h"
#include "acquisition/dvr_settings.h"
#include "acquisition/grabber_callback.h"
#include "acquisition/port_probe.h"
#include "acquisition/track_file.h"
#include "acquisition/unwrap_stitch_bar.h"
#include "acquisition/usb_filter.h"
#include "acquisition/video_wnd.h"
#include "analysis/attitude_shape.h"
#include "analysis/d3d_frame.h"
#include "analysis/d3d_view.h"
#include "analysis/input_string_dlg.h"
#include "analysis/page_painter.h"
#include "analysis/page_tool_bar.h"
#include "analysis/report_output_dlg.h"
#include "analysis/report_pages.h"
#include "analysis/shape_grid.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_frame.h"
#include "analysis/unwrap_frame_ids.h"
#include "analysis/unwrap_view.h"
#include "app/survey_app.h"
#include "platform/file_opener.h"
#include "support/scripted_prompter.h"
#include "support/serial_slots.h"
#include "support/simulated_probe.h"
#include "support/xlsx_reader.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <dlfcn.h>
#include <string>

namespace bc {
namespace {

constexpr int kFrameW = 352, kFrameH = 288;
constexpr int kWall = 720;   // unwrap width: two columns a degree
constexpr int kStepMm = 200; // sampling step
constexpr int kSteps = 15;   // 3 m
constexpr int kPerPage = 8;
constexpr int kDeclination = 3;
// The winch: a millimetre a millisecond.
constexpr int kStepUs = 1000;
// Strips of 91 rows, 71 new rows a step: a page of eight is 588 rows deep
// over 1401 mm, and this diameter makes a millimetre round the wall as long
// as one along it.
constexpr int kDiameter = 546;

struct Plane {
    test::Fracture trace; // green, 3 rows thick
    int page;
    const char* description;
};
// Half degrees, away from the edges of the whole degrees shown.
const Plane kPlanes[] = {
    {{200, 120.5, 35.5, 3, 0, 255, 0}, 0, "张开裂隙，充填方解石"},
    {{450, 300.5, 10.5, 3, 0, 255, 0}, 0, "joint B"},
    {{880, 210.5, 50.5, 3, 0, 255, 0}, 1, "joint C"},
};

void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

int degreesOf(const QString& text)
{
    return text.left(text.indexOf(QChar(0x00B0))).toInt();
}

// The software GL driver of a virtual X server is unloaded when the display
// closes at the program's end, and what it allocated once for the process
// then looks lost to the leak checker; loaded here for good, it is not.
void keepSoftwareGlDriverLoaded()
{
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu/dri", "/usr/lib/aarch64-linux-gnu/dri",
                            "/usr/lib64/dri", "/usr/lib/dri"})
        if (dlopen((std::string(dir) + "/swrast_dri.so").c_str(), RTLD_NOW | RTLD_NODELETE))
            return;
}

// Waits until a visible video window shows video and gives the one window
// there is (null, and a failure, when there are more).
// Counts the frames handed to the live window's raw-frame view.
class FrameReadyCounter : public QObject {
  public:
    explicit FrameReadyCounter(int& count) : count_(count) {}
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == kFrameReadyEvent)
            ++count_;
        return QObject::eventFilter(o, e);
    }

  private:
    int& count_;
};

CVideoWnd* videoWindow()
{
    std::vector<CVideoWnd*> shown;
    EXPECT_TRUE(test::waitUntil([&] {
        shown.clear();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* v = qobject_cast<CVideoWnd*>(w); v && v->isVisible())
                shown.push_back(v);
        return !shown.empty() && !shown[0]->frameSlot()->latest().isNull();
    }));
    EXPECT_EQ(shown.size(), 1u) << "one video window";
    return shown.size() == 1 ? shown[0] : nullptr;
}

class SurveyTest : public ::testing::Test {
  protected:
    SurveyTest()
        : wall(kWall, 1300, 11, 2), optics{20, kStepMm, 71},
          camera(wall, {kFrameW, kFrameH, kFrameW / 2, kFrameH / 2, 130, 40, 1.0671141f, 0}, optics,
                 position),
          counter(position, 0, 40)
    {
        for (const Plane& p : kPlanes)
            wall.addFracture(p.trace);
    }

    void SetUp() override
    {
        ASSERT_FALSE(counter.path().isEmpty());
        test::SimulatedCamera::registerElement();
        USBFilter::OverrideFactory(QString::fromLatin1(kSourceName),
                                   QString::fromLatin1(test::SimulatedCamera::kFactory));
        setDvrSettingsStore(&deviceValues.settings());
        QSettings& s = profile.settings();
        CPortMap map = test::mapSerialSlotsNowhere(profile);
        map.setDevicePath(1, counter.path());
        map.save(s);
        const std::pair<const char*, QVariant> values[] = {
            {"视频设备/设备", QStringLiteral("test:%1x%2@25").arg(kFrameW).arg(kFrameH)},
            {"镜头控制/COM1", 1},
            {"控制参数/采样步距", kStepMm},
            {"控制参数/磁偏角", kDeclination},
            {"展开/中心X", kFrameW / 2},
            {"展开/中心Y", kFrameH / 2},
            {"展开/外径", 130},
            {"展开/内径", 40},
            {"展开/宽度", kWall},
            {"拼接/页面测点数", kPerPage},
            {"拼接/图像横纵比自适应", 0},
            {"测试参数/开孔直径mm", kDiameter},
            {"测试参数/孔号", QStringLiteral("ZK-21")},
            {"测试参数/测试单位", QStringLiteral("第三勘察队")}};
        for (const auto& [key, value] : values)
            s.setValue(QString::fromUtf8(key), value);
        // The counter sits on the port the profile names, as the port search
        // (tested with the port probe) would have found it.
        depthCounterFound() = true;
        qApp->installEventFilter(&frameReadyCounter);
        previousAsker =
            setStringAsker([this](QWidget*, const QString&, const QString&, QString& t) {
                t = nextDescription;
                return true;
            });
        previousOpener = setFileOpener([this](const QString& path) {
            opened << path;
            return true;
        });
    }
    void TearDown() override
    {
        setStringAsker(previousAsker);
        setFileOpener(previousOpener);
        CReportOutputDlg::setRunner({});
        USBFilter::OverrideFactory(QString::fromLatin1(kSourceName), QString());
        setDvrSettingsStore(nullptr);
        setCaptureSource(QString());
        depthCounterFound() = false;
    }

    static CAcquisitionDlg* form() { return CAcquisitionDlg::mainForm(); }
    static void clickForm(int id) { click(form()->control(id)); }
    static QLineEdit* field(int id) { return static_cast<QLineEdit*>(form()->control(id)); }

    // Holds the lowering key with Ctrl until the counter has reached
    // `target`. A strip is cut from the first frame the live window handles
    // after the step's trigger, and that frame may have been grabbed a little
    // before it: on a busy machine the window lags the camera. So the probe
    // first waits a millimetre short of the step (the shaft's stop there)
    // until the window has handled a frame grabbed while it waited, and only
    // then takes the last millimetre: the strip's frame shows the wall within
    // a millimetre of where the strip says, however slow the machine.
    void winch(int target)
    {
        counter.setStepMicros(kStepUs);
        counter.setEndStop(target - 1);
        QTest::keyPress(form(), Qt::Key_Down, Qt::ControlModifier);
        EXPECT_TRUE(test::waitUntil([&] { return form()->counter().depth() >= target - 1; }));
        // The frame in flight may be older; the one grabbed after it is handled is not.
        const int seen = framesHandled;
        EXPECT_TRUE(test::waitUntil([&] { return framesHandled >= seen + 2; }));
        counter.setEndStop(target);
        EXPECT_TRUE(test::waitUntil([&] { return form()->counter().depth() >= target; }));
        QTest::keyRelease(form(), Qt::Key_Down, Qt::ControlModifier);
        EXPECT_TRUE(test::waitUntil([&] { return !counter.moving(); }));
        EXPECT_EQ(form()->counter().depth(), target) << "the winch stopped where it was told";
    }

    // The stand-alone window from the form's button, with `sfa` open.
    CUnWrapFrame* openStandAlone(const QString& sfa)
    {
        clickForm(IDC_STITCH);
        auto* frame = qobject_cast<CUnWrapFrame*>(form()->stitchWindow());
        if (!frame)
            return nullptr;
        EXPECT_EQ(frame->windowTitle() + QString::number(frame->mode()), "拼接窗口0");
        clickForm(IDC_STITCH);
        EXPECT_EQ(form()->stitchWindow(), frame) << "one stitch window";
        frame->resize(700, 800);
        prompter.fileAnswers.push_back(sfa);
        frame->commandAction(ID_FILE_OPEN)->trigger();
        QCoreApplication::processEvents();
        return frame;
    }

    // The shown page's strips as the screen shows them, gathered across the
    // horizontal scroll range: (0, 0) is the page's top-left corner.
    static QImage pageOnScreen(CUnWrapView* view)
    {
        QScrollBar* h = view->horizontalScrollBar();
        const int visible = view->viewport()->width() - kPageLeftMargin;
        QImage page(kWall, view->viewport()->height(), QImage::Format_RGB32);
        page.fill(Qt::black);
        QPainter painter(&page);
        for (int s = 0;; s = std::min(s + std::max(visible - 10, 1), h->maximum())) {
            h->setValue(s);
            QCoreApplication::processEvents();
            const QImage shot = view->viewport()->grab().toImage();
            painter.drawImage(
                QPoint(s, -kPageTopMargin), shot,
                QRect(kPageLeftMargin, 0, shot.width() - kPageLeftMargin, shot.height()));
            if (s >= h->maximum())
                break;
        }
        return page;
    }

    // Picks a plane as a line with two clicks where the trace on the screen
    // has its shallowest and deepest points: those of the sine
    // row(t) = a + b cos t + c sin t round the hole fitted to it.
    void pick(CUnWrapView* view, const Plane& p)
    {
        const QImage shot = pageOnScreen(view);
        const double pageTop = optics.topRow(p.page * kPerPage * kStepMm);
        double m[3][4] = {}; // the normal equations of the fit
        int found = 0;
        for (int x = 0; x < kWall; ++x) {
            const int expect = int(wall.fractureRow(p.trace, x) - pageTop);
            double sum = 0;
            int n = 0;
            for (int y = std::max(expect - 20, 0); y <= expect + 20 && y < shot.height(); ++y) {
                const QRgb c = shot.pixel(x, y);
                if (qGreen(c) > 170 && qRed(c) < 100 && qBlue(c) < 100)
                    sum += y, ++n;
            }
            if (n == 0)
                continue;
            ++found;
            const double t = 2 * M_PI * x / kWall, v[3] = {1, std::cos(t), std::sin(t)};
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j)
                    m[i][j] += v[i] * v[j];
                m[i][3] += v[i] * sum / n;
            }
        }
        ASSERT_GT(found, kWall * 9 / 10)
            << "the trace of the plane dipping " << p.trace.dipAngleDeg;
        for (int i = 0; i < 3; ++i) // Gauss-Jordan on a well-conditioned 3 x 3
            for (int k = 0; k < 3; ++k) {
                const double r = k == i ? 0 : m[k][i] / m[i][i];
                for (int j = 0; j < 4; ++j)
                    m[k][j] -= r * m[i][j];
            }
        const double a = m[0][3] / m[0][0], b = m[1][3] / m[1][1], c = m[2][3] / m[2][2];
        const double deep = std::atan2(c, b), amplitude = std::hypot(b, c);
        for (double t : {deep + M_PI, deep}) {
            const int x = int(std::lround(std::fmod(t / (2 * M_PI) + 2, 1.0) * kWall)) % kWall;
            const double row = t == deep ? a + amplitude : a - amplitude;
            QScrollBar* h = view->horizontalScrollBar();
            h->setValue(std::clamp(x - view->viewport()->width() / 2, 0, h->maximum()));
            QCoreApplication::processEvents();
            const QPoint at(kPageLeftMargin + x - h->value(),
                            kPageTopMargin + int(std::lround(row)));
            QTest::mouseMove(view->viewport(), at);
            QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
        }
    }

    static QStringList attitudeTexts(const CUnWrapData* data)
    {
        QStringList t;
        for (int i = 0; i < data->GetShapeCount(); ++i)
            for (int k = 0; k < 5; ++k)
                t << data->GetShape(i)->GetText(ShapeText(k));
        return t;
    }

    void downward();
    void analyse(const QString& sfa);

    test::TempSettings profile;
    test::TempSettings deviceValues;
    QTemporaryDir dir;
    test::ScriptedPrompter prompter;
    test::SyntheticBorehole wall;
    test::ProbeOptics optics;
    test::ProbePosition position;
    test::SimulatedCamera camera;
    test::SimulatedCounter counter;
    QString nextDescription;
    StringAsker previousAsker;
    QStringList opened; // what would be opened with the desktop's application
    FileOpener previousOpener;
    bool formWhole = false; // when the last stitch window went
    int framesHandled = 0;
    FrameReadyCounter frameReadyCounter{framesHandled};
};

void SurveyTest::downward()
{
    // 1. Live video in one window, with the compass heading from the counter.
    clickForm(IDC_LIVE);
    ASSERT_EQ(form()->GetUiMode(), ModeLive);
    ASSERT_TRUE(videoWindow());
    EXPECT_TRUE(test::waitUntil([] { return !field(IDC_HEADING)->text().isEmpty(); }));
    clickForm(IDC_STOP);

    // 2-4. Recording, the live window from the bar under the video, 3 m down
    //      in 200 mm steps.
    const QString mpeg = dir.filePath(QStringLiteral("down.mpg"));
    field(IDC_FILE)->setText(mpeg);
    clickForm(IDC_RECORD);
    ASSERT_EQ(form()->GetUiMode(), ModeRecording);
    CVideoWnd* video = videoWindow();
    ASSERT_TRUE(video);
    auto* live = qobject_cast<CUnWrapFrame*>(video->findChild<CUnwrapStitchBar*>()->window());
    ASSERT_TRUE(live);
    EXPECT_EQ(live->mode(), CUnWrapFrame::Live);
    const CUnWrapData* data = live->GetUnWrapView()->GetData();
    for (int k = 0; k <= kSteps; ++k) {
        if (k > 0)
            winch(kStepMm * k);
        ASSERT_TRUE(test::waitUntil([&] { return data->GetItemCount() == k + 1; })) << k;
        // Only the current page's strips hold pixels.
        int resident = 0;
        for (int i = 0; i <= k; ++i)
            resident += data->GetItem(i)->hasPixels() ? 1 : 0;
        EXPECT_LE(resident, kPerPage) << k;
    }
    // The page left behind is on disk while the survey goes on.
    const QString folder = form()->GetAnalysisFolder();
    for (int i = 0; i < kPerPage; ++i)
        EXPECT_TRUE(QFileInfo::exists(data->GetItem(i)->jpgPath(folder))) << i;
    for (int i = 0; i <= kSteps; ++i) {
        const CUnWrapImage* item = data->GetItem(i);
        EXPECT_EQ(item->depthKey, i * kStepMm) << "a strip at each step";
        // Each strip carries the compass heading of where it was taken; the
        // first is taken as the recording starts, perhaps before the compass
        // has spoken.
        if (i > 0) {
            EXPECT_EQ(item->angle, counter.headingAt(item->depthKey)) << i;
        }
    }
    // The track writer samples the depth at its own pace: stopped once it has
    // written the foot of the descent.
    auto lastTrackRecord = [&] {
        QFile f(MakeTrackName(mpeg));
        QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        bytes.chop(bytes.size() % kTrackRecordBytes);
        return bytes.size() < kTrackRecordBytes
                   ? TrackRecord{-1, 0}
                   : decodeTrackRecord(reinterpret_cast<const uint8_t*>(bytes.constData()) +
                                       bytes.size() - kTrackRecordBytes);
    };
    EXPECT_TRUE(test::waitUntil([&] { return lastTrackRecord().depth == kSteps * kStepMm; }))
        << lastTrackRecord().depth;
    clickForm(IDC_STOP); // the question answered with OK
    EXPECT_EQ(form()->GetUiMode(), ModeIdle);
    EXPECT_EQ(QDir(folder).entryList({"*.jpg"}).size(), kSteps + 1) << "every strip on disk";
    // The depth track follows the counter to the foot of the descent, with the compass.
    const TrackRecord last = lastTrackRecord();
    EXPECT_EQ(last.depth, kSteps * kStepMm);
    EXPECT_EQ(last.heading, counter.headingAt(last.depth));

    // The recording plays back in one window with its depth readout.
    field(IDC_FILE)->clear();
    prompter.fileAnswers.push_back(mpeg);
    clickForm(IDC_PLAY);
    EXPECT_EQ(form()->GetUiMode(), ModePlayback);
    EXPECT_TRUE(videoWindow());
    EXPECT_TRUE(test::waitUntil([] {
        const QString d = field(IDC_DEPTH)->text();
        return d.endsWith(QStringLiteral("米")) && d != QStringLiteral("0.000米");
    })) << field(IDC_DEPTH)->text().toStdString();
    clickForm(IDC_STOP);
    field(IDC_FILE)->clear();

    analyse(dir.filePath(QStringLiteral("down/down.sfa")));
}

void SurveyTest::analyse(const QString& sfa)
{
    // 5. The stand-alone window from the form's button.
    CUnWrapFrame* frame = openStandAlone(sfa);
    ASSERT_TRUE(frame);
    CUnWrapView* view = frame->GetUnWrapView();
    ASSERT_TRUE(view->GetData());
    ASSERT_EQ(view->GetData()->GetItemCount(), kSteps + 1);
    ASSERT_EQ(view->GetPageCount(), 2);
    // While it is active, plus and minus do not step the form's depth; typed
    // into the window's page box, they are the box's.
    QApplication::setActiveWindow(frame);
    QLineEdit* box = frame->pageToolBar()->pageBox();
    const QString page = box->text();
    const QString depth = field(IDC_DEPTH)->text();
    QTest::keyClick(box, Qt::Key_Minus);
    QTest::keyClick(box, Qt::Key_Equal);
    EXPECT_EQ(box->text(), page + "-=");
    EXPECT_EQ(field(IDC_DEPTH)->text(), depth);
    box->setText(page);

    // 6. Each plane picked on its page.
    frame->SetPickMode(1);
    for (const Plane& p : kPlanes) {
        if (view->currentPage() != p.page)
            frame->commandAction(p.page ? ID_NEXT_PAGE : ID_PREV_PAGE)->trigger();
        QCoreApplication::processEvents();
        ASSERT_EQ(view->currentPage(), p.page);
        const int before = view->GetData()->GetShapeCount();
        nextDescription = QString::fromUtf8(p.description);
        pick(view, p);
        ASSERT_EQ(view->GetData()->GetShapeCount(), before + 1);
        const CAttitudeShape* s = view->GetData()->GetShape(before);
        // The station's declination is taken off once.
        EXPECT_EQ(degreesOf(s->GetText(TextDipAngle)), int(p.trace.dipAngleDeg));
        EXPECT_EQ(degreesOf(s->GetText(TextDipDirection)),
                  int(p.trace.dipDirectionDeg) - kDeclination);
        EXPECT_EQ(s->GetText(TextDescription), nextDescription);
    }
    EXPECT_EQ(frame->GetShapeGrid()->GetRowCount() - 1, int(std::size(kPlanes)));
    const QStringList attitudes = attitudeTexts(view->GetData());

    // 7. The cylinder, both reports and the attitude table.
    keepSoftwareGlDriverLoaded();
    frame->commandAction(ID_CYLINDER)->trigger();
    auto* cylinder = view->findChild<CD3DFrame*>();
    ASSERT_TRUE(cylinder);
    if (cylinder->view() && QTest::qWaitForWindowExposed(cylinder)) {
        // The cylinder is drawn: the picture is more than its background.
        const QImage drawn = cylinder->view()->grabFramebuffer();
        EXPECT_NE(drawn.pixel(drawn.width() / 2, drawn.height() / 2), drawn.pixel(1, 1));
    } else {
        std::printf("[ SKIPPED  ] no OpenGL here: the cylinder window is blank\n");
    }
    cylinder->close();

    for (int type : {kAttitudeReport, kImageReport}) {
        const QString out = dir.filePath(QStringLiteral("report%1.xlsx").arg(type));
        prompter.fileAnswers.push_back(out);
        CReportOutputDlg::setRunner([type](CReportOutputDlg& dlg) {
            click(dlg.control(CReportOutputDlg::IDC_ALL_PAGES));
            click(dlg.control(type == kAttitudeReport ? CReportOutputDlg::IDC_ATTITUDE_TYPE
                                                      : CReportOutputDlg::IDC_IMAGE_TYPE));
            return dlg.pullValues();
        });
        frame->commandAction(ID_REPORT)->trigger();
        const QString text =
            QString::fromUtf8(test::xlsxPart(out, QStringLiteral("xl/sharedStrings.xml")));
        EXPECT_TRUE(text.contains("ZK-21") && text.contains("第三勘察队")) << type;
        EXPECT_EQ(
            test::xlsxParts(out).filter(QRegularExpression("^xl/media/image1\\.jpe?g$")).size(), 1);
    }
    frame->GetShapeGrid()->OnExportExcel();
    ASSERT_EQ(opened.size(), 3); // both reports, then the table
    const QString cells = QString::fromUtf8(
        test::xlsxPart(opened.back(), QStringLiteral("xl/sharedStrings.xml")) +
        test::xlsxPart(opened.back(), QStringLiteral("xl/worksheets/sheet1.xml")));
    for (const QString& t : attitudes)
        EXPECT_TRUE(cells.contains(t)) << t.toStdString();

    // 8. Saved, closed and opened again: nothing lost.
    frame->commandAction(ID_FILE_SAVE)->trigger();
    frame->close();
    EXPECT_TRUE(test::waitUntil([] { return !form()->stitchWindow(); }));
    frame = openStandAlone(sfa);
    ASSERT_TRUE(frame);
    const CUnWrapData* data = frame->GetUnWrapView()->GetData();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->GetItemCount(), kSteps + 1);
    EXPECT_EQ(attitudeTexts(data), attitudes);
    const SfaHeader& h = data->header();
    EXPECT_EQ(QStringList({QString::number(h.openingDiameter), h.holeNumber, h.testingUnit,
                           QString::number(h.samplingStep)}),
              QStringList({"546", "ZK-21", "第三勘察队", "200"}));
    EXPECT_EQ(frame->GetShapeGrid()->GetRowCount() - 1, int(std::size(kPlanes)));
    // Closed as the program ends, its deletion still pending: it goes while
    // the form, whose settings it writes back, is still whole.
    QObject::connect(frame, &QObject::destroyed, [this] { formWhole = form() != nullptr; });
    frame->close();
}

TEST_F(SurveyTest, DownWithTheSimulatedProbe)
{
    bool walked = false;
    QTimer::singleShot(0, [&] {
        // However the walk ends, the form closes and the program with it.
        struct CloseForm {
            ~CloseForm()
            {
                if (CAcquisitionDlg* f = form()) {
                    f->OnStopRecord();
                    f->reject();
                }
            }
        } closeForm;
        downward();
        walked = true;
    });
    CSurveyApp app;
    EXPECT_FALSE(app.InitInstance(nullptr, &profile.settings()));
    EXPECT_TRUE(walked);
    EXPECT_TRUE(formWhole);
    EXPECT_EQ(CAcquisitionDlg::mainForm(), nullptr);
}

} // namespace
} // namespace bc

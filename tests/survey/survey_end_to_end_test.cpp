// A whole survey as a user walks it, with nothing attached: the simulated
// probe's camera feeds the capture graph and its counter sits on a pseudo
// terminal. The program is started the way main() starts it.

#include "acquisition/acquisition_dlg.h"
#include "acquisition/device_control.h"
#include "acquisition/dvr_settings.h"
#include "acquisition/port_map.h"
#include "acquisition/port_probe.h"
#include "acquisition/settings_groups.h"
#include "acquisition/track_file.h"
#include "acquisition/unwrap_stitch_bar.h"
#include "acquisition/usb_filter.h"
#include "acquisition/video_wnd.h"
#include "analysis/attitude_shape.h"
#include "analysis/d3d_frame.h"
#include "analysis/d3d_view.h"
#include "analysis/input_string_dlg.h"
#include "analysis/page_painter.h"
#include "analysis/report_output_dlg.h"
#include "analysis/report_pages.h"
#include "analysis/shape_grid.h"
#include "analysis/test_param_dlg.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_frame.h"
#include "analysis/unwrap_frame_ids.h"
#include "analysis/unwrap_view.h"
#include "app/survey_app.h"
#include "platform/file_opener.h"
#include "support/serial_slots.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/simulated_probe.h"
#include "support/temp_settings.h"
#include "support/xlsx_reader.h"
#include "ui/bmp_button.h"
#include "ui/num_edit.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <dlfcn.h>
#include <optional>
#include <string>

namespace bc {
namespace {

constexpr int kFrameW = 352, kFrameH = 288;
constexpr int kWall = 720;      // unwrap width: two columns a degree
constexpr int kStepMm = 200;    // sampling step
constexpr int kSteps = 15;      // 3 m
constexpr int kPerPage = 8;
constexpr int kDeclination = 3;
// The winch runs on until its stop byte arrives, and a strip is stamped with
// the depth where its frame was taken: a little past the step on a busy
// machine.
constexpr int kOvershootMm = 50;
// The winch: a millimetre a millisecond, creeping at one in 5 ms over the
// last 16 mm of a step.
constexpr int kFastStepUs = 1000, kCreepStepUs = 5000, kCreepMm = 16;
// Strips of 91 rows, 71 new rows a step: a page of eight is 588 rows deep
// over 1401 mm, and this diameter makes a millimetre round the wall as long
// as one along it.
constexpr int kDiameter = 546;

struct Plane {
    double axisRow, dip, direction;
    int page;
    const char* description;
};
// Half degrees, away from the edges of the whole degrees shown.
const Plane kPlanes[] = {
    {200, 35.5, 120.5, 0, "张开裂隙，充填方解石"},
    {450, 10.5, 300.5, 0, "joint B"},
    {880, 50.5, 210.5, 1, "joint C"},
};

test::Fracture fractureOf(const Plane& p)
{
    test::Fracture f;
    f.axisRow = p.axisRow;
    f.dipAngleDeg = p.dip;
    f.dipDirectionDeg = p.direction;
    f.thickness = 3;
    f.blue = 0, f.green = 255, f.red = 0;
    return f;
}

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

// Sees what would be opened with the desktop's application.
struct Opened {
    QStringList paths;
    FileOpener previous;
    Opened()
    {
        previous = setFileOpener([this](const QString& p) {
            paths << p;
            return true;
        });
    }
    ~Opened() { setFileOpener(previous); }
};

class SurveyTest : public ::testing::Test {
protected:
    SurveyTest()
        : wall(kWall, 1300, 11, 2), optics{20, kStepMm, 71},
          camera(wall, ring(), optics, position), counter(position, 0, 40)
    {
        for (const Plane& p : kPlanes)
            wall.addFracture(fractureOf(p));
    }
    static test::RingCamera ring()
    {
        return {kFrameW, kFrameH, kFrameW / 2, kFrameH / 2, 130, 40, 1.0671141f, 0};
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
        s.setValue(QStringLiteral("视频设备/设备"), QStringLiteral("test:%1x%2@25").arg(kFrameW).arg(kFrameH));
        const std::pair<const char*, QVariant> values[] = {
            {"镜头控制/COM1", 1},        {"控制参数/采样步距", kStepMm},
            {"控制参数/磁偏角", kDeclination}, {"展开/中心X", kFrameW / 2},
            {"展开/中心Y", kFrameH / 2}, {"展开/外径", 130},
            {"展开/内径", 40},           {"展开/宽度", kWall},
            {"拼接/页面测点数", kPerPage}, {"拼接/图像横纵比自适应", 0},
            {"测试参数/开孔直径mm", kDiameter}, {"测试参数/孔号", QStringLiteral("ZK-21")},
            {"测试参数/测试单位", QStringLiteral("第三勘察队")},
        };
        for (const auto& [key, value] : values)
            s.setValue(QString::fromUtf8(key), value);
        depthCounterFound() = false;
        compassFound() = false;
        previousAsker = setStringAsker([this](QWidget*, const QString&, const QString&, QString& text) {
            text = nextDescription;
            return true;
        });
    }
    void TearDown() override
    {
        setStringAsker(previousAsker);
        CReportOutputDlg::setRunner({});
        USBFilter::OverrideFactory(QString::fromLatin1(kSourceName), QString());
        setDvrSettingsStore(nullptr);
        setCaptureSource(QString());
        depthCounterFound() = false;
        compassFound() = false;
    }

    static CAcquisitionDlg* form() { return CAcquisitionDlg::mainForm(); }
    void clickForm(int id) { click(form()->control(id)); }
    static QString field(int id) { return static_cast<QLineEdit*>(form()->control(id))->text(); }

    // The live window the bar under the video window opened.
    static CUnWrapFrame* liveFrame()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* video = qobject_cast<CVideoWnd*>(w); video && video->isVisible())
                if (auto* bar = video->findChild<CUnwrapStitchBar*>())
                    return qobject_cast<CUnWrapFrame*>(bar->window());
        return nullptr;
    }
    static bool videoShowsFrames()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* video = qobject_cast<CVideoWnd*>(w); video && video->isVisible())
                return !video->frameSlot()->latest().isNull();
        return false;
    }
    static int residentStrips(const CUnWrapData* data)
    {
        int n = 0;
        for (int i = 0; data && i < data->GetItemCount(); ++i)
            n += data->GetItem(i)->hasPixels() ? 1 : 0;
        return n;
    }

    // Holds the winch key with Ctrl until the counter has reached `target`,
    // the winch creeping over the last few millimetres so that the strip's
    // frame is taken close to where the step's trigger fired.
    void winch(int key, int target)
    {
        const bool down = key == Qt::Key_Down;
        auto reached = [&](int margin) {
            const int d = form()->counter().depth();
            return down ? d >= target - margin : d <= target + margin;
        };
        counter.setStepMicros(kFastStepUs);
        QTest::keyPress(form(), Qt::Key(key), Qt::ControlModifier);
        EXPECT_TRUE(test::waitUntil([&] { return reached(kCreepMm); }));
        counter.setStepMicros(kCreepStepUs);
        EXPECT_TRUE(test::waitUntil([&] { return reached(0); }));
        QTest::keyRelease(form(), Qt::Key(key), Qt::ControlModifier);
        EXPECT_TRUE(test::waitUntil([&] { return !counter.moving(); }));
    }

    struct Run {
        int mostResident = -1;     // the most strips holding pixels at once
        std::vector<int32_t> keys; // depth keys, ascending
    };
    // One recorded run of 15 steps.
    Run survey(const QString& mpeg, int key, int direction)
    {
        Run run;
        static_cast<QLineEdit*>(form()->control(IDC_FILE))->setText(mpeg);
        clickForm(IDC_RECORD);
        EXPECT_EQ(form()->GetUiMode(), ModeRecording);
        EXPECT_TRUE(test::waitUntil([] { return liveFrame() && videoShowsFrames(); }));
        CUnWrapFrame* live = liveFrame();
        if (!live)
            return run;
        EXPECT_EQ(live->mode(), CUnWrapFrame::Live);
        CUnWrapView* view = live->GetUnWrapView();
        const int start = form()->counter().depth();
        for (int k = 0; k <= kSteps; ++k) {
            if (k > 0)
                winch(key, start + (direction ? -1 : 1) * kStepMm * k);
            EXPECT_TRUE(test::waitUntil([&] { return view->GetData()->GetItemCount() == k + 1; }))
                << "step " << k;
            run.mostResident = std::max(run.mostResident, residentStrips(view->GetData()));
        }
        const CUnWrapData* data = view->GetData();
        const QString folder = form()->GetAnalysisFolder();
        // The page left behind is on disk while the survey goes on.
        for (int i = 0; i < kPerPage; ++i) {
            const int taken = direction ? data->GetItemCount() - 1 - i : i;
            EXPECT_TRUE(QFileInfo::exists(data->GetItem(taken)->jpgPath(folder))) << taken;
        }
        for (int i = 0; i < data->GetItemCount(); ++i) {
            const CUnWrapImage* item = data->GetItem(i);
            run.keys.push_back(item->depthKey);
            // Each strip carries the compass heading of where it was taken;
            // the start depth's own strip is taken as the recording starts,
            // perhaps before the compass has spoken.
            if (item->depthKey != start) {
                EXPECT_EQ(item->angle, counter.headingAt(item->depthKey)) << i;
            }
        }
        clickForm(IDC_STOP); // the question answered with OK
        EXPECT_EQ(form()->GetUiMode(), ModeIdle);
        // Every strip is on disk now.
        for (int32_t k : run.keys)
            EXPECT_TRUE(QFileInfo::exists(QStringLiteral("%1/%2.jpg").arg(folder).arg(k))) << k;
        return run;
    }

    // The stand-alone window from the form's button, with `sfa` open.
    CUnWrapFrame* openStandAlone(const QString& sfa)
    {
        clickForm(IDC_STITCH);
        auto* frame = qobject_cast<CUnWrapFrame*>(form()->stitchWindow());
        if (!frame)
            return nullptr;
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
            painter.drawImage(QPoint(s, -kPageTopMargin), shot,
                              QRect(kPageLeftMargin, 0, shot.width() - kPageLeftMargin, shot.height()));
            if (s >= h->maximum())
                break;
        }
        h->setValue(0);
        return page;
    }

    // The trace of a plane on the shown page, found on the screen: its
    // shallowest and deepest points (page pixels).
    std::optional<std::pair<QPoint, QPoint>> traceOnScreen(CUnWrapView* view, const Plane& p)
    {
        const QImage shot = pageOnScreen(view);
        const double pageTop = optics.topRow(p.page * kPerPage * kStepMm);
        const test::Fracture f = fractureOf(p);
        std::vector<double> rows(kWall, -1);
        int found = 0;
        for (int x = 0; x < kWall; ++x) {
            const int expect = int(wall.fractureRow(f, x) - pageTop);
            double sum = 0;
            int n = 0;
            for (int y = std::max(expect - 20, 0); y <= expect + 20 && y < shot.height(); ++y) {
                const QRgb c = shot.pixel(x, y);
                if (qGreen(c) > 170 && qRed(c) < 100 && qBlue(c) < 100)
                    sum += y, ++n;
            }
            if (n > 0)
                rows[size_t(x)] = sum / n, ++found;
        }
        if (found < kWall * 9 / 10)
            return std::nullopt;
        // The trace is a sine round the hole: its best fit row(t) = a +
        // b cos t + c sin t puts the extremes where the eye would.
        double m[3][4] = {};
        for (int x = 0; x < kWall; ++x) {
            if (rows[size_t(x)] < 0)
                continue;
            const double t = 2 * M_PI * x / kWall;
            const double v[3] = {1, std::cos(t), std::sin(t)};
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j)
                    m[i][j] += v[i] * v[j];
                m[i][3] += v[i] * rows[size_t(x)];
            }
        }
        for (int i = 0; i < 3; ++i) // Gauss-Jordan on a well-conditioned 3 x 3
            for (int k = 0; k < 3; ++k)
                if (k != i) {
                    const double r = m[k][i] / m[i][i];
                    for (int j = 0; j < 4; ++j)
                        m[k][j] -= r * m[i][j];
                }
        const double a = m[0][3] / m[0][0], b = m[1][3] / m[1][1], c = m[2][3] / m[2][2];
        const double deep = std::atan2(c, b), amplitude = std::hypot(b, c);
        auto at = [&](double t, double row) {
            const int x = int(std::lround(std::fmod(t / (2 * M_PI) + 2, 1.0) * kWall)) % kWall;
            return QPoint(x, int(std::lround(row)));
        };
        return std::make_pair(at(deep + M_PI, a - amplitude), at(deep, a + amplitude));
    }

    // A line of two clicks at page points, each a move, a press and a
    // release, the page scrolled to show the point first.
    static void pickLine(CUnWrapView* view, QPoint a, QPoint b)
    {
        QWidget* vp = view->viewport();
        QScrollBar* h = view->horizontalScrollBar();
        for (QPoint p : {a, b}) {
            h->setValue(std::clamp(p.x() - (vp->width() - kPageLeftMargin) / 2, 0, h->maximum()));
            QCoreApplication::processEvents();
            const QPoint at = p + QPoint(kPageLeftMargin - h->value(), kPageTopMargin);
            QTest::mouseMove(vp, at);
            QTest::mousePress(vp, Qt::LeftButton, {}, at);
            QTest::mouseRelease(vp, Qt::LeftButton, {}, at);
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
    void upward();

    test::TempSettings profile;
    test::TempSettings deviceValues;
    QTemporaryDir dir;
    test::ScriptedPrompter prompter;
    Opened opened;
    test::SyntheticBorehole wall;
    test::ProbeOptics optics;
    test::ProbePosition position;
    test::SimulatedCamera camera;
    test::SimulatedCounter counter;
    QString nextDescription;
    StringAsker previousAsker;
};

void SurveyTest::downward()
{
    // 1. The counter is found on its port by the control-parameter search;
    //    the live video runs.
    QTimer ok;
    QObject::connect(&ok, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    ok.start(20);
    form()->OnControlParameters();
    ok.stop();
    ASSERT_TRUE(depthCounterFound());
    EXPECT_GT(counter.queries(), 0);
    EXPECT_EQ(form()->GetSurveyParams().port1, 1);
    clickForm(IDC_LIVE);
    ASSERT_EQ(form()->GetUiMode(), ModeLive);
    ASSERT_TRUE(test::waitUntil(videoShowsFrames));
    EXPECT_TRUE(test::waitUntil([] { return !field(IDC_HEADING).isEmpty(); }));
    clickForm(IDC_STOP);

    // 2-4. Recording, the live window from the bar, 3 m down in 200 mm steps.
    const QString mpeg = dir.filePath(QStringLiteral("down.mpg"));
    const Run run = survey(mpeg, Qt::Key_Down, 0);
    ASSERT_EQ(run.keys.size(), size_t(kSteps + 1));
    EXPECT_EQ(run.mostResident, kPerPage) << "only the current page's strips hold pixels";
    const QString folder = dir.filePath(QStringLiteral("down"));
    const QString sfa = folder + QStringLiteral("/down.sfa");
    EXPECT_GT(QFileInfo(mpeg).size(), 0);
    QFile track(MakeTrackName(mpeg));
    ASSERT_TRUE(track.open(QIODevice::ReadOnly));
    const QByteArray records = track.readAll();
    ASSERT_GE(records.size(), kTrackRecordBytes);
    // The track follows the descent to its end, with the compass.
    const TrackRecord last = decodeTrackRecord(
        reinterpret_cast<const uint8_t*>(records.constData()) + records.size() - kTrackRecordBytes);
    EXPECT_NEAR(last.depth, kSteps * kStepMm, kOvershootMm);
    EXPECT_EQ(last.heading, counter.headingAt(last.depth));
    EXPECT_GT(QFileInfo(sfa).size(), 0);
    for (int k = 0; k <= kSteps; ++k)
        EXPECT_NEAR(run.keys[size_t(k)], k * kStepMm, kOvershootMm) << "a strip at each step";

    // The recording plays back with its depth readout.
    static_cast<QLineEdit*>(form()->control(IDC_FILE))->clear();
    prompter.fileAnswers.push_back(mpeg);
    clickForm(IDC_PLAY);
    EXPECT_EQ(form()->GetUiMode(), ModePlayback);
    EXPECT_TRUE(test::waitUntil([] {
        const QString d = field(IDC_DEPTH);
        return d.endsWith(QStringLiteral("米")) && d != QStringLiteral("0.000米");
    })) << field(IDC_DEPTH).toStdString();
    clickForm(IDC_STOP);
    static_cast<QLineEdit*>(form()->control(IDC_FILE))->clear();

    analyse(sfa);
}

void SurveyTest::analyse(const QString& sfa)
{
    // 5. The stand-alone window: paging and an auto-aligned page.
    CUnWrapFrame* frame = openStandAlone(sfa);
    ASSERT_TRUE(frame);
    CUnWrapView* view = frame->GetUnWrapView();
    ASSERT_TRUE(view->GetData());
    ASSERT_EQ(view->GetData()->GetItemCount(), kSteps + 1);
    ASSERT_EQ(view->GetPageCount(), 2);
    frame->commandAction(ID_NEXT_PAGE)->trigger();
    EXPECT_EQ(view->currentPage(), 1);
    frame->commandAction(ID_PREV_PAGE)->trigger();
    EXPECT_EQ(view->currentPage(), 0);
    frame->commandAction(ID_AUTO_ALIGN)->trigger();
    EXPECT_EQ(view->GetData()->GetItemCount(), kSteps + 1);

    // 6. Each plane picked as a line at its trace's shallowest and deepest
    //    points.
    frame->SetPickMode(1);
    for (const Plane& p : kPlanes) {
        if (view->currentPage() != p.page)
            frame->commandAction(p.page ? ID_NEXT_PAGE : ID_PREV_PAGE)->trigger();
        QCoreApplication::processEvents();
        const auto trace = traceOnScreen(view, p);
        ASSERT_TRUE(trace) << "the trace of the " << p.dip << " degree plane is on the page";
        const int before = view->GetData()->GetShapeCount();
        nextDescription = QString::fromUtf8(p.description);
        pickLine(view, trace->first, trace->second);
        ASSERT_EQ(view->GetData()->GetShapeCount(), before + 1);
        const CAttitudeShape* s = view->GetData()->GetShape(before);
        // The station's declination is taken off once.
        EXPECT_EQ(degreesOf(s->GetText(TextDipAngle)), int(p.dip));
        EXPECT_EQ(degreesOf(s->GetText(TextDipDirection)), int(p.direction) - kDeclination);
        EXPECT_EQ(s->GetText(TextDescription), nextDescription);
    }
    ASSERT_TRUE(frame->GetShapeGrid());
    EXPECT_EQ(frame->GetShapeGrid()->GetRowCount() - 1, int(std::size(kPlanes)));

    // 7. The test parameters confirmed unchanged leave the attitudes alone.
    const QStringList attitudes = attitudeTexts(view->GetData());
    QTimer::singleShot(0, [] {
        if (auto* dlg = qobject_cast<CTestParamDlg*>(QApplication::activeModalWidget()))
            QTest::mouseClick(dlg->control(1), Qt::LeftButton);
    });
    frame->commandAction(ID_TEST_PARAMS)->trigger();
    EXPECT_EQ(attitudeTexts(view->GetData()), attitudes);

    // 8. Page pictures, the cylinder, both reports and the attitude table.
    const QString page = dir.filePath(QStringLiteral("page.jpg"));
    prompter.fileAnswers.push_back(page);
    frame->commandAction(ID_EXPORT_CURRENT_PAGE)->trigger();
    EXPECT_GE(QImage(page).width(), kWall);
    prompter.fileAnswers.push_back(dir.path());
    frame->commandAction(ID_EXPORT_ALL_PAGES)->trigger();
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("拼接图"))).entryList(QDir::Files).size(), 2);

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
        ASSERT_TRUE(QFileInfo::exists(out)) << type;
        const QString text = QString::fromUtf8(test::xlsxPart(out, QStringLiteral("xl/sharedStrings.xml")));
        EXPECT_TRUE(text.contains(QStringLiteral("ZK-21"))) << type;
        EXPECT_TRUE(test::xlsxParts(out).contains(QStringLiteral("xl/media/image1.jpeg")) ||
                    test::xlsxParts(out).contains(QStringLiteral("xl/media/image1.jpg")))
            << test::xlsxParts(out).join(' ').toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("第三勘察队"))) << type;
    }
    frame->GetShapeGrid()->OnExportExcel();
    ASSERT_FALSE(opened.paths.isEmpty());
    const QString table = opened.paths.back();
    EXPECT_TRUE(table.endsWith(QStringLiteral(".xlsx")));
    const QString cells = QString::fromUtf8(test::xlsxPart(table, QStringLiteral("xl/sharedStrings.xml")) +
                                            test::xlsxPart(table, QStringLiteral("xl/worksheets/sheet1.xml")));
    for (const QString& t : attitudes)
        EXPECT_TRUE(cells.contains(t)) << t.toStdString();

    // 9. Saved, closed and opened again: nothing lost.
    frame->commandAction(ID_FILE_SAVE)->trigger();
    frame->close();
    EXPECT_TRUE(test::waitUntil([] { return !form()->stitchWindow(); }));
    frame = openStandAlone(sfa);
    ASSERT_TRUE(frame);
    const CUnWrapData* data = frame->GetUnWrapView()->GetData();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->GetItemCount(), kSteps + 1);
    EXPECT_EQ(attitudeTexts(data), attitudes);
    EXPECT_EQ(data->header().openingDiameter, kDiameter);
    EXPECT_EQ(data->header().holeNumber, QStringLiteral("ZK-21"));
    EXPECT_EQ(data->header().testingUnit, QStringLiteral("第三勘察队"));
    EXPECT_EQ(data->header().samplingStep, kStepMm);
    EXPECT_EQ(frame->GetShapeGrid()->GetRowCount() - 1, int(std::size(kPlanes)));
    frame->close();
    EXPECT_TRUE(test::waitUntil([] { return !form()->stitchWindow(); }));
}

void SurveyTest::upward()
{
    // The same hole climbed from 3 m: the counter counts the climb.
    auto* group = form()->findChild<CControlParamsGroup*>();
    ASSERT_TRUE(group);
    group->directionCombo()->setCurrentIndex(1);
    group->startDepthEdit()->setText(QStringLiteral("3.000"));
    click(group->saveButton());
    counter.setSurveyDirection(1);
    ASSERT_EQ(form()->GetSurveyParams().moveDirection, 1u);
    ASSERT_EQ(form()->GetSurveyParams().startDepth, kSteps * kStepMm);

    const QString mpeg = dir.filePath(QStringLiteral("up.mpg"));
    const Run run = survey(mpeg, Qt::Key_Up, 1);
    EXPECT_EQ(run.mostResident, kPerPage) << "climbing holds no more pixels than going down";
    CUnWrapFrame* frame = openStandAlone(dir.filePath(QStringLiteral("up/up.sfa")));
    ASSERT_TRUE(frame);
    const CUnWrapData* data = frame->GetUnWrapView()->GetData();
    ASSERT_TRUE(data);
    ASSERT_EQ(data->GetItemCount(), kSteps + 1);
    for (int k = 0; k <= kSteps; ++k) {
        EXPECT_EQ(data->GetItem(k)->depthKey, run.keys[size_t(k)]);
        EXPECT_NEAR(data->GetItem(k)->depthKey, k * kStepMm, kOvershootMm) << "a strip at each step";
    }
    frame->close();
}

TEST_F(SurveyTest, DownThenUpWithTheSimulatedProbe)
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
        if (HasFatalFailure())
            return;
        upward();
        walked = true;
    });
    CSurveyApp app;
    EXPECT_FALSE(app.InitInstance(nullptr, &profile.settings()));
    EXPECT_TRUE(walked);
    EXPECT_EQ(CAcquisitionDlg::mainForm(), nullptr);
}

// The program closed just after the stitch window (its deletion still
// pending): the window and its strip view go while the form, whose settings
// they write back, is still whole.
TEST(SurveyClosing, AClosedStitchWindowGoesBeforeTheForm)
{
    test::TempSettings profile;
    test::mapSerialSlotsNowhere(profile);
    test::ScriptedPrompter prompter;
    test::ScriptedGraphFactory graphs;
    bool opened = false, formWholeAtDeletion = false;
    QTimer::singleShot(0, [&] {
        click(CAcquisitionDlg::mainForm()->control(IDC_STITCH));
        QWidget* window = CAcquisitionDlg::mainForm()->stitchWindow();
        opened = window != nullptr;
        if (window) {
            QObject::connect(window, &QObject::destroyed,
                             [&] { formWholeAtDeletion = CAcquisitionDlg::mainForm() != nullptr; });
            window->close();
        }
        CAcquisitionDlg::mainForm()->reject();
    });
    CSurveyApp app;
    app.InitInstance(&graphs, &profile.settings());
    EXPECT_TRUE(opened);
    EXPECT_TRUE(formWholeAtDeletion);
}

} // namespace
} // namespace bc

// The box about a damaged strip of a survey just opened shows over the new
// survey: its first page laid out, its page box and its attitude list, not
// the previous survey's page and list (the window repaints behind the box).

#include "stitch_frame_fixture.h"

#include "analysis/attitude_shape.h"
#include "analysis/shape_grid.h"
#include "analysis/unwrap_data.h"
#include "support/file_bytes.h"

#include <QDir>
#include <QLineEdit>

namespace bc {
namespace {

struct Seen {
    QString pageBox;
    int listRows = -1;
    int pageTopDepth = -1;
};

// Notes what the stitch window shows at the moment a box is asked.
class WatchingPrompter : public test::ScriptedPrompter {
  public:
    explicit WatchingPrompter(const CUnWrapFrame& frame) : frame_(frame) {}
    std::vector<Seen> seen;
    int messageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned style) override
    {
        seen.push_back({frame_.pageToolBar()->pageBox()->text(),
                        frame_.GetShapeGrid()->GetRowCount(),
                        frame_.GetUnWrapView()->pageState().pageTopDepth});
        return ScriptedPrompter::messageBox(parent, text, caption, style);
    }

  private:
    const CUnWrapFrame& frame_;
};

TEST(DamagedStripBox, ShowsOverTheSurveyJustOpened)
{
    test::StitchFrame f;
    f.settings.aspectAutoFit = 0;
    f.open(CUnWrapFrame::StandAlone); // strips at 1.00 m .. 2.10 m, two pages
    CUnWrapView& view = f.view();
    view.GetData()->AddShape(std::make_unique<CAttitudeLine>(
        0, CShapePoint(0.5f, 1050.0f), CShapePoint(6.0f, 1050.0f), 0, 1, 0xFF));
    f.frame->commandAction(ID_FILE_SAVE)->trigger();
    const QString sfa = view.GetData()->filePath();
    ASSERT_TRUE(QFileInfo::exists(sfa));
    f.clickCommand(ID_NEXT_PAGE);
    ASSERT_EQ(view.currentPage(), 1);
    ASSERT_TRUE(test::writeFileBytes(QDir(f.dir.path()).filePath(QStringLiteral("1100.jpg")),
                                     QByteArray("not a picture")));

    WatchingPrompter watching(*f.frame);
    watching.fileAnswers.push_back(sfa);
    f.frame->commandAction(ID_FILE_OPEN)->trigger();
    ASSERT_EQ(watching.seen.size(), 1u) << watching.boxTexts().join(u'|').toStdString();
    EXPECT_EQ(watching.seen[0].pageBox, QStringLiteral("第1页/共2页"));
    EXPECT_EQ(watching.seen[0].listRows, 2) << "the header row and the survey's one attitude";
    EXPECT_EQ(watching.seen[0].pageTopDepth, 1000) << "the first page laid out";
}

// Seven strips of the first page that cannot be read give one box: it names
// five of them and tells how many more there are.
TEST(DamagedStripBox, SevenUnreadableStripsGiveOneBoxNamingFive)
{
    test::StitchFrame f;
    f.settings.aspectAutoFit = 0;
    f.open(CUnWrapFrame::StandAlone); // strips at 1.00 m .. 2.10 m, ten a page
    f.frame->commandAction(ID_FILE_SAVE)->trigger();
    const QString sfa = f.view().GetData()->filePath();
    ASSERT_TRUE(QFileInfo::exists(sfa));
    QStringList damaged;
    for (int depth = 1000; depth <= 1600; depth += 100) {
        damaged << QStringLiteral("%1.jpg").arg(depth);
        ASSERT_TRUE(test::writeFileBytes(QDir(f.dir.path()).filePath(damaged.back()),
                                         QByteArray("not a picture")));
    }
    f.build(CUnWrapFrame::StandAlone);
    f.prompter.boxes.clear();
    f.prompter.fileAnswers.push_back(sfa);
    f.frame->commandAction(ID_FILE_OPEN)->trigger();
    ASSERT_EQ(f.prompter.boxes.size(), 1u) << f.prompter.boxTexts().join(u'|').toStdString();
    const QString text = f.prompter.boxes[0].text;
    const auto named = std::count_if(damaged.begin(), damaged.end(),
                                     [&](const QString& name) { return text.contains(name); });
    EXPECT_EQ(named, 5) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("\n……另有2个条带图像无法读取"))) << text.toStdString();
    EXPECT_EQ(f.view().currentPage(), 0);
}

} // namespace
} // namespace bc

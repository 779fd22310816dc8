// The survey's files under faults: a disk that refuses writes, stale
// temporaries of a killed save, damaged and missing files.

#include "stitch_frame_fixture.h"

#include "analysis/page_painter.h"
#include "analysis/unwrap_data.h"
#include "core/atomic_file.h"
#include "support/file_bytes.h"
#include "support/file_size_limit.h"
#include "support/no_file_override.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>

namespace bc {
namespace {

// Selects the page's first strip with a click and turns it one step with
// Shift+Right, as a user does.
void turnFirstStrip(CUnWrapView& view)
{
    const QPoint onStrip0(kPageLeftMargin + 100, kPageTopMargin + 10);
    QTest::mouseMove(view.viewport(), onStrip0);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, onStrip0);
    ASSERT_EQ(view.pageState().selectedItem, 0);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
}

using test::fileBytes;

// A survey of twelve strips, two pages, with their JPEG files in `folder`.
QString writeSurvey(const QString& folder)
{
    const QString sfa = QDir(folder).filePath(QStringLiteral("hole.sfa"));
    CUnWrapData d(sfa, folder);
    test::addStrips(d, 12, 1000, 100, 16, 12);
    EXPECT_TRUE(d.SaveSfa(12, true));
    return sfa;
}

// "保存" on a full disk, then on a folder the user may not write, and
// "导出当前页面" there: the old files stay whole, no temporary file stays
// (nor the stale one of a save killed before its rename), and each box says
// why, in Chinese.
TEST(SurveyFiles, FailedWritesKeepTheOldFilesAndSayWhy)
{
    test::StitchFrame f;
    const QString sfa = writeSurvey(f.dir.path());
    const QByteArray old = fileBytes(sfa);
    auto files = [&f] {
        return QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    };
    const QStringList before = files();
    ASSERT_TRUE(test::writeFileBytes(sfa + QStringLiteral(".4242-1.tmp"), "newer"));
    CUnWrapFrame* frame = &f.openSfa(sfa);
    ASSERT_EQ(frame->GetData()->GetItemCount(), 12);
    {
        test::FileSizeLimit full(64);
        frame->commandAction(ID_FILE_SAVE)->trigger();
    }
    EXPECT_EQ(files(), before);
    const QString page = f.dir.filePath(QStringLiteral("page.jpg"));
    ASSERT_TRUE(QFile::setPermissions(f.dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    {
        test::NoFileOverride user;
        frame->commandAction(ID_FILE_SAVE)->trigger();
        f.prompter.fileAnswers.push_back(page);
        frame->commandAction(ID_EXPORT_CURRENT_PAGE)->trigger();
    }
    QFile::setPermissions(f.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(f.prompter.boxTexts(),
              QStringList({QStringLiteral("保存SFA文件失败\n") + SystemErrorText(EFBIG),
                           QStringLiteral("保存SFA文件失败\n没有写入权限"),
                           QStringLiteral("无法写入图像文件: %1\n没有写入权限").arg(page)}));
    EXPECT_EQ(std::tuple(fileBytes(sfa), files()), std::tuple(old, before));
}

// Damaged and missing files say which file and what is wrong with it, in
// Chinese, in one box: an index too short to be one is damaged, not of
// another kind; the strips of a page that cannot be read are named together.
TEST(SurveyFiles, DamagedFilesNameTheFileAndWhatIsWrong)
{
    test::StitchFrame f;
    enum Harm { Empty, ThreeBytes, Marker, Cut, Remove };
    struct Hurt {
        int key; // the strip's depth; 0: the index
        Harm harm;
        const char* says;
    };
    const char* damaged = "文件已损坏,不是有效的JPEG图像";
    const std::vector<Hurt> cases[] = {
        {{0, Empty, "文件是空的"}},
        {{0, ThreeBytes, "只有3字节"}},
        {{1000, Marker, damaged}},
        {{1300, Cut, "文件不完整(被截断)"}},
        {{1900, Remove, "文件不存在"}},
        {{1100, Marker, damaged}, {1500, Remove, "文件不存在"}}, // one page
    };
    for (const auto& hurts : cases) {
        SCOPED_TRACE(hurts[0].says);
        QTemporaryDir folder;
        const QString sfa = writeSurvey(folder.path());
        QStringList says;
        for (const Hurt& h : hurts) {
            const QString path = h.key ? folder.filePath(QStringLiteral("%1.jpg").arg(h.key)) : sfa;
            QByteArray bytes = fileBytes(path);
            if (h.harm == Marker) // an unknown marker right after the start of the picture
                bytes.insert(2, QByteArray("\xFF\x24\x00\x04"
                                           "ab",
                                           6));
            const QByteArray hurt[] = {{}, "sfa", bytes, bytes.left(bytes.size() / 2)};
            ASSERT_TRUE(h.harm == Remove ? QFile::remove(path)
                                         : test::writeFileBytes(path, hurt[h.harm]));
            says << (h.key ? QStringLiteral("无法读取图像文件: %1\n%2")
                           : QStringLiteral("无法读取SFA文件: '%1'\n文件已损坏(%2)"))
                        .arg(path, QString::fromUtf8(h.says));
        }
        f.prompter.boxes.clear();
        f.openSfa(sfa);
        EXPECT_EQ(f.prompter.boxTexts(), QStringList{says.join(u'\n')});
    }
}

// A missing strip picture is named as the survey holds it, whatever "抓图格式" says: at opening,
// of the kind the other strips were read from; back on a page, the one read; with none at all,
// every name looked for.
TEST(SurveyFiles, AMissingPictureIsNamedAsTheSurveyHoldsIt)
{
    const struct {
        const char* ext; // of the survey's pictures
        int format;      // "抓图格式" at opening: 0 JPEG, 1 BMP
    } rows[] = {{"jpg", 1}, {"bmp", 0}, {"JPG", 0}};
    const QString missing = QStringLiteral("无法读取图像文件: %1\n文件不存在");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ext);
        test::StitchFrame f;
        const auto picture = [&](int key) {
            return f.dir.filePath(QStringLiteral("%1.%2").arg(key).arg(row.ext));
        };
        const test::CaptureFormatScope own(row.ext == std::string("bmp") ? 1 : 0);
        const QString sfa = writeSurvey(f.dir.path());
        for (int key = 1000; key < 2200 && row.ext == std::string("JPG"); key += 100)
            ASSERT_TRUE(
                QFile::rename(f.dir.filePath(QStringLiteral("%1.jpg").arg(key)), picture(key)));
        const test::CaptureFormatScope chosen(row.format);
        ASSERT_TRUE(QFile::remove(picture(1000)));
        f.openSfa(sfa);
        EXPECT_EQ(f.prompter.boxTexts(), QStringList{missing.arg(picture(1000))});
        ASSERT_TRUE(QFile::remove(picture(1500)));
        f.prompter.boxes.clear();
        f.clickCommand(ID_NEXT_PAGE);
        f.clickCommand(ID_PREV_PAGE);
        EXPECT_EQ(f.prompter.boxTexts(),
                  QStringList{missing.arg(picture(1000)) + u'\n' + missing.arg(picture(1500))});
    }
    test::StitchFrame f;
    const QString sfa = f.dir.filePath(QStringLiteral("hole.sfa"));
    {
        CUnWrapData d(sfa, f.dir.path());
        test::addStrips(d, 2, 1000, 100, 16, 12);
        ASSERT_TRUE(d.SaveSfa(2, false));
    }
    const test::CaptureFormatScope bmp(1);
    f.openSfa(sfa);
    const QString both = missing.arg(f.dir.filePath("%1.bmp 或 ") + f.dir.filePath("%1.jpg"));
    EXPECT_EQ(f.prompter.boxTexts(), QStringList{both.arg(1000) + u'\n' + both.arg(1100)});
}

// A strip is written back into the file it was read from, whatever "抓图格式"
// says when it is saved: a turned strip of a JPEG survey saved with BMP
// chosen, of a BMP survey saved with JPEG chosen, of pictures named "….JPG"
// opened with "打开JPG文件". No other picture appears, and the survey opened
// again with its own format shows the turn.
// The same for "….BMP" and a picture removed since read; saved twice, nothing asked.
TEST(SurveyFiles, AStripIsWrittenBackIntoTheFileItWasReadFrom)
{
    const struct {
        const char* ext; // of the survey's pictures
        int saveFormat;  // "抓图格式" at "保存": 0 JPEG, 1 BMP
        bool removed{};  // the turned strip's picture removed before the first save
    } rows[] = {{"jpg", 1}, {"bmp", 0}, {"JPG", 0}, {"BMP", 0}, {"jpg", 0, true}};
    const auto wave = [](int x, int y) {
        return qRgb(int(127 + 120 * std::sin(x / 8.0)), int(127 + 120 * std::cos(x / 5.0)),
                    (y * 9) % 256);
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ext);
        test::StitchFrame f;
        f.settings.aspectAutoFit = 0;
        const QString ext = QString::fromLatin1(row.ext);
        const bool imported = ext == QLatin1String("JPG");
        const int ownFormat = ext.compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0 ? 1 : 0;
        QString sfa = f.dir.filePath(QStringLiteral("hole.sfa"));
        QStringList pictures;
        {
            const test::CaptureFormatScope own(ownFormat);
            CUnWrapData d(sfa, f.dir.path());
            for (int i = 0; i < 3; ++i)
                d.InsertImage(test::colourStrip(1000 + 100 * i, 200, 20, wave));
            ASSERT_TRUE(d.SaveSfa(3, true));
            for (int i = 0; i < 3; ++i) {
                const QString written = ownFormat ? d.GetItem(i)->bmpPath(f.dir.path())
                                                  : d.GetItem(i)->jpgPath(f.dir.path());
                pictures << f.dir.filePath(QStringLiteral("%1.%2").arg(1000 + 100 * i).arg(ext));
                ASSERT_TRUE(written == pictures.back() || QFile::rename(written, pictures.back()));
            }
        }
        CUnWrapImage original;
        ASSERT_TRUE(ownFormat ? original.LoadBmpFile(pictures[0])
                              : original.LoadJpgFile(pictures[0]));
        auto pictureFiles = [&f] {
            QStringList names = QDir(f.dir.path()).entryList(QDir::Files, QDir::Name);
            names.removeIf([](const QString& n) { return n.endsWith(QLatin1String(".sfa")); });
            return names.join(u' ').toStdString();
        };
        const std::string before = pictureFiles();
        if (imported) {
            QFile::remove(sfa);
            sfa = f.dir.filePath(QStringLiteral("temp.sfa"));
            f.build(CUnWrapFrame::StandAlone);
            f.prompter.multiFileAnswers.push_back(pictures);
            f.frame->commandAction(ID_OPEN_JPG)->trigger();
        } else {
            f.openSfa(sfa);
        }
        for (int turn = 0; turn < 2; ++turn) {
            ASSERT_NO_FATAL_FAILURE(turnFirstStrip(f.view()));
            ASSERT_TRUE(turn || !row.removed || QFile::remove(pictures[0]));
            const test::CaptureFormatScope chosen(row.saveFormat);
            f.frame->commandAction(ID_FILE_SAVE)->trigger();
            EXPECT_EQ(pictureFiles(), before);
            EXPECT_TRUE(f.prompter.boxTexts().isEmpty());
            EXPECT_TRUE(fileBytes(pictures[0]).startsWith(ownFormat ? "BM" : "\xFF\xD8")) << turn;
        }
        const test::CaptureFormatScope own(ownFormat);
        int unread = 0;
        const auto reopened = test::reloadSurvey(sfa, &unread);
        ASSERT_TRUE(reopened);
        EXPECT_EQ(unread, 0);
        const CUnWrapImage& shown = *reopened->GetItem(0);
        EXPECT_LT(4 * test::meanDifference(shown, test::movedRight(original, 20), 0, 20),
                  test::meanDifference(shown, original, 0, 20));
    }
}

// A strip shows the picture it was opened from, and a save writes that one:
// pictures opened with "打开JPG文件" while BMP is chosen and a BMP of the same
// depth lies beside them, and a page of a survey shown again after "抓图格式"
// changed. The picture of the other format stays as it was.
TEST(SurveyFiles, AStripShowsAndKeepsThePictureItWasOpenedFrom)
{
    const auto wave = [](int x, int y) {
        return qRgb(int(127 + 120 * std::sin(x / 8.0)), int(127 + 120 * std::cos(x / 5.0)),
                    (y * 9) % 256);
    };
    for (const bool imported : {true, false}) {
        SCOPED_TRACE(imported);
        test::StitchFrame f;
        f.settings.aspectAutoFit = 0;
        const QString sfa = f.dir.filePath(QStringLiteral("hole.sfa"));
        QStringList jpgs;
        {
            const test::CaptureFormatScope jpeg(0);
            CUnWrapData d(sfa, f.dir.path());
            for (int i = 0; i < 12; ++i)
                d.InsertImage(test::colourStrip(1000 + 100 * i, 200, 20, wave));
            ASSERT_TRUE(d.SaveSfa(12, true));
            for (int i = 0; i < 12; ++i)
                jpgs << d.GetItem(i)->jpgPath(f.dir.path());
        }
        const auto other =
            test::colourStrip(1000, 200, 20, [](int x, int y) { return qRgb(x, 255 - x, y * 3); });
        ASSERT_TRUE(other->SaveBmp(f.dir.path()));
        const QString bmp = other->bmpPath(f.dir.path());
        const QByteArray bmpBytes = fileBytes(bmp);
        CUnWrapImage original;
        ASSERT_TRUE(original.LoadJpgFile(jpgs[0]));

        if (imported) {
            const test::CaptureFormatScope chosen(1);
            f.build(CUnWrapFrame::StandAlone);
            f.prompter.multiFileAnswers.push_back(jpgs);
            f.frame->commandAction(ID_OPEN_JPG)->trigger();
        } else {
            f.openSfa(sfa);
        }
        ASSERT_TRUE(f.frame->GetData());
        const test::CaptureFormatScope chosen(1);
        f.clickCommand(ID_NEXT_PAGE);
        f.clickCommand(ID_PREV_PAGE);
        const CUnWrapImage& shown = *f.frame->GetData()->GetItem(0);
        EXPECT_LT(test::meanDifference(shown, original, 0, 20),
                  test::meanDifference(shown, *other, 0, 20));

        ASSERT_NO_FATAL_FAILURE(turnFirstStrip(f.view()));
        f.frame->commandAction(ID_FILE_SAVE)->trigger();
        EXPECT_EQ(fileBytes(bmp), bmpBytes);
        CUnWrapImage written;
        ASSERT_TRUE(written.LoadJpgFile(jpgs[0]));
        EXPECT_LT(4 * test::meanDifference(written, test::movedRight(original, 10), 0, 20),
                  test::meanDifference(written, original, 0, 20));
    }
}

} // namespace
} // namespace bc

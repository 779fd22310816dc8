// Two running copies of the program writing the report pictures and the
// cylinder's texture under the same names in the shared temp folder: each
// copy uses its own pictures, and a copy that finds the other one busy too
// long says so and makes nothing.

#include "report_survey.h"

#include "analysis/d3d_frame.h"
#include "analysis/page_image.h"
#include "analysis/report_output.h"
#include "core/atomic_file.h"
#include "core/file_lock.h"
#include "core/system_error.h"
#include "platform/work_folder.h"
#include "support/xlsx_reader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace bc;
using namespace bc::test;

namespace {

// Another running copy of the program, played by a child process: it takes
// the temp folder's lock and writes `files` (path, bytes) over and over
// until it is let go; then it finishes its round, lets the lock go and ends.
// After fork the child makes system calls only.
class OtherCopy {
  public:
    OtherCopy(const QString& tempFolder, const std::vector<std::pair<QString, QByteArray>>& files)
    {
        for (const auto& [path, bytes] : files)
            files_.push_back({QFile::encodeName(path),
                              QFile::encodeName(path + QStringLiteral(".other")), bytes});
        const QByteArray lock = QFile::encodeName(workspaceTempLockPath(tempFolder));
        int ready[2], control[2];
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return;
        if (::pipe2(control, O_CLOEXEC) != 0) {
            ::close(ready[0]);
            ::close(ready[1]);
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(control[1]);
            const int fd = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            const char held = 1;
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0 || ::write(ready[1], &held, 1) != 1)
                ::_exit(1);
            pollfd letGo{control[0], POLLIN, 0};
            do {
                // Whole pictures, each written beside its name and renamed over it.
                for (const Rewrite& r : files_) {
                    const int f = ::open(r.scratch.constData(),
                                         O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
                    if (f >= 0 && ::write(f, r.bytes.constData(), size_t(r.bytes.size())) >= 0)
                        ::close(f);
                    ::rename(r.scratch.constData(), r.path.constData());
                }
            } while (::poll(&letGo, 1, 0) == 0);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(control[0]);
        control_ = control[1];
        // The child has the lock when it says so; it may first wait for a
        // copy of the test program running beside this one.
        pollfd said{ready[0], POLLIN, 0};
        char c = 0;
        holding_ = pid_ > 0 && ::poll(&said, 1, 120000) == 1 && ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
    }
    ~OtherCopy() { letGo(); }

    bool holding() const { return holding_; }
    // Returns once the child has ended, its last round written.
    void letGo()
    {
        if (control_ >= 0)
            ::close(control_);
        control_ = -1;
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    struct Rewrite {
        QByteArray path, scratch, bytes;
    };
    std::vector<Rewrite> files_;
    pid_t pid_ = -1;
    int control_ = -1;
    bool holding_ = false;
};

// What the waiting copy saw while it waited: the other copy is let go at
// the first pause when `letGoAtPause` is set.
struct Waiting {
    OtherCopy* letGoAtPause = nullptr;
    int pauses = 0;
    bool waitCursor = true;
};
Waiting waiting;

void pauseAndLetGo(int ms)
{
    ++waiting.pauses;
    const QCursor* cursor = QGuiApplication::overrideCursor();
    waiting.waitCursor = waiting.waitCursor && cursor && cursor->shape() == Qt::WaitCursor;
    if (waiting.letGoAtPause)
        waiting.letGoAtPause->letGo();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Puts the pause above in, and a bound, for one test.
struct WaitScope {
    explicit WaitScope(OtherCopy* letGo = nullptr, int boundMs = 60000)
        : previousPause(setLockPauseCall(&pauseAndLetGo)),
          previousBound(setWorkspaceTempLockBound(boundMs))
    {
        waiting = {letGo, 0, true};
    }
    ~WaitScope()
    {
        setLockPauseCall(previousPause);
        setWorkspaceTempLockBound(previousBound);
        waiting = {};
    }
    LockPauseCall previousPause;
    int previousBound;
};

// Whether this process holds the temp folder's lock (has its file open).
bool lockOpenHere(const QString& tempFolder)
{
    const QString lock = QFileInfo(workspaceTempLockPath(tempFolder)).canonicalFilePath();
    bool open = false;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd"))
                                   .entryInfoList(QDir::AllEntries | QDir::System | QDir::Hidden))
        open = open || fd.symLinkTarget() == lock;
    return open;
}

// Whether the temp folder's lock was held as each report.xlsx went to disk.
std::vector<bool> lockedAtReportSync;
int noteSync(int fd)
{
    if (QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd)).contains("/report.xlsx"))
        lockedAtReportSync.push_back(lockOpenHere(workspaceTempFolder()));
    return ::fsync(fd);
}

// A picture of the other copy's, of a size none of this copy's has.
const QSize kForeignSize(7, 5);
QByteArray foreignPicture(const char* format)
{
    QImage image(kForeignSize, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// The pictures this copy's report draws: of the current page or of every
// page, each with its notes (`aspectFit` as the survey's settings say).
std::vector<QImage> ownPictures(CUnWrapView& view, bool currentOnly, bool aspectFit)
{
    CUnWrapData& data = *view.GetData();
    const PageViewState& state = view.pageState();
    std::vector<QImage> pictures;
    for (int page = 0; page < view.GetPageCount(); ++page) {
        if (currentOnly && page != state.currentPage)
            continue;
        if (page != state.currentPage)
            data.LoadPageImages(page, state.perPage);
        const PageViewState shown = PageStateFor(data, state, page, aspectFit);
        pictures.push_back(RenderPageImage(data, shown));
        pictures.push_back(RenderNotesPicture(data, shown));
        if (page != state.currentPage)
            data.FreePageBits(page, state.perPage);
    }
    return pictures;
}

// The same size and, but for the JPEG's losses, the same pixels.
bool looksLike(const QImage& shown, const QImage& own)
{
    if (shown.size() != own.size() || shown.isNull())
        return false;
    const QImage a = shown.convertToFormat(QImage::Format_RGB32);
    const QImage b = own.convertToFormat(QImage::Format_RGB32);
    qint64 difference = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            difference += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                          std::abs(qBlue(p) - qBlue(q));
        }
    return difference <= qint64(a.width()) * a.height() * 3 * 8; // 8 a channel on average
}

} // namespace

// The other copy rewrites this report's picture files until this copy's
// report has waited for it: the workbook holds this copy's pictures, the
// ones the folder keeps afterwards.
TEST(TempFolderLock, AReportWaitsForAnotherCopyAndEmbedsItsOwnPictures)
{
    const struct {
        int pages, type;
    } cases[] = {{Dlg::IDC_CURRENT_PAGE, Dlg::IDC_ATTITUDE_TYPE},
                 {Dlg::IDC_ALL_PAGES, Dlg::IDC_IMAGE_TYPE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pages);
        CaptureFormatScope jpeg(0);
        Survey s;
        const CUnWrapView& view = *s.st.view;
        const QString temp = workspaceTempFolder();
        QStringList names;
        if (c.pages == Dlg::IDC_CURRENT_PAGE) {
            names << QDir(temp).filePath(QStringLiteral("print1"));
        } else {
            const QDir folder(QDir(temp).filePath(QStringLiteral("拼接图")));
            ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
            for (int page = 0; page < view.GetPageCount(); ++page)
                names << folder.filePath(
                    PageImageName(*view.GetData(), page, view.pageState().perPage));
        }
        std::vector<std::pair<QString, QByteArray>> rewrites;
        for (const QString& name : names)
            for (const QString& path :
                 {name + QStringLiteral(".jpg"), name + QStringLiteral("-Note.jpg")})
                rewrites.emplace_back(path, foreignPicture("JPG"));
        const std::vector<QImage> own = ownPictures(*s.st.view, c.pages == Dlg::IDC_CURRENT_PAGE,
                                                    s.st.settings.aspectAutoFit != 0);

        OtherCopy other(temp, rewrites);
        ASSERT_TRUE(other.holding());
        WaitScope scope(&other);
        s.prompter.boxAnswers.push_back(IDNO);
        lockedAtReportSync.clear();
        const SyncToDiskCall previousSync = setSyncToDiskCall(&noteSync);
        s.report(c.pages, c.type);
        setSyncToDiskCall(previousSync);
        other.letGo();

        EXPECT_EQ(lockedAtReportSync, std::vector<bool>{true});

        EXPECT_GE(waiting.pauses, 1);
        EXPECT_TRUE(waiting.waitCursor);
        EXPECT_FALSE(QGuiApplication::overrideCursor());
        int media = 0;
        for (const QString& part : xlsxParts(s.out())) {
            if (!part.startsWith(QStringLiteral("xl/media/")))
                continue;
            ++media;
            const QImage shown = QImage::fromData(xlsxPart(s.out(), part));
            EXPECT_TRUE(std::any_of(own.begin(), own.end(),
                                    [&](const QImage& o) { return looksLike(shown, o); }))
                << part.toStdString() << ", " << shown.width() << "x" << shown.height()
                << ", is none of this report's pictures";
        }
        EXPECT_GE(media, names.size()) << s.prompter.boxTexts().join('|').toStdString();
    }
}

// The cylinder's texture file, rewritten by the other copy until this copy
// has waited for it: the cylinder shows this copy's page as read back from
// the file.
TEST(TempFolderLock, TheCylinderWaitsForAnotherCopyAndShowsItsOwnTexture)
{
    Survey s;
    CUnWrapView& view = *s.st.view;
    ASSERT_FALSE(view.texturePath().isEmpty());
    OtherCopy other(QFileInfo(view.texturePath()).absolutePath(),
                    {{view.texturePath(), foreignPicture("BMP")}});
    ASSERT_TRUE(other.holding());
    WaitScope scope(&other);
    view.CreateCylinderImage();
    other.letGo();

    EXPECT_GE(waiting.pauses, 1);
    EXPECT_TRUE(waiting.waitCursor);
    const auto* frame = view.findChild<CD3DFrame*>();
    ASSERT_TRUE(frame) << s.prompter.boxTexts().join('|').toStdString();
    const QImage shown = frame->input().texture.convertToFormat(QImage::Format_RGB32);
    const QImage own =
        RenderPageTexture(*view.GetData(), view.pageState()).convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(!own.isNull() && shown == own)
        << "shown " << shown.width() << "x" << shown.height() << ", this copy's texture "
        << own.width() << "x" << own.height();
}

// The other copy keeps the folder past the bound: the report and the
// cylinder say so after waiting and make nothing. A box after a failure
// comes once the lock is free.
TEST(TempFolderLock, AnotherCopyBusyPastTheBoundIsToldAndNothingIsMade)
{
    Survey s;
    CUnWrapView& view = *s.st.view;
    const QString temp = workspaceTempFolder();
    const QString busy = QStringLiteral("临时目录%1正被另一个运行中的本程序使用，请稍后再试!")
                             .arg(QDir::toNativeSeparators(temp));
    {
        OtherCopy other(temp, {});
        ASSERT_TRUE(other.holding());
        WaitScope scope(nullptr, 300);
        s.report(Dlg::IDC_CURRENT_PAGE, Dlg::IDC_ATTITUDE_TYPE);
        EXPECT_GE(waiting.pauses, 1);
        EXPECT_TRUE(waiting.waitCursor);
        EXPECT_FALSE(QFileInfo::exists(s.out()));
        EXPECT_TRUE(s.opened.isEmpty());

        view.CreateCylinderImage();
        EXPECT_FALSE(view.findChild<CD3DFrame*>());
    }
    EXPECT_FALSE(QGuiApplication::overrideCursor());
    const QStringList boxes = s.prompter.boxTexts();
    ASSERT_EQ(boxes.size(), 2) << boxes.join('|').toStdString();
    EXPECT_EQ(boxes[0], QStringLiteral("输出报表失败\n") + busy);
    EXPECT_EQ(boxes[1], busy);

    // A report that fails once it has the lock shows its box after letting go.
    // (Copies of the tests running beside this one may hold the lock now:
    // what counts is that this process has the lock file open no more.)
    std::vector<bool> lockFreeAtBox;
    s.prompter.onBox = [&] { lockFreeAtBox.push_back(!lockOpenHere(temp)); };
    QTemporaryDir folder;
    const QString bad = folder.filePath(QStringLiteral("bad.rpt"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) &&
                file.write("\xd0\xcf\x11\xe0 not a template") > 0);
    file.close();
    s.report(Dlg::IDC_CURRENT_PAGE, Dlg::IDC_ATTITUDE_TYPE, {}, "4", {}, bad);
    ASSERT_EQ(s.prompter.boxTexts().size(), 3);
    EXPECT_TRUE(
        s.prompter.boxTexts()[2].startsWith(QStringLiteral("输出报表失败\n无法读取模板文件")));
    EXPECT_EQ(lockFreeAtBox, std::vector<bool>{true});

    // A ".lock" that is a folder (in a temp folder of its own) is told with its reason.
    struct OwnTempFolder {
        QTemporaryDir program;
        QString previous = setWorkspaceProgramFolder(program.path());
        ~OwnTempFolder() { setWorkspaceProgramFolder(previous); }
    } own;
    const QString ownTemp = workspaceTempFolder(), lock = workspaceTempLockPath(ownTemp);
    ASSERT_TRUE(ownTemp.startsWith(own.program.path()) && QDir().mkpath(lock));
    s.report(Dlg::IDC_CURRENT_PAGE, Dlg::IDC_ATTITUDE_TYPE);
    EXPECT_EQ(s.prompter.boxTexts().mid(3),
              QStringList{QStringLiteral("输出报表失败\n无法打开文件%1\n%2")
                              .arg(QDir::toNativeSeparators(lock), SystemErrorText(EISDIR))});
    EXPECT_FALSE(QFileInfo::exists(s.out()));
    EXPECT_EQ(QDir(ownTemp).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral(".lock")});
}

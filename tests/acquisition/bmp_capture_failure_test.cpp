// A capture in the BMP format that cannot be written says why, in Chinese, as
// a JPEG capture does: a missing folder, a full disk.

#include "acquisition/grabber_callback.h"
#include "core/program_values.h"
#include "support/file_size_limit.h"
#include "support/scripted_prompter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace bc {
namespace {

TEST(BmpCaptureFailure, TheBoxNamesTheFileAndTheSystemsReason)
{
    QTemporaryDir dir;
    const struct {
        const char* folder;
        bool fullDisk;
        const char* reason;
    } rows[] = {{"missing", false, "文件或目录不存在"}, {"", true, "文件超过允许的大小"}};
    currentCaptureFormat = 1;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reason);
        test::ScriptedPrompter prompter;
        const QString folder = dir.filePath(QString::fromUtf8(row.folder));
        requestCapture(folder, 7);
        // A 64 x 64 frame from the streaming thread: 12 kB of BMP.
        const int stride = 64 * 3;
        std::vector<uchar> frame(size_t(stride) * 64, 0x80);
        {
            std::unique_ptr<test::FileSizeLimit> full;
            if (row.fullDisk)
                full = std::make_unique<test::FileSizeLimit>(4096);
            std::thread streaming([&] { grabberCallback().BufferCB(frame.data(), 64, 64, stride); });
            streaming.join();
        }
        QCoreApplication::sendPostedEvents();
        ASSERT_EQ(prompter.boxes.size(), 1u);
        const QString path = captureFileName(folder, 7);
        EXPECT_EQ(prompter.boxes[0].text,
                  QStringLiteral("无法写入图像文件: %1\n%2").arg(path, QString::fromUtf8(row.reason)));
        EXPECT_EQ(prompter.boxes[0].caption, QStringLiteral("出错"));
        EXPECT_FALSE(QFileInfo::exists(path));
    }
    currentCaptureFormat = 0;
    oneShotRequest = false;
    grabberCallback().SetTarget(QString(), QString(), 0);
}

} // namespace
} // namespace bc

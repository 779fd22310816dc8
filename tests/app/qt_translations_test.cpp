// Qt's own texts in the program's language.

#include "app/qt_translations.h"
#include "platform/prompter.h"
#include "support/file_bytes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(QtTranslations, MessageBoxButtonsReadChinese)
{
    const QString qm =
        QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_zh_CN.qm");
    if (!QFileInfo::exists(qm))
        GTEST_SKIP() << "no " << qm.toStdString()
                     << ": install the Debian package qt6-translations-l10n";
    std::unique_ptr<QTranslator> translator(installQtTranslations(*qApp));
    ASSERT_NE(translator, nullptr);
    QtPrompter qt;
    for (const auto& [style, expected] : {std::pair{MB_OKCANCEL, QStringLiteral("取消 确定")},
                                          std::pair{MB_YESNO, QStringLiteral("否 是")}}) {
        QStringList texts;
        QTimer::singleShot(0, [&texts] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            // Without the keyboard accelerators: "是(&Y)" reads "是".
            for (QAbstractButton* b : box->buttons())
                texts << b->text().remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
            box->buttons().front()->click();
        });
        qt.messageBox(nullptr, QStringLiteral("正在录制,确认要停止录制"), QString(), style);
        texts.sort();
        EXPECT_EQ(texts.join(' '), expected);
    }
}

// With the language start-up sets, Qt's file dialog lists a folder and a
// JPEG with Chinese type names and dates in Chinese format, whatever the
// system's locale (these tests run under the C locale).
TEST(QtTranslations, FileDialogsListTypesAndDatesInChinese)
{
    QTemporaryDir dir;
    const QString jpeg = dir.filePath(QStringLiteral("a.jpg"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")) &&
                test::writeFileBytes(jpeg, QByteArray("\xFF\xD8\xFF\xE0", 4)));
    const QList<QTranslator*> installed = installProgramLanguage(*qApp);
    QMap<QString, QStringList> rows; // name: type, date
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* list = dialog->findChild<QTreeView*>();
        const auto cell = [&](int r, int c) {
            return list->model()->index(r, c, list->rootIndex()).data().toString();
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) == 2; }));
        for (int r = 0; r < 2; ++r)
            rows[cell(r, 0)] = QStringList{cell(r, 2), cell(r, 3)};
        dialog->reject();
    });
    QtPrompter().openFileName(nullptr, QStringLiteral("打开"), dir.path(),
                              QStringLiteral("JPEG (*.jpg);;All (*)"));
    for (QTranslator* t : installed)
        QCoreApplication::removeTranslator(t);
    QLocale::setDefault(QLocale::system());

    const QString date = QLocale(QLocale::Chinese, QLocale::China)
                             .toString(QFileInfo(jpeg).lastModified(), QLocale::ShortFormat);
    EXPECT_EQ(rows.value(QStringLiteral("sub")).value(0), QStringLiteral("文件夹"));
    EXPECT_EQ(rows.value(QStringLiteral("a.jpg")), QStringList({QStringLiteral("JPEG 图像"), date}));
}

} // namespace
} // namespace bc
